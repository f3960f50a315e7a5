#include "server/DatabaseWriter.h"

#include <algorithm>

namespace davu::server {

class ChangeJob {
 public:
  ChangeWork work;
  DatabaseWriter::DoneFn onDone;
  std::chrono::steady_clock::time_point arrived;
  bool cancelled = false;  // the serving thread's only
};

namespace {

// SQLite's busy handler: waits in small steps for the lock until the change's
// deadline, then gives up (SQLITE_BUSY).
int WaitUntil(void* deadline, int tries) {
  using namespace std::chrono;
  const auto left = *static_cast<const steady_clock::time_point*>(deadline) - steady_clock::now();
  if (left <= steady_clock::duration::zero()) return 0;
  const steady_clock::duration step = tries < 10 ? milliseconds(1) : milliseconds(5);
  std::this_thread::sleep_for(std::min(left, step));
  return 1;
}

}  // namespace

DatabaseWriter::DatabaseWriter(Options options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {
  thread_ = std::thread([this] { run(); });
}

DatabaseWriter::~DatabaseWriter() {
  {
    std::lock_guard lock(m_);
    stopping_ = true;
  }
  cv_.notify_all();
  thread_.join();
}

std::shared_ptr<ChangeJob> DatabaseWriter::start(ChangeWork work, DoneFn onDone) {
  auto job = std::make_shared<ChangeJob>();
  job->work = std::move(work);
  job->onDone = std::move(onDone);
  job->arrived = std::chrono::steady_clock::now();
  {
    std::lock_guard lock(m_);
    queue_.push_back(job);
  }
  cv_.notify_one();
  return job;
}

void DatabaseWriter::cancel(const std::shared_ptr<ChangeJob>& job) {
  if (job) job->cancelled = true;
}

void DatabaseWriter::run() {
  std::unique_ptr<Database> db;
  std::unique_ptr<RegisterChanges> changes;
  std::chrono::steady_clock::time_point deadline;
  for (;;) {
    std::shared_ptr<ChangeJob> job;
    {
      std::unique_lock lock(m_);
      cv_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;
      job = std::move(queue_.front());
      queue_.pop_front();
    }
    std::optional<std::string> refusal;
    if (!db) {
      // Opened like the server's own connection, without writing: the lock
      // may be held by another already.
      std::string error;
      db = Database::open(options_.databasePath, &error, false);
      if (db) {
        sqlite3_busy_handler(db->handle(), WaitUntil, &deadline);
        changes = std::make_unique<RegisterChanges>(*db);
      } else {
        refusal = "ändringen sparades inte: databasen kan inte öppnas på servern: " + error + ".";
      }
    }
    if (changes) {
      deadline = job->arrived + options_.lockWait;
      refusal = changes->apply(job->work.tag, job->work.sep, job->work.body);
    }
    QMetaObject::invokeMethod(
        this, [job, refusal = std::move(refusal)]() mutable {
          if (!job->cancelled) job->onDone(std::move(refusal));
        },
        Qt::QueuedConnection);
  }
}

}  // namespace davu::server
