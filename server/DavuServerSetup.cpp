// Starting and stopping the server, and its log.
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTcpServer>

#include <sqlite3.h>

#include <cstdio>

#include "server/DavuServer.h"
#include "server/DemoData.h"
#include "server/ServerText.h"

namespace davu::server {

bool DavuServer::start(QString* error) {
  if (!listen(error) || !openDatabase(error)) {
    delete server_;
    server_ = nullptr;
    return false;
  }
  ServerConfig config;
  config.version = options_.version.toStdString();
  config.updateDir = options_.updateDir.toStdString();
  config.programFilePauseMs = options_.programFilePauseMs;
  handler_ = std::make_unique<RequestHandler>(*db_, config);
  // SQLite's caches give way before they take a large share of the budget
  // (its memory counts in the budget: see overBudget()).
  sqlite3_soft_heap_limit64(static_cast<sqlite3_int64>(options_.memoryBudget / 4));
  sqliteAtStart_ = sqlite3_memory_used();
  handler_->sqlGate().setTimeLimit(std::chrono::milliseconds(options_.sqlTimeLimitMs));
  handler_->setConnectedLookup([this](const std::string& name) { return isConnected(name); });
  handler_->setLog([this](const std::string& peer, const std::string& line) {
    logAbout(QString::fromStdString(peer), QString::fromStdString(line));
  });
  if (options_.databasePath != QLatin1String(":memory:")) {
    SqlWorkers::Options w;
    w.databasePath = options_.databasePath.toStdString();
    w.heldOutput = options_.heldOutput;
    w.maxRunning = options_.maxSqlJobs;
    w.timeLimit = std::chrono::milliseconds(options_.sqlTimeLimitMs);
    workers_ = std::make_unique<SqlWorkers>(w);
    writer_ = std::make_unique<DatabaseWriter>(DatabaseWriter::Options{
        options_.databasePath.toStdString(), std::chrono::milliseconds(options_.writeLockWaitMs)});
  }

  if (!options_.portFile.isEmpty()) {
    QSaveFile f(options_.portFile);
    if (!f.open(QIODevice::WriteOnly) || f.write(QByteArray::number(port()) + '\n') < 0 || !f.commit()) {
      if (error)
        *error = QStringLiteral("cannot write the port file %1: %2").arg(options_.portFile, f.errorString());
      return false;
    }
  }
  if (!options_.allow.isEmpty())
    log(QStringLiteral("accepting connections only from %1").arg(options_.allow.describe()));
  else if (!options_.listenAddress.isLoopback())
    log(QStringLiteral("WARNING: listening on %1 without --allow: every machine that reaches port %2 "
                       "can read the call log and change the register. Give the clinic's network "
                       "with --allow, for example --allow 192.168.1.0/24.")
            .arg(options_.listenAddress.toString())
            .arg(port()));
  log(QStringLiteral("listening on %1:%2, database %3")
          .arg(server_->serverAddress().toString())
          .arg(server_->serverPort())
          .arg(options_.databasePath));
  return true;
}

bool DavuServer::listen(QString* error) {
  server_ = new QTcpServer(this);
  server_->setListenBacklogSize(1024);
  server_->setMaxPendingConnections(1024);
  connect(server_, &QTcpServer::newConnection, this, &DavuServer::onNewConnection);
  if (server_->listen(options_.listenAddress, options_.port)) return true;
  if (error) {
    const QString where = QStringLiteral("%1 port %2").arg(options_.listenAddress.toString()).arg(options_.port);
    *error = server_->serverError() == QAbstractSocket::AddressInUseError
                 ? QStringLiteral("cannot listen on %1: the port is already in use. Stop the program "
                                  "that uses port %2, or choose another port with --port.")
                       .arg(where)
                       .arg(options_.port)
                 : QStringLiteral("cannot listen on %1: %2. Check the address given with --listen.")
                       .arg(where, server_->errorString());
  }
  return false;
}

bool DavuServer::openDatabase(QString* error) {
  const QString path = options_.databasePath;
  if (path != QLatin1String(":memory:")) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir() || !QFileInfo(folder).isWritable()) {
      if (error)
        *error = QStringLiteral("cannot write to the database folder %1. Create it and let this user "
                                "write there, or choose another file with --db.")
                     .arg(folder);
      return false;
    }
  }
  std::string dbError;
  db_ = Database::open(path.toStdString(), &dbError);
  if (!db_) {
    if (error)
      *error = QStringLiteral("cannot open the database %1: %2. Check the file, or choose another with --db.")
                   .arg(path, QString::fromStdString(dbError));
    return false;
  }
  try {
    if (!options_.clinic.isEmpty()) db_->setMeta("KLINIKNAMN", options_.clinic.toStdString());
    if (options_.demo && FillDemoData(*db_, QDateTime::currentDateTime()))
      log(QStringLiteral("demo data written to %1").arg(path));
    if (db_->meta("KLINIKNAMN").empty()) db_->setMeta("KLINIKNAMN", "Kliniken");
  } catch (const DbError& e) {
    if (error) *error = QStringLiteral("database error in %1: %2").arg(path, QString::fromUtf8(e.what()));
    db_.reset();
    return false;
  }
  return true;
}

void DavuServer::stop(const QString& why) {
  log(QStringLiteral("%1: stopping, closing %2 connections").arg(why).arg(connectionCount()));
  if (server_) server_->close();
  closeConnections();
  handler_.reset();
  // Closing the last connection to the file checkpoints the WAL into it.
  const bool hadDatabase = db_ != nullptr;
  db_.reset();
  log(hadDatabase ? QStringLiteral("stopped; database %1 checkpointed and closed").arg(options_.databasePath)
                  : QStringLiteral("stopped"));
}

quint16 DavuServer::port() const { return server_ ? server_->serverPort() : 0; }

void DavuServer::log(const QString& line) const {
  const QString whole = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) +
                        LogSafe(line) + QLatin1Char('\n');
  if (options_.logSink) options_.logSink(whole);
  if (options_.quiet) return;
  const QByteArray text = whole.toUtf8();
  std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
  std::fflush(stderr);
}

void DavuServer::logAbout(const QString& peer, const QString& line) {
  summariseLog();
  if (logLimiter_.admit(peer.left(peer.lastIndexOf(QLatin1Char(':'))).toStdString(), logClock_.elapsed()))
    log(line);
  if (logLimiter_.holding() && !logSummary_.isActive()) logSummary_.start();
}

void DavuServer::summariseLog() {
  for (const std::string& line : logLimiter_.ended(logClock_.elapsed())) log(QString::fromStdString(line));
  if (!logLimiter_.holding()) logSummary_.stop();
}

}  // namespace davu::server
