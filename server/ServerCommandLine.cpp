#include "ServerCommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStandardPaths>

#include <cstdio>

#include "ServerVersion.h"

namespace davu::server {

namespace {

ServerCommand Refuse(const QString& message) {
  ServerCommand c;
  c.exitStatus = 2;
  c.message = message + QStringLiteral("\nTry 'davu-server --help' for the options.");
  return c;
}

}  // namespace

ServerCommand ParseServerCommandLine(const QStringList& arguments) {
  QCommandLineParser p;
  p.setApplicationDescription(QStringLiteral(
      "The central server and update server of the DAVU calling system, for DAVU Admin "
      "and the DAVU clients.\nStops cleanly on SIGTERM or SIGINT."));
  const QCommandLineOption help(QStringList{"h", "help"}, QStringLiteral("Show this help and exit."));
  const QCommandLineOption version(QStringLiteral("version"),
                                   QStringLiteral("Show the program's version and exit."));
  const QCommandLineOption port(QStringLiteral("port"),
                                QStringLiteral("TCP port to listen on, 1-65535, or 0 for any free port (default 4000)."),
                                QStringLiteral("port"), QStringLiteral("4000"));
  const QCommandLineOption listen(QStringLiteral("listen"),
                                  QStringLiteral("Address to listen on (default 127.0.0.1: this machine only)."),
                                  QStringLiteral("address"), QStringLiteral("127.0.0.1"));
  const QCommandLineOption allow(QStringLiteral("allow"),
                                 QStringLiteral("Accept connections only from this network, as ADDRESS/PREFIX "
                                                "(IPv4 or IPv6); repeat for more networks. Without it every "
                                                "machine that reaches the port is served."),
                                 QStringLiteral("cidr"));
  const QString defaultDb =
      QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/davu-server/davu.db";
  const QCommandLineOption db(QStringLiteral("db"),
                              QStringLiteral("SQLite database file (default %1).").arg(defaultDb),
                              QStringLiteral("file"), defaultDb);
  const QCommandLineOption backup(QStringLiteral("backup"),
                                  QStringLiteral("Write a consistent copy of the database to this file and exit; "
                                                 "safe while the server runs."),
                                  QStringLiteral("file"));
  const QCommandLineOption updateDir(QStringLiteral("update-dir"),
                                     QStringLiteral("Folder of program files that clients may download."),
                                     QStringLiteral("folder"));
  const QCommandLineOption reportVersion(QStringLiteral("report-version"),
                                         QStringLiteral("Server version reported to clients (default %1).")
                                             .arg(QLatin1String(kServerVersion)),
                                         QStringLiteral("text"), QString::fromLatin1(kServerVersion));
  const QCommandLineOption clinic(QStringLiteral("clinic"),
                                  QStringLiteral("Name of the clinic (stored in the database)."),
                                  QStringLiteral("name"));
  const QCommandLineOption demo(QStringLiteral("demo"), QStringLiteral("Fill an empty database with a demo clinic."));
  const QCommandLineOption portFile(QStringLiteral("port-file"),
                                    QStringLiteral("Write the port listened on to this file."),
                                    QStringLiteral("file"));
  const QCommandLineOption budget(QStringLiteral("memory-budget"),
                                  QStringLiteral("MiB that all connections' buffers may hold together (default 256)."),
                                  QStringLiteral("MiB"), QStringLiteral("256"));
  const QCommandLineOption perAddress(
      QStringLiteral("max-per-address"),
      QStringLiteral("Connections one address may hold open at once (default 100; a terminal server's "
                     "sessions share its address)."),
      QStringLiteral("count"), QStringLiteral("100"));
  p.addOptions({help, version, port, listen, allow, db, backup, updateDir, reportVersion, clinic, demo, portFile,
                budget, perAddress});

  if (!p.parse(arguments)) return Refuse(QStringLiteral("davu-server: ") + p.errorText());
  if (!p.positionalArguments().isEmpty())
    return Refuse(QStringLiteral("davu-server: unexpected argument \"%1\"").arg(p.positionalArguments().first()));
  ServerCommand c;
  if (p.isSet(help)) {
    // "Usage: davu-server", not the path it was started by.
    QString text = p.helpText();
    if (!arguments.isEmpty()) text.replace(arguments.first(), QStringLiteral("davu-server"));
    std::fputs(qPrintable(text), stdout);
    return c;
  }
  if (p.isSet(version)) {
    std::printf("davu-server %s\n", qPrintable(QCoreApplication::applicationVersion()));
    return c;
  }

  ServerOptions& o = c.options;
  bool ok = false;
  const uint portValue = p.value(port).toUInt(&ok);
  if (!ok || portValue > 65535)
    return Refuse(QStringLiteral("davu-server: invalid port \"%1\": give a number from 1 to 65535, "
                                 "or 0 for any free port.")
                      .arg(p.value(port)));
  o.port = static_cast<quint16>(portValue);
  if (!o.listenAddress.setAddress(p.value(listen)))
    return Refuse(QStringLiteral("davu-server: invalid --listen address \"%1\": give an IPv4 or IPv6 "
                                 "address of this machine, for example 0.0.0.0 for all of them.")
                      .arg(p.value(listen)));
  for (const QString& network : p.values(allow)) {
    QString error;
    if (!o.allow.add(network, &error)) return Refuse(QStringLiteral("davu-server: ") + error);
  }
  o.databasePath = p.value(db);
  o.updateDir = p.value(updateDir);
  o.version = p.value(reportVersion);
  o.clinic = p.value(clinic);
  o.demo = p.isSet(demo);
  o.portFile = p.value(portFile);
  const uint budgetMiB = p.value(budget).toUInt(&ok);
  if (!ok || budgetMiB < 16 || budgetMiB > 1024u * 1024u)
    return Refuse(QStringLiteral("davu-server: invalid --memory-budget \"%1\": give a number of MiB, "
                                 "16 or more.")
                      .arg(p.value(budget)));
  o.memoryBudget = std::size_t(budgetMiB) * 1024u * 1024u;
  const uint perAddressValue = p.value(perAddress).toUInt(&ok);
  if (!ok || perAddressValue < 1 || perAddressValue > uint(o.maxConnections))
    return Refuse(QStringLiteral("davu-server: invalid --max-per-address \"%1\": give a number from 1 to %2.")
                      .arg(p.value(perAddress))
                      .arg(o.maxConnections));
  o.maxPerAddress = static_cast<int>(perAddressValue);
  c.backupFile = p.value(backup);
  c.action = p.isSet(backup) ? ServerCommand::Action::Backup : ServerCommand::Action::Serve;
  return c;
}

}  // namespace davu::server
