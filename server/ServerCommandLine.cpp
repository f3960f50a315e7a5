#include "server/ServerCommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStandardPaths>

#include <cstdio>
#include <functional>
#include <vector>

#include "server/ServerVersion.h"

namespace davu::server {

namespace {

ServerCommand Refuse(const QString& message) {
  ServerCommand c;
  c.exitStatus = 2;
  c.message = message + QStringLiteral("\nTry 'davu-server --help' for the options.");
  return c;
}

QString Last(const QStringList& values) { return values.isEmpty() ? QString() : values.last(); }

// One option: how --help shows it and what it sets. `apply` gets the
// option's values (its default when not given) and whether it was given, and
// answers why they cannot be used, or an empty text.
struct OptionRow {
  QStringList names;
  QString description;
  QString valueName;  // empty: a switch
  QString defaultValue;
  std::function<QString(ServerCommand&, const QStringList& values, bool given)> apply;
};

QString ApplyPort(ServerCommand& c, const QStringList& values, bool) {
  bool ok = false;
  const uint port = Last(values).toUInt(&ok);
  if (!ok || port > 65535)
    return QStringLiteral("invalid port \"%1\": give a number from 1 to 65535, or 0 for any free port.")
        .arg(Last(values));
  c.options.port = static_cast<quint16>(port);
  return {};
}

QString ApplyListen(ServerCommand& c, const QStringList& values, bool) {
  if (c.options.listenAddress.setAddress(Last(values))) return {};
  return QStringLiteral("invalid --listen address \"%1\": give an IPv4 or IPv6 address of this machine, "
                        "for example 0.0.0.0 for all of them.")
      .arg(Last(values));
}

QString ApplyAllow(ServerCommand& c, const QStringList& values, bool) {
  for (const QString& network : values) {
    QString error;
    if (!c.options.allow.add(network, &error)) return error;
  }
  return {};
}

QString ApplyBudget(ServerCommand& c, const QStringList& values, bool) {
  bool ok = false;
  const uint mib = Last(values).toUInt(&ok);
  if (!ok || mib < 16 || mib > 1024u * 1024u)
    return QStringLiteral("invalid --memory-budget \"%1\": give a number of MiB, 16 or more.").arg(Last(values));
  c.options.memoryBudget = std::size_t(mib) * 1024u * 1024u;
  return {};
}

QString ApplyPerAddress(ServerCommand& c, const QStringList& values, bool) {
  bool ok = false;
  const uint count = Last(values).toUInt(&ok);
  if (!ok || count < 1 || count > uint(c.options.maxConnections))
    return QStringLiteral("invalid --max-per-address \"%1\": give a number from 1 to %2.")
        .arg(Last(values))
        .arg(c.options.maxConnections);
  c.options.maxPerAddress = static_cast<int>(count);
  return {};
}

// A text option stored as it is.
auto Store(QString ServerOptions::*field) {
  return [field](ServerCommand& c, const QStringList& values, bool) {
    c.options.*field = Last(values);
    return QString();
  };
}

QString ApplyBackup(ServerCommand& c, const QStringList& values, bool given) {
  c.backupFile = Last(values);
  if (given) c.action = ServerCommand::Action::Backup;
  return {};
}

// In the order --help shows them and their values are checked. Help and
// --version have no `apply`: they are answered before anything is set.
std::vector<OptionRow> Options() {
  const QString defaultDb =
      QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/davu-server/davu.db";
  const QString version = QString::fromLatin1(kServerVersion);
  return {
      {{"h", "help"}, QStringLiteral("Show this help and exit."), {}, {}, nullptr},
      {{"version"}, QStringLiteral("Show the program's version and exit."), {}, {}, nullptr},
      {{"port"},
       QStringLiteral("TCP port to listen on, 1-65535, or 0 for any free port (default 4000)."),
       QStringLiteral("port"), QStringLiteral("4000"), ApplyPort},
      {{"listen"}, QStringLiteral("Address to listen on (default 127.0.0.1: this machine only)."),
       QStringLiteral("address"), QStringLiteral("127.0.0.1"), ApplyListen},
      {{"allow"},
       QStringLiteral("Accept connections only from this network, as ADDRESS/PREFIX (IPv4 or IPv6); repeat "
                      "for more networks. Without it every machine that reaches the port is served."),
       QStringLiteral("cidr"), {}, ApplyAllow},
      {{"db"}, QStringLiteral("SQLite database file (default %1).").arg(defaultDb), QStringLiteral("file"),
       defaultDb, Store(&ServerOptions::databasePath)},
      {{"backup"},
       QStringLiteral("Write a consistent copy of the database to this file and exit; safe while the "
                      "server runs."),
       QStringLiteral("file"), {}, ApplyBackup},
      {{"update-dir"}, QStringLiteral("Folder of program files that clients may download."),
       QStringLiteral("folder"), {}, Store(&ServerOptions::updateDir)},
      {{"report-version"}, QStringLiteral("Server version reported to clients (default %1).").arg(version),
       QStringLiteral("text"), version, Store(&ServerOptions::version)},
      {{"clinic"}, QStringLiteral("Name of the clinic (stored in the database)."), QStringLiteral("name"), {},
       Store(&ServerOptions::clinic)},
      {{"demo"}, QStringLiteral("Fill an empty database with a demo clinic."), {}, {},
       [](ServerCommand& c, const QStringList&, bool given) {
         c.options.demo = given;
         return QString();
       }},
      {{"port-file"}, QStringLiteral("Write the port listened on to this file."), QStringLiteral("file"), {},
       Store(&ServerOptions::portFile)},
      {{"memory-budget"},
       QStringLiteral("MiB that all connections' buffers may hold together (default 256)."),
       QStringLiteral("MiB"), QStringLiteral("256"), ApplyBudget},
      {{"max-per-address"},
       QStringLiteral("Connections one address may hold open at once (default 100; a terminal server's "
                      "sessions share its address)."),
       QStringLiteral("count"), QStringLiteral("100"), ApplyPerAddress},
  };
}

}  // namespace

ServerCommand ParseServerCommandLine(const QStringList& arguments) {
  QCommandLineParser p;
  p.setApplicationDescription(QStringLiteral(
      "The central server and update server of the DAVU calling system, for DAVU Admin "
      "and the DAVU clients.\nStops cleanly on SIGTERM or SIGINT."));
  const std::vector<OptionRow> rows = Options();
  std::vector<QCommandLineOption> options;
  for (const OptionRow& r : rows)
    options.emplace_back(r.names, r.description, r.valueName, r.defaultValue);
  p.addOptions(QList<QCommandLineOption>(options.begin(), options.end()));

  if (!p.parse(arguments)) return Refuse(QStringLiteral("davu-server: ") + p.errorText());
  if (!p.positionalArguments().isEmpty())
    return Refuse(QStringLiteral("davu-server: unexpected argument \"%1\"").arg(p.positionalArguments().first()));
  ServerCommand c;
  if (p.isSet(options[0])) {
    // "Usage: davu-server", not the path it was started by.
    QString text = p.helpText();
    if (!arguments.isEmpty()) text.replace(arguments.first(), QStringLiteral("davu-server"));
    std::fputs(qPrintable(text), stdout);
    return c;
  }
  if (p.isSet(options[1])) {
    std::printf("davu-server %s\n", qPrintable(QCoreApplication::applicationVersion()));
    return c;
  }
  c.action = ServerCommand::Action::Serve;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i].apply) continue;
    const QString why = rows[i].apply(c, p.values(options[i]), p.isSet(options[i]));
    if (!why.isEmpty()) return Refuse(QStringLiteral("davu-server: ") + why);
  }
  return c;
}

}  // namespace davu::server
