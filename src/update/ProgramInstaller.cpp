#include "ProgramInstaller.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "CEVersionInfo.h"
#include "UpdateState.h"

namespace {

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Makes a finished rename survive a crash of the whole machine.
void syncFolder(const QString& folder) {
  const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

QString ProgramInstaller::productVersionOf(const QString& path) {
  TCEVersionInfo info;
  info.GetInfo(path);
  return info.ProductVersion();
}

bool ProgramInstaller::carriesVersion(const QString& path, int number) {
  if (!QFileInfo(path).isFile()) return false;
  const QString version = productVersionOf(path);
  return version != kInfoNotAvailable && VersionNumber(version) == number;
}

ProgramInstaller::Result ProgramInstaller::install(std::string_view bytes, const QString& target,
                                                   int expectedNumber) {
  std::string temp = QFile::encodeName(target).toStdString() + ".XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return {Outcome::NotStored, systemError()};
  const QString tempPath = QFile::decodeName(temp.c_str());
  auto fail = [&](Outcome outcome, const QString& detail) {
    ::unlink(temp.c_str());
    return Result{outcome, detail};
  };
  const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0 && ::fchmod(fd, 0755) == 0;
  const QString writeError = written ? QString() : systemError();
  if (::close(fd) != 0 && written) return fail(Outcome::NotStored, systemError());
  if (!written) return fail(Outcome::NotStored, writeError);

  const QString version = productVersionOf(tempPath);
  if (version == kInfoNotAvailable || VersionNumber(version) != expectedNumber)
    return fail(Outcome::WrongVersion, version);
  if (::rename(temp.c_str(), QFile::encodeName(target).constData()) != 0)
    return fail(Outcome::NotStored, systemError());
  syncFolder(QFileInfo(target).absolutePath());
  return {Outcome::Installed, QString()};
}
