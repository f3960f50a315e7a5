#include "update/ProgramInstaller.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "update/CEVersionInfo.h"
#include "update/DownloadFile.h"
#include "update/ExecutableImage.h"
#include "update/UpdateKeys.h"
#include "update/UpdateState.h"

namespace davu {

namespace {

// Makes a finished rename survive a crash of the whole machine.
void syncFolder(const QString& folder) {
  const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Writes `bytes` as `path` through a temporary file and a rename; empty, or
// the system's reason.
QString replaceFile(const QString& path, std::string_view bytes, mode_t mode) {
  DownloadFile file(path);
  file.append(bytes);
  if (file.finish(mode) && file.moveIntoPlace()) return QString();
  return file.error();
}

QString notAProgram() { return QStringLiteral("filen är inte ett program för den här datorn"); }

bool runsHere(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) && davu::version::IsExecutableForThisMachine(f.read(64).toStdString());
}

// Empty when `signature` holds for the file `path` as `programFileName` in
// the version `version`.
QString signatureProblem(const QString& path, const QByteArray& signature,
                         const std::vector<davu::update::PublicKey>& keys, const QString& programFileName,
                         const QString& version) {
  if (signature.isEmpty()) return QStringLiteral("signatur saknas");
  return SignatureRefusal(VerifyProgramFile(path, signature, keys, programFileName, version));
}

}  // namespace

QString ProgramInstaller::signaturePath(const QString& program) { return program + QStringLiteral(".minisig"); }

QString ProgramInstaller::checkInstalled(const QString& program, const std::vector<davu::update::PublicKey>& keys,
                                         const QString& programFileName) {
  const QString problem = signatureProblem(program, ReadSignatureFile(signaturePath(program)), keys,
                                           programFileName, productVersionOf(program));
  if (!problem.isEmpty()) return problem;
  return runsHere(program) ? QString() : notAProgram();
}

QString ProgramInstaller::moveAside(const QString& program) {
  const QString aside = program + QStringLiteral(".avvisad");
  QFile::remove(aside);
  QFile::remove(signaturePath(aside));
  if (!QFile::rename(program, aside)) return QString();
  // Not executable any more: nothing starts it by mistake.
  QFile::setPermissions(aside, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  QFile::rename(signaturePath(program), signaturePath(aside));
  return aside;
}

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
                                                   int expectedNumber, const QByteArray& signature,
                                                   const std::vector<davu::update::PublicKey>& keys,
                                                   const QString& programFileName) {
  DownloadFile download(target);
  download.append(bytes);
  return install(download, target, expectedNumber, signature, keys, programFileName);
}

ProgramInstaller::Result ProgramInstaller::install(DownloadFile& download, const QString& target,
                                                   int expectedNumber, const QByteArray& signature,
                                                   const std::vector<davu::update::PublicKey>& keys,
                                                   const QString& programFileName) {
  auto fail = [&](Outcome outcome, const QString& detail) {
    download.discard();
    return Result{outcome, detail};
  };
  if (!download.finish()) return fail(Outcome::NotStored, download.error());
  const QString tempPath = download.path();

  const QString version = productVersionOf(tempPath);
  const QString problem = signatureProblem(tempPath, signature, keys, programFileName, version);
  if (!problem.isEmpty()) return fail(Outcome::Refused, problem);
  if (version == kInfoNotAvailable || VersionNumber(version) != expectedNumber)
    return fail(Outcome::WrongVersion, version);
  if (!runsHere(tempPath)) return fail(Outcome::Refused, notAProgram());
  if (const QString error = replaceFile(signaturePath(target),
                                       std::string_view(signature.constData(), size_t(signature.size())), 0644);
      !error.isEmpty())
    return fail(Outcome::NotStored, error);
  if (!download.moveIntoPlace()) {
    const Result r = fail(Outcome::NotStored, download.error());
    // A signature without its program would only be taken for the old copy's.
    QFile::remove(signaturePath(target));
    return r;
  }
  syncFolder(QFileInfo(target).absolutePath());
  return {Outcome::Installed, QString()};
}

}  // namespace davu
