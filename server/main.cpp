// davu-server: the central server and update server of the DAVU calling
// system, on one TCP port, with its data in one SQLite file.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cstdio>

#include "DavuServer.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("davu-server"));

  QCommandLineParser p;
  p.setApplicationDescription(QStringLiteral(
      "DAVU-servern: central server och uppdateringsserver för DAVU Admin och DAVU-klienterna."));
  p.addHelpOption();
  QCommandLineOption port(QStringLiteral("port"),
                          QStringLiteral("TCP-port att lyssna på, 0 = valfri ledig port (standard 4000)."),
                          QStringLiteral("port"), QStringLiteral("4000"));
  QCommandLineOption listen(QStringLiteral("listen"), QStringLiteral("Adress att lyssna på (standard 127.0.0.1, bara den egna datorn)."),
                            QStringLiteral("adress"), QStringLiteral("127.0.0.1"));
  QString defaultDb =
      QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/davu-server/davu.db";
  QCommandLineOption db(QStringLiteral("db"),
                        QStringLiteral("Databasfil, SQLite (standard %1).").arg(defaultDb),
                        QStringLiteral("fil"), defaultDb);
  QCommandLineOption updateDir(QStringLiteral("update-dir"),
                               QStringLiteral("Katalog med programfiler som klienterna kan hämta."),
                               QStringLiteral("katalog"));
  QCommandLineOption version(QStringLiteral("version"),
                             QStringLiteral("Serverns versionstext (standard 1.10.6)."),
                             QStringLiteral("text"), QStringLiteral("1.10.6"));
  QCommandLineOption clinic(QStringLiteral("clinic"),
                            QStringLiteral("Klinikens namn (sparas i databasen)."),
                            QStringLiteral("namn"));
  QCommandLineOption demo(QStringLiteral("demo"),
                          QStringLiteral("Fyll en tom databas med en demoklinik."));
  QCommandLineOption portFile(QStringLiteral("port-file"),
                              QStringLiteral("Skriv den port servern lyssnar på till denna fil."),
                              QStringLiteral("fil"));
  p.addOptions({port, listen, db, updateDir, version, clinic, demo, portFile});
  p.process(app);

  davu::server::ServerOptions o;
  bool ok = false;
  uint portValue = p.value(port).toUInt(&ok);
  if (!ok || portValue > 65535) {
    std::fprintf(stderr, "davu-server: ogiltig port %s\n", qPrintable(p.value(port)));
    return 2;
  }
  o.port = static_cast<quint16>(portValue);
  if (!o.listenAddress.setAddress(p.value(listen))) {
    std::fprintf(stderr, "davu-server: ogiltig adress %s\n", qPrintable(p.value(listen)));
    return 2;
  }
  o.databasePath = p.value(db);
  QDir().mkpath(QFileInfo(o.databasePath).absolutePath());
  o.updateDir = p.value(updateDir);
  o.version = p.value(version);
  o.clinic = p.value(clinic);
  o.demo = p.isSet(demo);
  o.portFile = p.value(portFile);

  davu::server::DavuServer server(o);
  QString error;
  if (!server.start(&error)) {
    std::fprintf(stderr, "davu-server: %s\n", error.toLocal8Bit().constData());
    return 1;
  }
  return app.exec();
}
