#include "update/DownloadFile.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace davu {

namespace {

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

}  // namespace

DownloadFile::DownloadFile(QString target) : target_(std::move(target)) {}

DownloadFile::~DownloadFile() { discard(); }

QString DownloadFile::path() const { return QFile::decodeName(path_.c_str()); }

bool DownloadFile::open() {
  if (fd_ >= 0) return true;
  path_ = QFile::encodeName(target_).toStdString() + ".XXXXXX";
  fd_ = ::mkostemp(path_.data(), O_CLOEXEC);
  if (fd_ < 0) {
    error_ = systemError();
    path_.clear();
    return false;
  }
  return true;
}

void DownloadFile::append(std::string_view bytes) {
  if (failed() || (fd_ < 0 && !open())) return;
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = systemError();
      return;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
    size_ += static_cast<std::size_t>(n);
  }
}

bool DownloadFile::finish(mode_t mode) {
  if (!failed() && !open()) return false;
  if (!failed() && (::fsync(fd_) != 0 || ::fchmod(fd_, mode) != 0)) error_ = systemError();
  if (fd_ >= 0 && ::close(fd_) != 0 && !failed()) error_ = systemError();
  fd_ = -1;
  return !failed();
}

bool DownloadFile::moveIntoPlace() {
  if (::rename(path_.c_str(), QFile::encodeName(target_).constData()) != 0) {
    error_ = systemError();
    return false;
  }
  path_.clear();
  return true;
}

void DownloadFile::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!path_.empty()) ::unlink(path_.c_str());
  path_.clear();
  size_ = 0;
  error_.clear();
}

}  // namespace davu
