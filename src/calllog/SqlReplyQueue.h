#pragma once
// Who waits for each SQL reply on the main connection. A server answers the
// requests of one connection in the order they were sent, and a RETSQL reply
// carries nothing that names its query, so every OPENSQL that goes out is
// queued here with its asker, and every reply is handed to the oldest query
// still waiting:
//
//   send OPENSQL     -> Expect(socket, asker)      (at the back)
//   send EXECSQL     -> ExpectStatement(socket)    (answered only when refused)
//   RETSQL arrives   -> TakeOldestQuery().asker gets the rows; statements in
//                       front of its query were carried out
//   "ERROR:" arrives -> TakeOldest().asker learns why (a refused query gets
//                       an error reply instead of its RETSQL; a refused
//                       statement has no asker)
//   asker closes     -> Forget(asker): its places stay, their replies are dropped
//   connection goes  -> every waiting query is failed and the queue is empty:
//                       the replies of a lost connection never come
//
// An error reply does not say which request it answers. It is taken as the
// answer of the oldest waiting query; an error for another request (a refused
// register change) while a query waits, or an error that follows a finished
// reply in a later read, puts the queue one place ahead until the connection
// is opened again. A query that fails after its first rows went out is
// answered by its error alone: davu-server never finishes such a reply, and
// a finished one with the error right behind it in the same text is dropped.
#include <QString>
#include <cstdint>
#include <string_view>

namespace davu {

class ClientSocket;

}  // namespace davu

class QObject;

namespace davu::calllog {

class SqlAsker {
 public:
  virtual ~SqlAsker() = default;
  // The RETSQL payload of this asker's query (wire bytes, valid during the call).
  virtual void SqlReplyArrived(std::string_view payload) = 0;
  // The query failed: the server's error text, or the connection was lost.
  // True when the asker has shown `why` itself (no balloon is then needed).
  virtual bool SqlReplyFailed(const QString& why) = 0;
  // The first bytes of the RETSQL reply that will answer this asker's query,
  // while the rest still arrives (`reply` numbers it on its connection).
  // Nothing of it may be shown yet: only SqlReplyArrived finishes it.
  virtual void SqlReplyArriving(std::uint64_t /*reply*/, std::string_view /*soFar*/) {}
};

// Puts a query just sent on `socket` at the back of the queue. The queue
// follows the socket: when it disconnects or is destroyed,
// the queries waiting on it are failed and removed.
void Expect(ClientSocket* socket, SqlAsker* asker);
// Puts a statement (EXECSQL) just sent on `socket` at the back: the server
// answers it only with an error reply.
void ExpectStatement(ClientSocket* socket);
// The asker no longer takes replies; its queries keep their places.
void Forget(const SqlAsker* asker);

struct Oldest {
  bool waited = false;         // a query was waiting
  SqlAsker* asker = nullptr;   // its asker; null when it has gone
};
// Removes and returns the oldest waiting query or statement.
Oldest TakeOldest();
// The same for a RETSQL reply: the statements in front of the oldest query
// are removed first (they were carried out: their errors would have come
// before this reply).
Oldest TakeOldestQuery();
// The oldest waiting query, left in its place: the asker a RETSQL reply
// arriving now will answer.
Oldest PeekOldestQuery();
// How many queries and statements wait.
int Waiting();
// Empties the queue without telling anyone (tests, between cases).
void ClearQueue();

// The text shown when the connection went while a query waited.
QString ConnectionLostText();

}  // namespace davu::calllog
