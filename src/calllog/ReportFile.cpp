#include "calllog/ReportFile.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace davu::reportfile {

QString Reason(int e) {
  switch (e) {
    case ENOENT: return QStringLiteral("Mappen finns inte.");
    case EACCES:
    case EPERM: return QStringLiteral("Du saknar behörighet att skriva där.");
    case ENOSPC:
    case EDQUOT: return QStringLiteral("Det finns inte plats på disken.");
    case EROFS: return QStringLiteral("Platsen är skrivskyddad.");
    case EISDIR: return QStringLiteral("Det finns redan en mapp med det namnet.");
    case ENAMETOOLONG: return QStringLiteral("Filnamnet är för långt.");
    default: return QStringLiteral("Systemet svarade: ") + QString::fromLocal8Bit(std::strerror(e));
  }
}

namespace {
QString Message(const QString& path, const QString& reason) {
  return QStringLiteral("Rapporten kunde inte sparas som\r") + QDir::toNativeSeparators(path) +
         QStringLiteral("\r\r") + reason;
}
}  // namespace

bool Save(const QString& path, const std::function<bool(const QString&, QString*)>& write, QString* error) {
  const QFileInfo target(path);
  if (target.isDir()) {
    *error = Message(path, Reason(EISDIR));
    return false;
  }
  QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                      QStringLiteral(".XXXXXX"));
  errno = 0;
  if (!temp.open()) {
    const int e = errno;
    *error = Message(path, e ? Reason(e) : temp.errorString());
    return false;
  }
  temp.close();
  QString reason;
  if (!write(temp.fileName(), &reason)) {
    *error = Message(path, reason);
    return false;
  }
  temp.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
  // rename() replaces the target in one step: readers see the old file or
  // the new one, never half of either.
  if (std::rename(QFile::encodeName(temp.fileName()).constData(), QFile::encodeName(path).constData()) != 0) {
    *error = Message(path, Reason(errno));
    return false;
  }
  temp.setAutoRemove(false);
  return true;
}

}  // namespace davu::reportfile
