#include "server/DavuServer.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <malloc.h>
#include <poll.h>
#include <sqlite3.h>

#include <algorithm>
#include <deque>
#include <optional>

#include "protocol/Envelope.h"
#include "protocol/NeutralText.h"
#include "protocol/Reassembler.h"
#include "protocol/SqlRows.h"
#include "server/ServerText.h"

namespace davu::server {

namespace {
// Output is handed to the socket in slices of this size as it drains, so no
// reply is copied into the socket's buffer all at once.
constexpr std::size_t kSocketSlice = 256u * 1024u;
// Bytes a socket reads ahead while its requests wait.
constexpr qint64 kReadAhead = 64 * 1024;
// A closing connection's last bytes (an error reply) get a few seconds to
// leave; more than this is not waited for.
constexpr qint64 kFarewellBytes = 64 * 1024;
// Over the memory budget, unfinished messages larger than this are given up,
// largest first; a client's own requests are far smaller.
constexpr std::size_t kSheddableInput = 64u * 1024u;
// A connection that held this much gives its memory back to the system when
// it goes (malloc keeps freed memory for reuse otherwise, per thread).
constexpr std::size_t kTrimAfter = 256u * 1024u;
}  // namespace

struct DavuServer::Connection {
  explicit Connection(std::size_t limit) : input(limit) {}
  QTcpSocket* socket = nullptr;
  davu::proto::Reassembler input;
  Session session;
  std::string text;         // requests received and not yet handled
  std::size_t textPos = 0;  // where the next one starts in `text`
  std::deque<Reply> queue;  // replies not yet handed to the socket
  // Bytes in `queue`, less what of its front was written; files are read as
  // they are sent and not held.
  std::size_t queued = 0;
  std::size_t frontSent = 0;
  std::shared_ptr<SqlJob> job;  // the SQL request in progress; later requests wait
  std::shared_ptr<ChangeJob> change;  // likewise, the change in progress
  std::size_t changeBytes = 0;        // the change's copy of its request
  bool waiting() const { return job || change; }
  std::size_t counted = 0;      // this connection's share of buffered_
  std::size_t countedUnfinished = 0;  // and of unfinished_
  bool pausing = false;
  bool closing = false;
  bool spoke = false;  // has sent a whole message
  QString host;    // the peer's address
  QTimer stalled;  // no whole message yet, or an unfinished one that gets no further
  QTimer unread;   // output the client does not take
};

DavuServer::DavuServer(ServerOptions options, QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      logLimiter_(options_.logBurst, options_.logWindowMs) {
  logClock_.start();
  logSummary_.setInterval(options_.logWindowMs);
  connect(&logSummary_, &QTimer::timeout, this, &DavuServer::summariseLog);
  overloadWatch_.setInterval(options_.overloadCheckMs);
  connect(&overloadWatch_, &QTimer::timeout, this, &DavuServer::watchOverload);
  trim_.setSingleShot(true);
  trim_.setInterval(1000);
  connect(&trim_, &QTimer::timeout, this, [] { ::malloc_trim(0); });
}

bool DavuServer::overBudget() const {
  // SQLite's growth since the start: statements' sorting and rows, the SQL
  // threads' connections and caches.
  const sqlite3_int64 sqlite = std::max<sqlite3_int64>(0, sqlite3_memory_used() - sqliteAtStart_);
  return buffered_ + static_cast<std::size_t>(sqlite) > options_.memoryBudget;
}

DavuServer::~DavuServer() { closeConnections(); }

void DavuServer::closeConnections() {
  workers_.reset();  // stops the SQL threads before the connections go
  writer_.reset();
  for (auto& [socket, c] : connections_) {
    socket->disconnect(this);
    socket->abort();
    delete socket;
  }
  connections_.clear();
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

DavuServer::Connection* DavuServer::find(QTcpSocket* socket) const {
  auto it = connections_.find(socket);
  return it == connections_.end() ? nullptr : it->second.get();
}

// Why a new connection is turned away with a message, or null.
const char* DavuServer::refusal(const QString& host, const QString& peer) {
  if (connectionCount() >= options_.maxConnections) {
    logAbout(peer, QStringLiteral("refused connection from %1: %2 connections open").arg(peer).arg(connectionCount()));
    return "Servern har för många anslutningar. Försök igen om en stund.";
  }
  const int fromHost = perAddress_.contains(host) ? perAddress_.at(host) : 0;
  if (fromHost >= options_.maxPerAddress) {
    logAbout(peer, QStringLiteral("refused connection from %1: %2 connections open from that address")
                       .arg(peer)
                       .arg(fromHost));
    return "Servern har för många anslutningar från den här datorn. Stäng några och försök igen.";
  }
  if (overBudget()) {
    logAbout(peer, QStringLiteral("refused connection from %1: %2 MiB held in buffers and %3 MiB more by SQLite, "
                                  "over the budget of %4 MiB")
                       .arg(peer)
                       .arg(buffered_ >> 20)
                       .arg(std::max<sqlite3_int64>(0, sqlite3_memory_used() - sqliteAtStart_) >> 20)
                       .arg(options_.memoryBudget >> 20));
    return "Servern är hårt belastad. Försök igen om en stund.";
  }
  return nullptr;
}

void DavuServer::onNewConnection() {
  while (QTcpSocket* socket = server_->nextPendingConnection()) {
    const QString host = socket->peerAddress().toString();
    const QString peer = host + QLatin1Char(':') + QString::number(socket->peerPort());
    if (!turnedAway(socket, host, peer)) accept(socket, host, peer);
  }
}

bool DavuServer::turnedAway(QTcpSocket* socket, const QString& host, const QString& peer) {
  if (!options_.allow.allows(socket->peerAddress())) {
    // Not a byte to a machine outside the allowed networks.
    logAbout(peer, QStringLiteral("refused connection from %1: not in an allowed network").arg(peer));
    socket->abort();
    socket->deleteLater();
    return true;
  }
  const char* busy = refusal(host, peer);
  if (!busy) return false;
  const std::string text = davu::proto::ErrorReply(Utf8ToWire(busy));
  socket->write(text.data(), static_cast<qint64>(text.size()));
  socket->disconnectFromHost();
  connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
  return true;
}

void DavuServer::accept(QTcpSocket* socket, const QString& host, const QString& peer) {
  auto c = std::make_unique<Connection>(options_.inputLimit);
  c->socket = socket;
  c->session.peer = peer.toStdString();
  c->host = host;
  ++perAddress_[host];
  socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
  socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  socket->setReadBufferSize(kReadAhead);
  startTimers(*c);
  connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
  connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { onBytesWritten(socket); });
  connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
    Connection* c = find(socket);
    if (!c) return;
    c->closing = true;
    release(*c);
    // Erased later: the handler that caused the disconnect may still hold it.
    QMetaObject::invokeMethod(this, [this, socket] { forget(socket); }, Qt::QueuedConnection);
  });
  connections_.emplace(socket, std::move(c));
  logAbout(peer, QStringLiteral("connection from %1 (%2 open)").arg(peer).arg(connectionCount()));
  emit connectionCountChanged(connectionCount());
  if (socket->bytesAvailable() > 0) onReadyRead(socket);
}

void DavuServer::startTimers(Connection& c) {
  QTcpSocket* socket = c.socket;
  c.stalled.setSingleShot(true);
  c.stalled.setInterval(options_.stalledInputMs);
  connect(&c.stalled, &QTimer::timeout, socket, [this, socket] {
    drop(socket, QStringLiteral("no complete message for %1 s").arg(options_.stalledInputMs / 1000.0));
  });
  c.stalled.start();  // the first message is awaited as long as an unfinished one
  c.unread.setSingleShot(true);
  c.unread.setInterval(options_.unreadOutputMs);
  connect(&c.unread, &QTimer::timeout, socket, [this, socket] {
    drop(socket,
         QStringLiteral("the client has not read its replies for %1 s").arg(options_.unreadOutputMs / 1000.0),
         true);
  });
}

void DavuServer::forget(QTcpSocket* socket) {
  auto it = connections_.find(socket);
  if (it == connections_.end()) return;
  release(*it->second);
  const Session& s = it->second->session;
  QString who = s.clientName.empty()
                    ? QString()
                    : QStringLiteral(" (%1)").arg(QString::fromStdString(s.clientName));
  logAbout(QString::fromStdString(s.peer), QStringLiteral("connection closed %1%2 (%3 open)")
                                                .arg(QString::fromStdString(s.peer), who)
                                                .arg(connectionCount() - 1));
  if (--perAddress_[it->second->host] <= 0) perAddress_.erase(it->second->host);
  connections_.erase(it);
  socket->deleteLater();
  emit connectionCountChanged(connectionCount());
}

void DavuServer::onReadyRead(QTcpSocket* socket) {
  Connection* found = find(socket);
  if (!found) return;
  Connection& c = *found;
  if (c.closing) {
    socket->readAll();
    return;
  }
  // Requests still waiting, or all buffers full: the rest stays in the
  // socket's bounded buffer and then in the peer's until there is room.
  if (c.waiting() || c.textPos < c.text.size() || overBudget()) return;
  QByteArray data = socket->readAll();
  auto text = c.input.feed(std::string_view(data.constData(), static_cast<std::size_t>(data.size())));
  // Until a connection has sent one whole message it may hold only a small
  // allowance: a client's first request is short, and many connections
  // that never finish one must not add up to much.
  if (c.input.overflowed() || (!c.spoke && c.input.pendingSize() > options_.firstMessageLimit)) {
    const std::string why = "Begäran är för stor eller saknar slutmarkör. Anslutningen stängs.";
    send(c, {{davu::proto::ErrorReply(Utf8ToWire(why)), 0}});
    drop(socket, QStringLiteral("more input than allowed without a complete message"));
    return;
  }
  if (text) {
    c.text = std::move(*text);
    c.textPos = 0;
  }
  if (c.input.pendingSize() > 0 && !c.stalled.isActive()) c.stalled.start();
  process(c);
}

void DavuServer::process(Connection& c) {
  // One request at a time, each only while the output before it is small.
  while (!c.closing && !c.waiting() && c.textPos < c.text.size() &&
         unsent(c) <= options_.heldOutput && !overBudget()) {
    std::vector<Reply> out;
    Deferred work;
    c.textPos = handler_->handleNext(c.text, c.textPos, c.session, out, workers_ ? &work : nullptr);
    if (c.textPos != std::string::npos) {
      // A whole message: an unfinished one after it gets its full time.
      c.spoke = true;
      c.stalled.stop();
      if (c.input.pendingSize() > 0) c.stalled.start();
    }
    for (Reply& r : out) enqueue(c, std::move(r));
    if (work.sql) startSql(c, std::move(*work.sql));
    if (work.change) startChange(c, std::move(*work.change));
    flush(c.socket);
    account(c);
  }
  if (c.textPos >= c.text.size()) {
    c.text = std::string();
    c.textPos = 0;
  }
  account(c);
  if (!c.closing && !c.waiting() && c.text.empty() && c.socket->bytesAvailable() > 0) {
    QTcpSocket* socket = c.socket;
    QMetaObject::invokeMethod(this, [this, socket] { onReadyRead(socket); }, Qt::QueuedConnection);
  }
}

void DavuServer::startSql(Connection& c, SqlWork work) {
  QTcpSocket* socket = c.socket;
  const bool exec = work.exec;
  c.job = workers_->start(
      std::move(work),
      [this, socket](std::string piece) {
        Connection* c = find(socket);
        if (!c || c->closing) return;
        enqueue(*c, {std::move(piece), 0});
        flush(socket);
        account(*c);
      },
      [this, socket, exec](SqlOutcome outcome) { sqlDone(socket, exec, std::move(outcome)); });
}

void DavuServer::sqlDone(QTcpSocket* socket, bool exec, SqlOutcome outcome) {
  trimSoon();  // the statement's thread freed its rows and SQLite's caches
  Connection* c = find(socket);
  if (!c) return;
  c->job.reset();
  if (c->closing) return;
  if (outcome.ok) {
    if (!exec) enqueue(*c, {std::move(outcome.rows) + davu::proto::RetSqlTail(), 0});
  } else {
    // Rows already sent end their frame but not their reply: a reply whose
    // closing marker never came is never taken for a result, however the
    // error behind it is cut into reads. The error answers the query.
    if (outcome.streamed > 0) enqueue(*c, {std::string(davu::proto::kFrameEnd), 0});
    enqueue(*c, handler_->refusal(exec ? "EXECSQL" : "OPENSQL", outcome.error, c->session));
  }
  flush(socket);
  process(*c);
}

void DavuServer::startChange(Connection& c, ChangeWork work) {
  QTcpSocket* socket = c.socket;
  std::string tag = work.tag;
  c.changeBytes = work.body.size();
  c.change = writer_->start(std::move(work), [this, socket, tag](std::optional<std::string> refusal) {
    Connection* c = find(socket);
    if (!c) return;
    c->change.reset();
    c->changeBytes = 0;
    if (c->closing) return;
    if (refusal) enqueue(*c, handler_->refusal(tag, *refusal, c->session));
    flush(socket);
    process(*c);
  });
}

void DavuServer::enqueue(Connection& c, Reply reply) {
  c.queued += reply.bytes.size();
  c.queue.push_back(std::move(reply));
}

void DavuServer::send(Connection& c, std::vector<Reply> replies) {
  for (Reply& r : replies) enqueue(c, std::move(r));
  flush(c.socket);
}

std::size_t DavuServer::unsent(const Connection& c) const {
  return c.queued + static_cast<std::size_t>(c.socket->bytesToWrite());
}

void DavuServer::flush(QTcpSocket* socket) {
  Connection* found = find(socket);
  if (!found) return;
  Connection& c = *found;
  while (!c.queue.empty() && !c.pausing && socket->bytesToWrite() < qint64(kSocketSlice)) {
    Reply& r = c.queue.front();
    if (r.pauseBeforeMs > 0 && c.frontSent == 0) {
      int ms = r.pauseBeforeMs;
      r.pauseBeforeMs = 0;
      c.pausing = true;
      QTimer::singleShot(ms, socket, [this, socket] {
        Connection* again = find(socket);
        if (!again) return;
        again->pausing = false;
        flush(socket);
        account(*again);
      });
      return;
    }
    // Never more than one slice in the socket's buffer.
    const std::size_t room = kSocketSlice - static_cast<std::size_t>(socket->bytesToWrite());
    const std::size_t total = r.bytes.size() + (r.file ? r.file->size() : 0);
    if (c.frontSent < r.bytes.size()) {
      const std::size_t n = std::min(r.bytes.size() - c.frontSent, room);
      socket->write(r.bytes.data() + c.frontSent, static_cast<qint64>(n));
      c.frontSent += n;
      c.queued -= n;
    } else {
      const std::size_t offset = c.frontSent - r.bytes.size();
      const std::string slice = r.file->read(offset, std::min(total - c.frontSent, room));
      if (slice.empty()) {
        // Cut short in place while it was sent: no end marker after a part.
        drop(socket, QStringLiteral("the program file could not be read to its end"), true);
        return;
      }
      socket->write(slice.data(), static_cast<qint64>(slice.size()));
      c.frontSent += slice.size();
    }
    if (c.frontSent == total) {
      c.queue.pop_front();
      c.frontSent = 0;
    }
  }
  if (c.closing) return;
  if (unsent(c) > options_.outputLimit) {
    drop(socket, QStringLiteral("the client does not read its replies"), true);
    return;
  }
  if (unsent(c) == 0) c.unread.stop();
  else if (!c.unread.isActive()) c.unread.start();
}

void DavuServer::onBytesWritten(QTcpSocket* socket) {
  Connection* c = find(socket);
  if (!c || c->closing) return;
  c->unread.stop();  // the client reads: it gets its full time again
  flush(socket);
  process(*c);
}

void DavuServer::account(Connection& c) {
  const bool wasOver = overBudget();
  // Every buffer of the connection, Qt's read-ahead and a waiting change's
  // copy of its request included.
  const std::size_t now = c.closing ? 0
                                    : unsent(c) + c.input.pendingSize() + (c.text.size() - c.textPos) +
                                          static_cast<std::size_t>(c.socket->bytesAvailable()) + c.changeBytes;
  buffered_ = buffered_ - c.counted + now;
  c.counted = now;
  const std::size_t pending = c.closing ? 0 : c.input.pendingSize();
  unfinished_ = unfinished_ - c.countedUnfinished + pending;
  c.countedUnfinished = pending;
  if (unfinished_ > options_.unfinishedBudget && !shedQueued_) {
    // Not here: the caller may still hold this connection.
    shedQueued_ = true;
    QMetaObject::invokeMethod(this, [this] {
      shedQueued_ = false;
      shedUnfinished([this] { return unfinished_ > options_.unfinishedBudget; },
                     QStringLiteral("the limit for unfinished messages"));
    }, Qt::QueuedConnection);
  }
  if (c.job && workers_) workers_->setOutputState(*c.job, unsent(c), overBudget());
  if (overBudget() && !overloadWatch_.isActive()) overloadWatch_.start();
  if (wasOver && !overBudget() && !resumeQueued_) {
    resumeQueued_ = true;
    QMetaObject::invokeMethod(this, [this] { resumeAll(); }, Qt::QueuedConnection);
  }
}

void DavuServer::resumeAll() {
  resumeQueued_ = false;
  std::vector<QTcpSocket*> sockets;
  for (const auto& [socket, c] : connections_)
    if (!c->closing) sockets.push_back(socket);
  for (QTcpSocket* socket : sockets) {
    if (overBudget()) return;
    if (Connection* c = find(socket)) {
      if (c->job) workers_->setOutputState(*c->job, unsent(*c), false);
      process(*c);
    }
  }
}

void DavuServer::trimSoon() {
  if (!trim_.isActive()) trim_.start();
}

void DavuServer::watchOverload() {
  if (!overBudget()) {
    // SQLite's share can shrink without any connection's doing.
    overloadWatch_.stop();
    if (!resumeQueued_) {
      resumeQueued_ = true;
      QMetaObject::invokeMethod(this, [this] { resumeAll(); }, Qt::QueuedConnection);
    }
    return;
  }
  // Over the budget nothing is read, so Qt does not see a peer's end once
  // its read-ahead is full: ask the system which peers closed or reset.
  std::vector<QTcpSocket*> sockets;
  std::vector<pollfd> fds;
  for (const auto& [socket, c] : connections_) {
    if (c->closing || socket->socketDescriptor() < 0) continue;
    sockets.push_back(socket);
    fds.push_back({static_cast<int>(socket->socketDescriptor()), POLLRDHUP, 0});
  }
  if (!fds.empty() && ::poll(fds.data(), fds.size(), 0) > 0) {
    for (std::size_t i = 0; i < fds.size(); ++i)
      if (fds[i].revents & (POLLRDHUP | POLLHUP | POLLERR))
        drop(sockets[i], QStringLiteral("the client closed the connection while the server was over its memory budget"), true);
  }
  // Then the largest unfinished messages, until the rest fits.
  shedUnfinished([this] { return overBudget(); }, QStringLiteral("the memory budget"));
  if (!overBudget()) overloadWatch_.stop();
}

void DavuServer::shedUnfinished(const std::function<bool()>& over, const QString& what) {
  while (over()) {
    Connection* largest = nullptr;
    for (const auto& [socket, c] : connections_)
      if (!c->closing && (!largest || c->input.pendingSize() > largest->input.pendingSize())) largest = c.get();
    if (!largest || largest->input.pendingSize() < kSheddableInput) return;
    drop(largest->socket,
         QStringLiteral("its unfinished message of %1 KiB was the largest while over %2")
             .arg(largest->input.pendingSize() >> 10)
             .arg(what),
         true);
  }
}

void DavuServer::release(Connection& c) {
  if (c.counted >= kTrimAfter) trimSoon();
  if (c.job && workers_) workers_->cancel(c.job);
  c.job.reset();
  if (c.change && writer_) writer_->cancel(c.change);
  c.change.reset();
  c.changeBytes = 0;
  c.queue.clear();
  c.queued = 0;
  c.frontSent = 0;
  c.text = std::string();
  c.textPos = 0;
  c.input.reset();
  c.stalled.stop();
  c.unread.stop();
  account(c);
}

void DavuServer::drop(QTcpSocket* socket, const QString& why, bool now) {
  Connection* c = find(socket);
  if (!c || c->closing) return;
  c->closing = true;
  flush(socket);  // a last error reply goes into the socket before the rest is freed
  release(*c);
  logAbout(QString::fromStdString(c->session.peer),
           QStringLiteral("closing %1: %2").arg(QString::fromStdString(c->session.peer), why));
  if (now || socket->bytesToWrite() > kFarewellBytes) {
    socket->abort();
    return;
  }
  socket->disconnectFromHost();
  // A peer that does not read what is still queued is not waited for.
  QTimer::singleShot(5000, socket, [socket] { socket->abort(); });
}

}  // namespace davu::server
