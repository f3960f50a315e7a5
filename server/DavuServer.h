#pragma once
// The server's network side: one TCP port for both roles (central server and
// update server). Each connection has its own reassembler, bounded in size,
// and a queue of replies; requests are answered in the order they arrive.
// One thread: Qt's event loop runs everything.
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <cstddef>
#include <memory>
#include <unordered_map>

#include "AllowList.h"
#include "RequestHandler.h"
#include "ServerDatabase.h"

class QTcpServer;
class QTcpSocket;

namespace davu::server {

struct ServerOptions {
  QHostAddress listenAddress = QHostAddress::LocalHost;
  AllowList allow;  // empty: every machine that reaches the port
  quint16 port = 0;  // 0: a free port, see DavuServer::port()
  QString databasePath;
  QString updateDir;
  QString version = QStringLiteral("1.10.6");
  QString clinic;  // stored in the database when given
  bool demo = false;
  bool quiet = false;  // no log lines on stderr
  QString portFile;    // when set, the port listened on is written there before the log says so
  // Bytes a connection may send without completing a message.
  std::size_t inputLimit = 8u * 1024u * 1024u;
  // Replies waiting for a client that does not read; past this it is dropped.
  std::size_t outputLimit = 256u * 1024u * 1024u;
  int maxConnections = 1000;
  // A half message that gets no further for this long ends the connection.
  int stalledInputMs = 120000;
  int programFilePauseMs = 200;
};

class DavuServer : public QObject {
  Q_OBJECT

 public:
  explicit DavuServer(ServerOptions options, QObject* parent = nullptr);
  ~DavuServer() override;

  // Starts listening, then opens the database (creating its folder, the
  // schema, and the demo data when asked), so a port that is taken leaves no
  // new database behind. False with a message saying what to do when either
  // fails.
  bool start(QString* error);
  // Closes every connection and the database (which checkpoints its WAL
  // into the main file), logging why and what was closed.
  void stop(const QString& why);
  quint16 port() const;
  int connectionCount() const { return static_cast<int>(connections_.size()); }
  Database& database() { return *db_; }
  // One line with a time stamp on standard error, unless quiet.
  void log(const QString& line) const;

 signals:
  void connectionCountChanged(int count);

 private:
  struct Connection;
  void onNewConnection();
  void onReadyRead(QTcpSocket* socket);
  void send(Connection& c, std::vector<Reply> replies);
  void flush(QTcpSocket* socket);
  void drop(QTcpSocket* socket, const char* why);
  void forget(QTcpSocket* socket);
  void closeConnections();
  bool isConnected(const std::string& stationName) const;
  bool listen(QString* error);
  bool openDatabase(QString* error);

  ServerOptions options_;
  std::unique_ptr<Database> db_;
  std::unique_ptr<RequestHandler> handler_;
  QTcpServer* server_ = nullptr;
  std::unordered_map<QTcpSocket*, std::unique_ptr<Connection>> connections_;
};

}  // namespace davu::server
