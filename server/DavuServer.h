#pragma once
// The server's network side: one TCP port for both roles (central server and
// update server). Each connection has its own reassembler, bounded in size,
// and a queue of replies; requests are answered in the order they arrive.
// Qt's event loop serves every connection on one thread, which never waits
// on the database: clients' SQL runs on threads of its own (SqlWorkers) and
// their changes to the register and settings on a writer thread
// (DatabaseWriter). A connection's next request waits for those.
//
// Memory is bounded with backpressure: a connection's next request is taken
// only while its unsent output is below heldOutput, replies go to the socket
// in slices as it drains (program files read from disk a slice at a time),
// and all buffers together stay within memoryBudget
// (beyond it requests wait, new connections are turned away, peers that
// closed are still noticed and the largest unfinished messages are given up
// first). A client that stops reading is closed after unreadOutputMs, one
// that sends no whole message after stalledInputMs. Until its first whole
// message a connection may send only firstMessageLimit, and one address may
// hold maxPerAddress connections.
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstddef>
#include <functional>
#include <memory>
#include <unordered_map>

#include "server/AllowList.h"
#include "server/DatabaseWriter.h"
#include "server/LogLimiter.h"
#include "server/RequestHandler.h"
#include "server/ServerDatabase.h"
#include "server/ServerVersion.h"
#include "server/SqlWorkers.h"

class QTcpServer;
class QTcpSocket;

namespace davu::server {

struct ServerOptions {
  QHostAddress listenAddress = QHostAddress::LocalHost;
  AllowList allow;  // empty: every machine that reaches the port
  quint16 port = 0;  // 0: a free port, see DavuServer::port()
  QString databasePath;
  QString updateDir;
  QString version = QString::fromLatin1(kServerVersion);
  QString clinic;  // stored in the database when given
  bool demo = false;
  bool quiet = false;  // no log lines on stderr
  // Also given every log line, time stamp and line end included (tests).
  std::function<void(const QString&)> logSink;
  QString portFile;    // when set, the port listened on is written there before the log says so
  // Bytes a connection may send without completing a message.
  std::size_t inputLimit = 8u * 1024u * 1024u;
  // The same until the connection has sent its first whole message.
  std::size_t firstMessageLimit = 64u * 1024u;
  // All connections' unfinished messages together; beyond it the largest
  // are given up first.
  std::size_t unfinishedBudget = 32u * 1024u * 1024u;
  // Replies waiting for a client that does not read; past this it is dropped.
  std::size_t outputLimit = 256u * 1024u * 1024u;
  // No request of a connection is handled while more than this of its
  // output is unsent, beyond the reply in progress.
  std::size_t heldOutput = 1024u * 1024u;
  // All connections' buffers (queued replies, Qt's read and write buffers,
  // unfinished and unhandled requests) and SQLite's memory together.
  std::size_t memoryBudget = 256u * 1024u * 1024u;
  // A client that has not taken any of its output for this long is closed.
  int unreadOutputMs = 30000;
  int maxSqlJobs = 4;  // SQL requests running at once
  int sqlTimeLimitMs = 20000;  // a client statement running longer is stopped
  // A change to the register or settings that cannot take the database's
  // write lock this long after it arrived is refused.
  int writeLockWaitMs = 1000;
  int maxConnections = 1000;
  // Connections one address may hold open at once.
  int maxPerAddress = 100;
  // A connection is closed when it has not sent a whole message this long
  // after it opened, or after its unfinished message began.
  int stalledInputMs = 30000;
  // Lines about one address written per window; the rest are counted and
  // summed up in one line when the window ends.
  int logBurst = 20;
  int logWindowMs = 10000;
  // While over the memory budget, closed peers and the largest unfinished
  // messages are looked for this often.
  int overloadCheckMs = 100;
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
  // One line with a time stamp on standard error, unless quiet. Control
  // characters in it are escaped: much of what is logged comes from clients.
  void log(const QString& line) const;
  // Bytes held in all connections' buffers (see memoryBudget).
  std::size_t bufferedBytes() const { return buffered_; }
  // Whether the connections' buffers and what SQLite took since the start
  // (statements' sorting and rows, caches) together are over memoryBudget.
  bool overBudget() const;
  int sqlJobsRunning() const { return workers_ ? workers_->running() : 0; }

 signals:
  void connectionCountChanged(int count);

 private:
  struct Connection;
  void onNewConnection();
  // Whether a new connection was turned away: closed without a byte, or
  // answered with why and closed.
  bool turnedAway(QTcpSocket* socket, const QString& host, const QString& peer);
  const char* refusal(const QString& host, const QString& peer);
  void accept(QTcpSocket* socket, const QString& host, const QString& peer);
  // The timers that drop a connection that stalls or does not read.
  void startTimers(Connection& c);
  // A line about one peer ("host:port"), limited per address.
  void logAbout(const QString& peer, const QString& line);
  void summariseLog();
  void watchOverload();
  Connection* find(QTcpSocket* socket) const;
  void onReadyRead(QTcpSocket* socket);
  void onBytesWritten(QTcpSocket* socket);
  void process(Connection& c);
  void startSql(Connection& c, SqlWork work);
  void sqlDone(QTcpSocket* socket, bool exec, SqlOutcome outcome);
  void startChange(Connection& c, ChangeWork work);
  void enqueue(Connection& c, Reply reply);
  void send(Connection& c, std::vector<Reply> replies);
  void flush(QTcpSocket* socket);
  std::size_t unsent(const Connection& c) const;
  void account(Connection& c);
  void trimSoon();
  // Closes the connections with the largest unfinished messages while
  // `over` holds, and only those of more than a client ever sends.
  void shedUnfinished(const std::function<bool()>& over, const QString& what);
  void resumeAll();
  void release(Connection& c);
  void drop(QTcpSocket* socket, const QString& why, bool now = false);
  void forget(QTcpSocket* socket);
  void closeConnections();
  bool isConnected(const std::string& stationName) const;
  bool listen(QString* error);
  bool openDatabase(QString* error);

  ServerOptions options_;
  std::unique_ptr<Database> db_;
  std::unique_ptr<RequestHandler> handler_;
  std::unique_ptr<SqlWorkers> workers_;  // none for an in-memory database
  std::unique_ptr<DatabaseWriter> writer_;  // likewise
  QTcpServer* server_ = nullptr;
  std::size_t buffered_ = 0;
  std::size_t unfinished_ = 0;  // bytes of unfinished messages, part of buffered_
  bool shedQueued_ = false;
  long long sqliteAtStart_ = 0;  // SQLite's memory once the database is open
  bool resumeQueued_ = false;
  std::unordered_map<QTcpSocket*, std::unique_ptr<Connection>> connections_;
  std::unordered_map<QString, int> perAddress_;  // open connections by address
  LogLimiter logLimiter_;
  QElapsedTimer logClock_;
  QTimer logSummary_;
  QTimer overloadWatch_;
  QTimer trim_;  // gives freed memory back to the system, at most once a second
};

}  // namespace davu::server
