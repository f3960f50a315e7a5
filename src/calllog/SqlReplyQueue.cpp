#include "calllog/SqlReplyQueue.h"

#include <QObject>
#include <QPointer>
#include <deque>
#include <vector>

#include "common/ClientSocket.h"

namespace davu::calllog {
namespace {

struct Entry {
  QPointer<ClientSocket> socket;
  SqlAsker* asker;
  bool statement;  // EXECSQL: no reply unless refused
};

std::deque<Entry>& Queue() {
  static std::deque<Entry> q;
  return q;
}

// Fails and removes every query that waits on `socket` (or on a socket that
// is gone). The askers are told after the queue is settled: one may send a
// new query from inside.
void Drop(const ClientSocket* socket) {
  std::vector<SqlAsker*> failed;
  std::deque<Entry> kept;
  for (Entry& e : Queue()) {
    if (e.socket && e.socket != socket) {
      kept.push_back(e);
    } else if (e.asker) {
      failed.push_back(e.asker);
    }
  }
  Queue().swap(kept);
  for (SqlAsker* a : failed) a->SqlReplyFailed(ConnectionLostText());
}

// The queue's watch on one socket. Queries go out only on an open
// connection, and an open connection always ends with a disconnect before
// the socket opens again.
void Follow(ClientSocket* socket) {
  static std::vector<QPointer<ClientSocket>> followed;
  for (const QPointer<ClientSocket>& s : followed)
    if (s == socket) return;
  std::erase_if(followed, [](const QPointer<ClientSocket>& s) { return s.isNull(); });
  followed.emplace_back(socket);
  QObject::connect(socket, &ClientSocket::disconnected, [socket] { Drop(socket); });
  QObject::connect(socket, &QObject::destroyed, [socket] { Drop(socket); });
}

}  // namespace

QString ConnectionLostText() { return QStringLiteral("anslutningen till servern bröts."); }

void Expect(ClientSocket* socket, SqlAsker* asker) {
  if (!socket) return;
  Follow(socket);
  Queue().push_back({socket, asker, false});
}

void ExpectStatement(ClientSocket* socket) {
  if (!socket) return;
  Follow(socket);
  Queue().push_back({socket, nullptr, true});
}

void Forget(const SqlAsker* asker) {
  for (Entry& e : Queue())
    if (e.asker == asker) e.asker = nullptr;
}

Oldest TakeOldest() {
  if (Queue().empty()) return {};
  const Entry e = Queue().front();
  Queue().pop_front();
  return {true, e.asker};
}

Oldest TakeOldestQuery() {
  while (!Queue().empty() && Queue().front().statement) Queue().pop_front();
  return TakeOldest();
}

Oldest PeekOldestQuery() {
  for (const Entry& e : Queue())
    if (!e.statement) return {true, e.asker};
  return {};
}

int Waiting() { return static_cast<int>(Queue().size()); }

void ClearQueue() { Queue().clear(); }

}  // namespace davu::calllog
