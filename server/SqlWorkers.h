#pragma once
// Runs the clients' SQL away from the thread that serves connections, so
// that a long report never keeps other clients waiting. Each request runs on
// one of at most maxRunning worker threads, which wait for the next request
// when theirs ends, with a connection to the database file of its own while
// it runs (WAL lets readers run beside the writer); a connection is kept for
// the next statement when it ends, with the statements it prepared. So a
// short query pays neither for a new thread nor for opening the file and
// reading the schema again, and one asked again is not planned again. A
// thread whose statement ran long enough to give way to others (its priority
// lowered, which it cannot undo) ends after it, so that later short
// statements do not run at that priority. At most maxRunning
// run at once, at most one of them for each client (SqlWork::client), and
// the rest wait in order: a client's next statement waits for its last,
// while other clients' go first. A large RETSQL reply comes back in pieces
// as it is built, and the thread waits while the client's unsent output is
// above a bound.
//
// The SQL time limit is kept twice: by the gate's progress handler between
// steps, and by a watchdog on the serving thread that interrupts the
// connection if a statement is still running past the limit.
#include <QObject>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <thread>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "server/RequestHandler.h"
#include "server/SqlGate.h"

namespace davu::server {

class SqlJob;

class SqlWorkers : public QObject {
  Q_OBJECT

 public:
  struct Options {
    std::string databasePath;
    std::chrono::milliseconds timeLimit{20000};
    std::size_t replyLimit = 48u * 1024u * 1024u;
    std::size_t pieceBytes = 256u * 1024u;
    std::size_t heldOutput = 1024u * 1024u;  // the thread waits above this
    int maxRunning = 4;
    std::chrono::milliseconds yieldAfter{300};
  };
  using PieceFn = std::function<void(std::string piece)>;
  using DoneFn = std::function<void(SqlOutcome outcome)>;

  explicit SqlWorkers(Options options, QObject* parent = nullptr);
  ~SqlWorkers() override;

  // Runs `work` when a thread is free. The callbacks run on this object's
  // thread, never after cancel().
  std::shared_ptr<SqlJob> start(SqlWork work, PieceFn onPiece, DoneFn onDone);
  // The client's unsent output, and whether the server is over its memory
  // budget; the job goes on building its reply only below the bound.
  void setOutputState(SqlJob& job, std::size_t unsent, bool overBudget);
  void cancel(const std::shared_ptr<SqlJob>& job);
  int running() const { return static_cast<int>(running_.size()); }

 private:
  void launch(const std::shared_ptr<SqlJob>& job);
  // A worker thread: runs the jobs handed to it until the workers end.
  void serveJobs();
  // On the job's thread: runs its statement on a connection of its own.
  SqlOutcome run(const std::shared_ptr<SqlJob>& job, const Options& o);
  // On the job's thread: hands a piece of rows to the serving thread and
  // waits until the connection has room for more; false when cancelled.
  bool handOver(const std::shared_ptr<SqlJob>& job, std::string& rows, const Options& o);
  bool clientRunning(const std::string& client) const;
  void launchWaiting();
  // Joins the threads that ended; under readyMutex_.
  void joinRetired();
  void finished(const std::shared_ptr<SqlJob>& job);
  void watch();

  // A worker's connection with its gate, kept with the statements the gate
  // prepared on it.
  struct Connection;
  // A kept connection, or a new one; null with `error` when none opens.
  std::unique_ptr<Connection> takeConnection(const Options& o, std::string& error);
  void keepConnection(std::unique_ptr<Connection> connection);

  Options options_;
  std::mutex idleMutex_;
  std::vector<std::unique_ptr<Connection>> idle_;  // at most maxRunning
  std::deque<std::shared_ptr<SqlJob>> waiting_;
  std::deque<std::shared_ptr<SqlJob>> running_;
  QTimer watchdog_;

  // Jobs launched and not yet taken by a worker thread.
  std::mutex readyMutex_;
  std::condition_variable readyCv_;
  std::deque<std::shared_ptr<SqlJob>> ready_;
  bool ending_ = false;
  std::vector<std::thread> threads_;  // grows to maxRunning, with the retired not yet joined
  int liveThreads_ = 0;               // taking jobs
  std::vector<std::thread::id> retired_;  // ended, to be joined
};

}  // namespace davu::server
