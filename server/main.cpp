// davu-server: the central server and update server of the DAVU calling
// system, on one TCP port, with its data in one SQLite file.
#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

#include "server/DatabaseBackup.h"
#include "server/DavuServer.h"
#include "server/ServerCommandLine.h"
#include "server/ServerVersion.h"
#include "server/StopSignals.h"

using namespace davu::server;

namespace {

int Backup(const ServerCommand& c) {
  std::string error;
  if (!BackupDatabase(c.options.databasePath.toStdString(), c.backupFile.toStdString(), &error)) {
    std::fprintf(stderr, "davu-server: backup of %s to %s failed: %s\n", qPrintable(c.options.databasePath),
                 qPrintable(c.backupFile), error.c_str());
    return 1;
  }
  std::fprintf(stderr, "davu-server: backup of %s written to %s\n", qPrintable(c.options.databasePath),
               qPrintable(c.backupFile));
  return 0;
}

int Serve(QCoreApplication& app, const ServerCommand& c) {
  DavuServer server(c.options);
  StopSignals stopSignals;
  QString stopReason;
  QObject::connect(&stopSignals, &StopSignals::stopRequested, &app, [&](const QString& name) {
    stopReason = name + QStringLiteral(" received");
    app.quit();
  });
  server.log(QStringLiteral("davu-server %1 starting, pid %2")
                 .arg(QCoreApplication::applicationVersion())
                 .arg(::getpid()));
  QString error;
  if (!server.start(&error)) {
    std::fprintf(stderr, "davu-server: %s\n", error.toLocal8Bit().constData());
    return 1;
  }
  app.exec();
  server.stop(stopReason);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("davu-server"));
  QCoreApplication::setApplicationVersion(QString::fromLatin1(kServerVersion));

  const ServerCommand c = ParseServerCommandLine(QCoreApplication::arguments());
  switch (c.action) {
    case ServerCommand::Action::Exit:
      if (!c.message.isEmpty()) std::fprintf(stderr, "%s\n", c.message.toLocal8Bit().constData());
      return c.exitStatus;
    case ServerCommand::Action::Backup:
      return Backup(c);
    case ServerCommand::Action::Serve:
      return Serve(app, c);
  }
  return 1;
}
