// Stands in for a newer davu-admin in the update tests. It carries a version
// block of its own and, when started, writes its working directory and its
// arguments (each followed by a zero byte) to the file named by
// DAVU_PROBE_REPORT, then ends.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
  const char* report = std::getenv("DAVU_PROBE_REPORT");
  if (!report) return 0;
  std::string out;
  char cwd[4096];
  if (::getcwd(cwd, sizeof cwd)) out += cwd;
  out += '\0';
  for (int i = 1; i < argc; ++i) {
    out += argv[i];
    out += '\0';
  }
  // Written aside and renamed, so that a reader never sees half of it.
  const std::string temp = std::string(report) + ".part";
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) return 1;
  const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  if (std::fclose(f) != 0 || !ok) return 1;
  return std::rename(temp.c_str(), report) == 0 ? 0 : 1;
}
