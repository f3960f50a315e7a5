// Version requests while four other clients take SQLite's write lock without
// pause and one more saves a setting: the version request, which touches no
// database, must not wait for the lock. The four either confirm calls through
// the server (each confirmation takes the lock for milliseconds) or, given a
// hold time, open write transactions on the database file and keep each open
// that long (as a backup or an sqlite3 shell beside the server may). Prints
// the version requests' median, 90th percentile and longest time, the 90th
// percentile against 50 ms, and how the saves were answered.
//   bench_server_writelock [version requests, one each 10 ms] [hold ms, 0: confirm]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "protocol/Catalogue.h"
#include "server/ServerDatabase.h"

using namespace davu::server;

namespace {

int Connect(quint16 port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) qFatal("no connection");
  return fd;
}

// Sends and reads until `end`; false when the server closed.
bool Exchange(int fd, const std::string& request, const std::string& end, std::string* reply = nullptr) {
  if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) return false;
  std::string local;
  std::string& got = reply ? *reply : local;
  got.clear();
  char buf[4096];
  while (got.find(end) == std::string::npos) {
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return false;
    got.append(buf, static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int requests = argc > 1 ? std::atoi(argv[1]) : 300;
  const int holdMs = argc > 2 ? std::atoi(argv[2]) : 0;
  QTemporaryDir dir;
  const QString db = dir.filePath("bench.db");
  {
    std::string error;
    auto d = Database::open(db.toStdString(), &error);
    if (!d) qFatal("%s", error.c_str());
    d->exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000)"
            " INSERT INTO CALLLOG (STATIONSLOPNR, CALLABLESLOPNR, CALLTSTAMP) SELECT 1, 1, '2024-05-03 09:00:00' FROM n");
  }
  QProcess server;
  server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  const QString portFile = dir.filePath("port");
  server.start(DAVU_SERVER_EXE, {"--port", "0", "--db", db, "--port-file", portFile});
  QElapsedTimer wait;
  wait.start();
  QFile pf(portFile);
  while (!pf.exists() && wait.elapsed() < 20000) QThread::msleep(20);
  if (!pf.open(QIODevice::ReadOnly)) qFatal("davu-server did not start");
  const quint16 port = static_cast<quint16>(pf.readAll().trimmed().toUInt());
  const std::string version = davu::proto::GetServerVersion("BENCH", 2);
  const std::string versionEnd = ":RETSERVERVERSION\xA4";

  std::atomic<bool> stop{false};
  std::atomic<long> confirmations{0};
  std::atomic<long> holds{0};
  std::vector<std::thread> confirmers;
  for (int t = 0; t < 4 && holdMs > 0; ++t)
    confirmers.emplace_back([&, t] {
      sqlite3* h = nullptr;
      sqlite3_open(db.toUtf8().constData(), &h);
      sqlite3_busy_timeout(h, 60000);
      const std::string change = "UPDATE CALLLOG SET SMSSENT = 1 - SMSSENT WHERE LOPNR = " + std::to_string(t + 1);
      while (!stop) {
        if (sqlite3_exec(h, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) continue;
        sqlite3_exec(h, change.c_str(), nullptr, nullptr, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
        sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
        ++holds;
      }
      sqlite3_close(h);
    });
  for (int t = 0; t < 4 && holdMs == 0; ++t)
    confirmers.emplace_back([&, t] {
      int fd = Connect(port);
      std::mt19937 rng(static_cast<unsigned>(t));
      while (!stop) {
        std::string sql = "UPDATE CALLLOG SET CONFIRMTSTAMP = #2024-05-03 10:22:33# WHERE  (";
        for (int i = 0; i < 200; ++i) sql += " LOPNR = " + std::to_string(rng() % 20000 + 1) + " OR ";
        sql.resize(sql.size() - 3);
        sql += ')';
        if (!Exchange(fd, davu::proto::ExecSql("BENCH", sql) + version, versionEnd)) break;
        ++confirmations;
      }
      ::close(fd);
    });

  int fd = Connect(port);
  std::vector<double> ms;
  // A settings save beside them, on the thread that serves every connection.
  std::atomic<long> saves{0}, refused{0};
  confirmers.emplace_back([&] {
    int sfd = Connect(port);
    std::string reply;
    for (long i = 0; !stop; ++i) {
      if (!Exchange(sfd, davu::proto::SetIniTextGlobal("BENCH", "Key", std::to_string(i)) + version, versionEnd, &reply))
        break;
      ++saves;
      if (reply.starts_with("ERROR:")) ++refused;
    }
    ::close(sfd);
  });
  QElapsedTimer span;
  span.start();
  for (int i = 0; i < requests; ++i) {
    QThread::msleep(10);
    QElapsedTimer t;
    t.start();
    if (!Exchange(fd, version, versionEnd)) qFatal("the server closed the connection");
    ms.push_back(t.nsecsElapsed() / 1e6);
  }
  stop = true;
  for (auto& c : confirmers) c.join();
  ::close(fd);
  server.terminate();
  server.waitForFinished(5000);
  std::sort(ms.begin(), ms.end());
  const double p90 = ms[ms.size() * 9 / 10];
  if (holdMs > 0)
    std::printf("%d version requests over %.1f s beside 4 clients holding the write lock %d ms at a time and one "
                "saving a setting, without pause (%ld holds, %ld saves, %ld of them refused)\n",
                requests, span.elapsed() / 1000.0, holdMs, holds.load(), saves.load(), refused.load());
  else
    std::printf("%d version requests over %.1f s beside 4 clients confirming 200 calls each and one saving a "
                "setting, without pause (%ld confirmations, %ld saves, %ld of them refused)\n",
                requests, span.elapsed() / 1000.0, confirmations.load(), saves.load(), refused.load());
  std::printf("median %.2f ms, p90 %.2f ms, longest %.2f ms; p90 / 50 ms = %.3f\n", ms[ms.size() / 2], p90,
              ms.back(), p90 / 50.0);
  return 0;
}
