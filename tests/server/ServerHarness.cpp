#include "ServerHarness.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <algorithm>

ServerHarness::ServerHarness(davu::server::ServerOptions options) {
  options.port = 0;
  options.quiet = true;
  if (options.databasePath.isEmpty()) options.databasePath = dir_.filePath(QStringLiteral("t.db"));
  server_ = std::make_unique<davu::server::DavuServer>(options);
  QString error;
  if (!server_->start(&error)) qFatal("server did not start: %s", qPrintable(error));
}

std::string ServerHarness::query(const char* sql) {
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db().handle(), sql, -1, &s, nullptr) != SQLITE_OK) return "SQL ERROR";
  std::string out;
  const int cols = sqlite3_column_count(s);
  bool first = true;
  while (sqlite3_step(s) == SQLITE_ROW) {
    if (!first) out += ';';
    first = false;
    for (int c = 0; c < cols; ++c) {
      if (c > 0) out += '|';
      const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, c));
      out += t ? t : "NULL";
    }
  }
  sqlite3_finalize(s);
  return out;
}

long ResidentKiB() {
  QFile f(QStringLiteral("/proc/self/status"));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
  return 0;
}

namespace {
// Runs the event loop (and with it the in-process server) until the socket
// has something new to say or the time is up.
void WaitForActivity(QTcpSocket& socket, int ms) {
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  QObject::connect(&socket, &QTcpSocket::readyRead, &loop, &QEventLoop::quit);
  QObject::connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  timer.start(std::max(ms, 1));
  loop.exec();
}
}  // namespace

WireClient::WireClient(quint16 port, const QHostAddress& from) {
  if (!from.isNull()) socket_.bind(from);
  socket_.connectToHost(QHostAddress::LocalHost, port);
  socket_.waitForConnected(5000);
}

bool WireClient::connected() const { return socket_.state() == QAbstractSocket::ConnectedState; }

void WireClient::send(std::string_view bytes) {
  socket_.write(bytes.data(), static_cast<qint64>(bytes.size()));
  socket_.flush();
}

std::string WireClient::waitFor(std::string_view marker, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (buffer_.find(marker) == std::string::npos && !deadline.hasExpired()) {
    if (socket_.bytesAvailable() == 0 && socket_.state() != QAbstractSocket::ConnectedState) break;
    if (socket_.bytesAvailable() == 0)
      WaitForActivity(socket_, static_cast<int>(deadline.remainingTime()));
    QByteArray d = socket_.readAll();
    buffer_.append(d.constData(), static_cast<std::size_t>(d.size()));
  }
  std::size_t at = buffer_.find(marker);
  if (at == std::string::npos) return {};
  std::string out = buffer_.substr(0, at + marker.size());
  buffer_.erase(0, at + marker.size());
  return out;
}

std::string WireClient::exchange(std::string_view request, std::string_view marker) {
  send(request);
  return waitFor(marker);
}

std::string WireClient::change(std::string_view request) {
  send(request);
  std::string got = exchange("\xA4GETSERVERVERSION:barrier:9:GETSERVERVERSION\xA4", ":RETSERVERVERSION\xA4");
  std::size_t at = got.find("\xA4RETSERVERVERSION:");
  return at == std::string::npos ? got : got.substr(0, at);
}

bool WireClient::waitForClose(int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (socket_.state() != QAbstractSocket::UnconnectedState && !deadline.hasExpired()) {
    WaitForActivity(socket_, static_cast<int>(deadline.remainingTime()));
    QByteArray d = socket_.readAll();  // kept for waitFor()
    buffer_.append(d.constData(), static_cast<std::size_t>(d.size()));
  }
  return socket_.state() == QAbstractSocket::UnconnectedState;
}
