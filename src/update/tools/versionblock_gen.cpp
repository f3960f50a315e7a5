// Build-time generator of a program's version block: writes a C++ source file
// that places a VS_VERSIONINFO block into the ELF section ".davu_version".
//
//   davu_versionblock_gen --out FILE --version 1.10.6 [--original-filename NAME]
//                         [--internal-name NAME] [--description TEXT]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "update/VersionBlock.h"

using namespace davu::version;

int main(int argc, char** argv) {
  std::map<std::string, std::string> opt = {{"--original-filename", "davu-admin"},
                                            {"--internal-name", "davu-admin"},
                                            {"--description", "DAVU Admin"}};
  for (int i = 1; i + 1 < argc; i += 2) opt[argv[i]] = argv[i + 1];
  if (!opt.count("--out") || !opt.count("--version")) {
    std::cerr << "usage: davu_versionblock_gen --out FILE --version X.Y.Z [options]\n";
    return 2;
  }
  const std::string version = opt["--version"];
  std::uint16_t parts[4] = {0, 0, 0, 0};
  {
    std::istringstream in(version);
    std::string p;
    for (int i = 0; i < 4 && std::getline(in, p, '.'); ++i) parts[i] = std::uint16_t(std::strtoul(p.c_str(), nullptr, 10));
  }
  const std::string fileVersion = std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." +
                                  std::to_string(parts[2]) + "." + std::to_string(parts[3]);
  BlockContents contents;
  for (int i = 0; i < 4; ++i) contents.fileVersion[i] = contents.productVersion[i] = parts[i];
  BlockContents::Table table;
  table.translation = {0x041D, 0x04E4};  // Swedish, Windows-1252
  auto add = [&](const char* key, const std::string& value) {
    table.entries.emplace_back(Utf16FromUtf8(key), Utf16FromUtf8(value));
  };
  add("CompanyName", "Solvarn");
  add("FileDescription", opt["--description"]);
  add("FileVersion", fileVersion);
  add("InternalName", opt["--internal-name"]);
  add("LegalCopyright", "Copyright (C) Solvarn");
  add("OriginalFilename", opt["--original-filename"]);
  add("ProductName", "DAVU Admin");
  add("ProductVersion", version);
  contents.tables.push_back(table);
  const std::string block = BuildVersionBlock(contents);

  std::ostringstream src;
  src << "// Generated at build time by davu_versionblock_gen; do not edit.\n"
      << "// The version block of this program, read back by TCEVersionInfo.\n"
      << "extern const unsigned char davu_version_block[" << block.size() << "];\n"
      << "__attribute__((section(\".davu_version\"), used, aligned(4)))\n"
      << "const unsigned char davu_version_block[" << block.size() << "] = {";
  for (std::size_t i = 0; i < block.size(); ++i)
    src << (i % 16 ? " " : "\n  ") << unsigned(std::uint8_t(block[i])) << ",";
  src << "\n};\n";
  // Rewrite only on change, so that an unchanged version does not relink.
  const std::string text = src.str();
  {
    std::ifstream old(opt["--out"], std::ios::binary);
    std::stringstream cur;
    cur << old.rdbuf();
    if (old && cur.str() == text) return 0;
  }
  std::ofstream out(opt["--out"], std::ios::binary | std::ios::trunc);
  out << text;
  return out ? 0 : 1;
}
