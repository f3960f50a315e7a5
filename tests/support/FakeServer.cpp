#include "FakeServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include "common/ClientSocket.h"

using namespace davu;

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QEventLoop loop;
    QTimer tick;
    tick.setSingleShot(true);
    QObject::connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);
    tick.start(5);
    loop.exec();
  }
  return true;
}

FakeServer::FakeServer(QObject* parent) : QObject(parent) {
  server_.listen(QHostAddress::LocalHost, 0);
  connect(&server_, &QTcpServer::newConnection, this, [this] {
    while (QTcpSocket* s = server_.nextPendingConnection()) {
      if (peer_) peer_->deleteLater();
      peer_ = s;
      received_.clear();
      connect(s, &QTcpSocket::readyRead, this, [this, s] {
        const QByteArray bytes = s->readAll();
        if (s != peer_) return;
        std::string chunk(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        received_ += chunk;
        if (onReceive) onReceive(chunk);
      });
      connect(s, &QTcpSocket::disconnected, this, [this, s] {
        if (s == peer_) peer_ = nullptr;
        s->deleteLater();
      });
      emit clientConnected();
    }
  });
}

FakeServer::~FakeServer() {
  if (peer_) peer_->abort();
}

quint16 FakeServer::port() const { return server_.serverPort(); }

bool FakeServer::waitForConnection(int timeoutMs) {
  return WaitUntil([this] { return peer_ != nullptr; }, timeoutMs);
}

bool FakeServer::waitForReceived(std::string_view needle, int timeoutMs) {
  return WaitUntil([&] { return received_.find(needle) != std::string::npos; }, timeoutMs);
}

int FakeServer::countReceived(std::string_view needle) const {
  if (needle.empty()) return 0;
  int n = 0;
  for (std::size_t pos = received_.find(needle); pos != std::string::npos;
       pos = received_.find(needle, pos + needle.size()))
    ++n;
  return n;
}

void FakeServer::send(std::string_view bytes) {
  if (!peer_) return;
  peer_->write(bytes.data(), static_cast<qint64>(bytes.size()));
  peer_->flush();
  peer_->waitForBytesWritten(1000);
}

void FakeServer::dropConnection() {
  if (peer_) peer_->disconnectFromHost();
}

void FakeServer::stopListening() { server_.close(); }

bool FakeServer::connectClient(ClientSocket& socket) {
  socket.setHost(QString());
  socket.setAddress(QStringLiteral("127.0.0.1"));
  socket.setPort(port());
  socket.open();
  return WaitUntil([&] { return socket.active() && hasConnection(); });
}

std::string FakeServer::takeSent(ClientSocket& socket) {
  static const std::string marker = "#SYNC#";
  socket.sendBytes(marker);
  if (!waitForReceived(marker)) return "<no sync>";
  std::string all = received_;
  received_.clear();
  all.erase(all.rfind(marker));
  return all;
}
