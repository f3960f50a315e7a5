#include "server/FileSlices.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace davu::server {

namespace {
constexpr std::size_t kScanSlice = 1u << 20;
}

std::shared_ptr<FileSlices> FileSlices::open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  std::string identity = std::to_string(st.st_dev) + ':' + std::to_string(st.st_ino) + ':' +
                         std::to_string(st.st_size) + ':' + std::to_string(st.st_ctim.tv_sec) + '.' +
                         std::to_string(st.st_ctim.tv_nsec);
  return std::shared_ptr<FileSlices>(
      new FileSlices(fd, static_cast<std::size_t>(st.st_size), std::move(identity)));
}

FileSlices::~FileSlices() { ::close(fd_); }

std::string FileSlices::read(std::size_t offset, std::size_t max) const {
  std::string out(std::min(max, offset < size_ ? size_ - offset : 0), '\0');
  std::size_t got = 0;
  while (got < out.size()) {
    const ssize_t n = ::pread(fd_, out.data() + got, out.size() - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  out.resize(got);
  return out;
}

bool FileSlices::contains(const std::string_view* texts, std::size_t count) const {
  std::size_t overlap = 0;  // a text may straddle two slices
  for (std::size_t i = 0; i < count; ++i) overlap = std::max(overlap, texts[i].size());
  overlap = overlap > 0 ? overlap - 1 : 0;
  for (std::size_t at = 0; at < size_;) {
    const std::size_t back = std::min(at, overlap);
    const std::string slice = read(at - back, kScanSlice + back);
    if (slice.size() <= back) return false;
    for (std::size_t i = 0; i < count; ++i)
      if (std::string_view(slice).find(texts[i]) != std::string_view::npos) return true;
    at += slice.size() - back;
  }
  return false;
}

}  // namespace davu::server
