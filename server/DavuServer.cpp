#include "DavuServer.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cstdio>
#include <deque>

#include "DemoData.h"
#include "ServerText.h"
#include "protocol/Reassembler.h"

namespace davu::server {

struct DavuServer::Connection {
  explicit Connection(std::size_t limit) : input(limit) {}
  QTcpSocket* socket = nullptr;
  davu::proto::Reassembler input;
  Session session;
  std::deque<Reply> queue;
  bool pausing = false;
  bool closing = false;
  QTimer stalled;
};

DavuServer::DavuServer(ServerOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {}

DavuServer::~DavuServer() { closeConnections(); }

void DavuServer::closeConnections() {
  for (auto& [socket, c] : connections_) {
    socket->disconnect(this);
    socket->abort();
    delete socket;
  }
  connections_.clear();
}

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
  handler_->setConnectedLookup([this](const std::string& name) { return isConnected(name); });
  handler_->setLog([this](const std::string& line) { log(QString::fromStdString(line)); });

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
  if (options_.quiet) return;
  QByteArray text = (QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) +
                     line + QLatin1Char('\n'))
                        .toUtf8();
  std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
  std::fflush(stderr);
}

bool DavuServer::isConnected(const std::string& stationName) const {
  QString wanted = QString::fromStdString(stationName);
  for (const auto& [socket, c] : connections_) {
    if (c->session.introduced && !c->closing &&
        QString::fromStdString(c->session.clientName).compare(wanted, Qt::CaseInsensitive) == 0)
      return true;
  }
  return false;
}

void DavuServer::onNewConnection() {
  while (QTcpSocket* socket = server_->nextPendingConnection()) {
    QString peer = socket->peerAddress().toString() + QLatin1Char(':') +
                   QString::number(socket->peerPort());
    if (!options_.allow.allows(socket->peerAddress())) {
      // Not a byte to a machine outside the allowed networks.
      log(QStringLiteral("refused connection from %1: not in an allowed network").arg(peer));
      socket->abort();
      socket->deleteLater();
      continue;
    }
    if (connectionCount() >= options_.maxConnections) {
      log(QStringLiteral("refused connection from %1: %2 connections open")
              .arg(peer)
              .arg(connectionCount()));
      const std::string busy =
          Utf8ToWire("ERROR: Servern har för många anslutningar. Försök igen om en stund.");
      socket->write(busy.data(), static_cast<qint64>(busy.size()));
      socket->disconnectFromHost();
      connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
      continue;
    }
    auto c = std::make_unique<Connection>(options_.inputLimit);
    c->socket = socket;
    c->session.peer = peer.toStdString();
    socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    c->stalled.setSingleShot(true);
    c->stalled.setInterval(options_.stalledInputMs);
    connect(&c->stalled, &QTimer::timeout, socket, [this, socket] {
      drop(socket, "a message stayed incomplete too long");
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { flush(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
      auto it = connections_.find(socket);
      if (it == connections_.end()) return;
      it->second->closing = true;
      // Erased later: the handler that caused the disconnect may still hold it.
      QMetaObject::invokeMethod(this, [this, socket] { forget(socket); }, Qt::QueuedConnection);
    });
    connections_.emplace(socket, std::move(c));
    log(QStringLiteral("connection from %1 (%2 open)").arg(peer).arg(connectionCount()));
    emit connectionCountChanged(connectionCount());
    if (socket->bytesAvailable() > 0) onReadyRead(socket);
  }
}

void DavuServer::forget(QTcpSocket* socket) {
  auto it = connections_.find(socket);
  if (it == connections_.end()) return;
  const Session& s = it->second->session;
  QString who = s.clientName.empty()
                    ? QString()
                    : QStringLiteral(" (%1)").arg(QString::fromStdString(s.clientName));
  log(QStringLiteral("connection closed %1%2 (%3 open)")
          .arg(QString::fromStdString(s.peer), who)
          .arg(connectionCount() - 1));
  connections_.erase(it);
  socket->deleteLater();
  emit connectionCountChanged(connectionCount());
}

void DavuServer::onReadyRead(QTcpSocket* socket) {
  auto it = connections_.find(socket);
  if (it == connections_.end()) return;
  Connection& c = *it->second;
  QByteArray data = socket->readAll();
  if (c.closing) return;
  auto text = c.input.feed(std::string_view(data.constData(), static_cast<std::size_t>(data.size())));
  if (c.input.overflowed()) {
    send(c, {{Utf8ToWire("ERROR: Begäran är för stor eller saknar slutmarkör. Anslutningen stängs."), 0}});
    drop(socket, "more input than allowed without a complete message");
    return;
  }
  if (text) send(c, handler_->handleText(*text, c.session));
  if (c.input.pendingSize() > 0) {
    if (!c.stalled.isActive()) c.stalled.start();
  } else {
    c.stalled.stop();
  }
}

void DavuServer::send(Connection& c, std::vector<Reply> replies) {
  for (Reply& r : replies) c.queue.push_back(std::move(r));
  flush(c.socket);
}

void DavuServer::flush(QTcpSocket* socket) {
  auto it = connections_.find(socket);
  if (it == connections_.end()) return;
  Connection& c = *it->second;
  while (!c.queue.empty() && !c.pausing) {
    Reply& r = c.queue.front();
    if (r.pauseBeforeMs > 0) {
      int ms = r.pauseBeforeMs;
      r.pauseBeforeMs = 0;
      c.pausing = true;
      QTimer::singleShot(ms, socket, [this, socket] {
        auto again = connections_.find(socket);
        if (again == connections_.end()) return;
        again->second->pausing = false;
        flush(socket);
      });
      return;
    }
    socket->write(r.bytes.data(), static_cast<qint64>(r.bytes.size()));
    c.queue.pop_front();
  }
  if (static_cast<std::size_t>(socket->bytesToWrite()) > options_.outputLimit)
    drop(socket, "the client does not read its replies");
}

void DavuServer::drop(QTcpSocket* socket, const char* why) {
  auto it = connections_.find(socket);
  if (it == connections_.end() || it->second->closing) return;
  it->second->closing = true;
  it->second->stalled.stop();
  log(QStringLiteral("closing %1: %2").arg(QString::fromStdString(it->second->session.peer),
                                             QString::fromLatin1(why)));
  socket->disconnectFromHost();
  // A peer that does not read what is still queued is not waited for.
  QTimer::singleShot(5000, socket, [socket] { socket->abort(); });
}

}  // namespace davu::server
