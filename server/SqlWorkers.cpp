#include "protocol/SqlRows.h"
#include "server/SqlWorkers.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace davu::server {

// What the serving thread and a job's thread share.
class SqlJob {
 public:
  SqlWork work;
  SqlWorkers::PieceFn onPiece;
  SqlWorkers::DoneFn onDone;
  std::atomic<bool> cancelled{false};

  std::mutex m;
  std::condition_variable cv;
  sqlite3* db = nullptr;       // while the job's connection is open
  bool waiting = false;        // in the piece sink, not running SQL
  std::size_t inFlight = 0;    // pieces posted, not yet queued by the serving thread
  std::size_t unsent = 0;      // the client's unsent output
  bool overBudget = false;
  // The latest time the statement may still be running (steady clock); the
  // time spent waiting for the client is added to it.
  std::chrono::steady_clock::time_point deadline;
};

struct SqlWorkers::Connection {
  explicit Connection(std::unique_ptr<Database> opened) : database(std::move(opened)), gate(database->handle()) {}
  std::unique_ptr<Database> database;
  SqlGate gate;  // before the database is closed, the gate finalizes its statements
};

namespace {
// A statement past its limit is interrupted after this much more.
constexpr auto kWatchdogGrace = std::chrono::milliseconds(1500);
}  // namespace

SqlWorkers::SqlWorkers(Options options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {
  watchdog_.setInterval(500);
  connect(&watchdog_, &QTimer::timeout, this, &SqlWorkers::watch);
}

SqlWorkers::~SqlWorkers() {
  waiting_.clear();
  for (auto& job : running_) {
    job->cancelled = true;
    {
      std::lock_guard lock(job->m);
      if (job->db) sqlite3_interrupt(job->db);
    }
    job->cv.notify_all();
  }
  {
    std::lock_guard lock(readyMutex_);
    ending_ = true;
    ready_.clear();
  }
  readyCv_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void SqlWorkers::serveJobs() {
  for (;;) {
    std::shared_ptr<SqlJob> job;
    {
      std::unique_lock lock(readyMutex_);
      readyCv_.wait(lock, [this] { return ending_ || !ready_.empty(); });
      if (ending_) return;
      job = std::move(ready_.front());
      ready_.pop_front();
    }
    SqlOutcome outcome = run(job, options_);
    const bool retire = outcome.lowered;
    if (retire) {
      // Before the outcome is posted: a job launched when this one is done
      // must find the thread gone and start another.
      std::lock_guard lock(readyMutex_);
      --liveThreads_;
      retired_.push_back(std::this_thread::get_id());
    }
    QMetaObject::invokeMethod(
        this,
        [this, job, outcome = std::move(outcome)]() mutable {
          finished(job);
          if (!job->cancelled) job->onDone(std::move(outcome));
        },
        Qt::QueuedConnection);
    if (retire) return;
  }
}

std::shared_ptr<SqlJob> SqlWorkers::start(SqlWork work, PieceFn onPiece, DoneFn onDone) {
  auto job = std::make_shared<SqlJob>();
  job->work = std::move(work);
  job->onPiece = std::move(onPiece);
  job->onDone = std::move(onDone);
  waiting_.push_back(job);
  launchWaiting();
  return job;
}

void SqlWorkers::joinRetired() {
  for (const std::thread::id id : retired_) {
    auto it = std::find_if(threads_.begin(), threads_.end(), [&](const std::thread& t) { return t.get_id() == id; });
    if (it == threads_.end()) continue;
    it->join();  // it has left its loop: this waits for no job
    threads_.erase(it);
  }
  retired_.clear();
}

bool SqlWorkers::clientRunning(const std::string& client) const {
  return std::any_of(running_.begin(), running_.end(),
                     [&](const auto& job) { return job->work.client == client; });
}

// The first waiting job of a client with none running, while a thread is free.
void SqlWorkers::launchWaiting() {
  for (auto it = waiting_.begin();
       it != waiting_.end() && static_cast<int>(running_.size()) < options_.maxRunning;) {
    if (clientRunning((*it)->work.client)) {
      ++it;
      continue;
    }
    auto next = *it;
    it = waiting_.erase(it);
    launch(next);
  }
}

void SqlWorkers::setOutputState(SqlJob& job, std::size_t unsent, bool overBudget) {
  {
    std::lock_guard lock(job.m);
    job.unsent = unsent;
    job.overBudget = overBudget;
  }
  job.cv.notify_all();
}

void SqlWorkers::cancel(const std::shared_ptr<SqlJob>& job) {
  if (!job) return;
  job->cancelled = true;
  job->cv.notify_all();
  auto queued = std::find(waiting_.begin(), waiting_.end(), job);
  if (queued != waiting_.end()) waiting_.erase(queued);
}

void SqlWorkers::launch(const std::shared_ptr<SqlJob>& job) {
  running_.push_back(job);
  if (!watchdog_.isActive()) watchdog_.start();
  job->deadline = std::chrono::steady_clock::now() +
                  (job->work.exec ? std::min(options_.timeLimit, SqlGate::kConfirmLimit)
                                  : options_.timeLimit);
  {
    std::lock_guard lock(readyMutex_);
    ready_.push_back(job);
    // One thread per job running at once, kept for the next ones.
    joinRetired();
    if (liveThreads_ < static_cast<int>(running_.size())) {
      threads_.emplace_back([this] { serveJobs(); });
      ++liveThreads_;
    }
  }
  readyCv_.notify_one();
}

SqlOutcome SqlWorkers::run(const std::shared_ptr<SqlJob>& job, const Options& o) {
  SqlOutcome outcome;
  // Opened like the server's own connection: the same safety settings and
  // the same durability for a confirmation. Nothing is written on opening,
  // so a report does not wait for another connection's write lock.
  std::string error;
  std::unique_ptr<Connection> connection = takeConnection(o, error);
  if (!connection) {
    outcome.error = "Servern nekade SQL-satsen: databasen kan inte öppnas: " + error;
    return outcome;
  }
  sqlite3* db = connection->database->handle();
  sqlite3_busy_timeout(db, 2000);
  {
    std::lock_guard lock(job->m);
    job->db = db;
  }
  SqlGate& gate = connection->gate;
  gate.setTimeLimit(o.timeLimit);
  gate.setReplyLimit(o.replyLimit);
  gate.setCancelFlag(&job->cancelled);
  gate.setYieldAfter(o.yieldAfter);
  gate.setPieceSink(o.pieceBytes, [this, job, &o](std::string& rows) { return handOver(job, rows, o); });
  outcome = job->work.exec ? gate.execSql(job->work.sqlUtf8)
                           : gate.openSql(job->work.sqlUtf8, davu::proto::RetSqlHead());
  {
    std::lock_guard lock(job->m);
    job->db = nullptr;
  }
  // The kept gate holds nothing of the job.
  gate.setCancelFlag(nullptr);
  gate.setPieceSink(0, {});
  keepConnection(std::move(connection));
  return outcome;
}

std::unique_ptr<SqlWorkers::Connection> SqlWorkers::takeConnection(const Options& o, std::string& error) {
  {
    std::lock_guard lock(idleMutex_);
    if (!idle_.empty()) {
      std::unique_ptr<Connection> kept = std::move(idle_.back());
      idle_.pop_back();
      return kept;
    }
  }
  std::unique_ptr<Database> opened = Database::open(o.databasePath, &error, false);
  return opened ? std::make_unique<Connection>(std::move(opened)) : nullptr;
}

void SqlWorkers::keepConnection(std::unique_ptr<Connection> connection) {
  std::lock_guard lock(idleMutex_);
  if (idle_.size() < static_cast<std::size_t>(std::max(options_.maxRunning, 1)))
    idle_.push_back(std::move(connection));
}

bool SqlWorkers::handOver(const std::shared_ptr<SqlJob>& job, std::string& rows, const Options& o) {
  std::unique_lock lock(job->m);
  const auto since = std::chrono::steady_clock::now();
  job->inFlight += rows.size();
  job->waiting = true;
  QMetaObject::invokeMethod(
      this,
      [job, size = rows.size(), piece = std::move(rows)]() mutable {
        {
          std::lock_guard inner(job->m);
          job->inFlight -= size;
        }
        if (!job->cancelled) job->onPiece(std::move(piece));
      },
      Qt::QueuedConnection);
  rows = std::string();
  job->cv.wait(lock, [&] {
    return job->cancelled.load() || (job->inFlight + job->unsent <= o.heldOutput && !job->overBudget);
  });
  job->waiting = false;
  job->deadline += std::chrono::steady_clock::now() - since;
  return !job->cancelled.load();
}

void SqlWorkers::finished(const std::shared_ptr<SqlJob>& job) {
  running_.erase(std::remove(running_.begin(), running_.end(), job), running_.end());
  launchWaiting();
  if (running_.empty()) watchdog_.stop();
}

void SqlWorkers::watch() {
  const auto now = std::chrono::steady_clock::now();
  for (auto& job : running_) {
    std::lock_guard lock(job->m);
    if (job->db && !job->waiting && (job->cancelled || now > job->deadline + kWatchdogGrace))
      sqlite3_interrupt(job->db);
  }
}

}  // namespace davu::server
