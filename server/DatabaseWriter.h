#pragma once
// Makes the clients' changes to the register and the settings on a thread of
// its own, one at a time in the order they arrive, so that the thread that
// serves connections never waits for SQLite's write lock. Another connection
// may hold that lock (a confirmation, a backup, an sqlite3 shell): a change
// that cannot take it within lockWait of its arrival is not made, and its
// answer says so, rather than keeping its client waiting longer.
#include <QObject>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "server/RegisterChanges.h"

namespace davu::server {

class ChangeJob;

class DatabaseWriter : public QObject {
  Q_OBJECT

 public:
  struct Options {
    std::string databasePath;  // a file the server has opened (and made the schema in)
    std::chrono::milliseconds lockWait{1000};
  };
  // Empty when the change was made, else why not (UTF-8).
  using DoneFn = std::function<void(std::optional<std::string> refusal)>;

  explicit DatabaseWriter(Options options, QObject* parent = nullptr);
  // Makes the changes still waiting (each within its lock wait), then stops.
  ~DatabaseWriter() override;

  // `onDone` runs on this object's thread, never after cancel().
  std::shared_ptr<ChangeJob> start(ChangeWork work, DoneFn onDone);
  // The change is made all the same; only its answer is not delivered.
  void cancel(const std::shared_ptr<ChangeJob>& job);

 private:
  void run();

  Options options_;
  std::mutex m_;
  std::condition_variable cv_;
  std::deque<std::shared_ptr<ChangeJob>> queue_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace davu::server
