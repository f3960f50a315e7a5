#include "update/RunningProgram.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace davu {

namespace {

// When the program file has been replaced while running, the kernel shows
// the old link target with this suffix.
const QString kDeletedSuffix = QStringLiteral(" (deleted)");

}  // namespace

QString RunningProgramFileName() {
  QString path = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
  if (path.isEmpty() && QCoreApplication::instance()) path = QCoreApplication::applicationFilePath();
  if (path.endsWith(kDeletedSuffix)) path.chop(kDeletedSuffix.size());
  return QFileInfo(path).fileName();
}

QStringList StartArguments() {
  QFile cmdline(QStringLiteral("/proc/self/cmdline"));
  if (cmdline.open(QIODevice::ReadOnly)) {
    const QByteArray all = cmdline.readAll();
    QStringList args;
    qsizetype from = 0;
    // Each argument ends with a zero byte; the first is the program.
    for (qsizetype nul = all.indexOf('\0'); nul >= 0; from = nul + 1, nul = all.indexOf('\0', from))
      args << QFile::decodeName(all.mid(from, nul - from));
    if (!args.isEmpty()) return args.mid(1);
  }
  return QCoreApplication::instance() ? QCoreApplication::arguments().mid(1) : QStringList();
}

QStringList RestartArguments() { return QStringList{QStringLiteral("RESTARTING=1")} + StartArguments(); }

}  // namespace davu
