#include "common/ClientSocket.h"

#include <QAbstractSocket>
#include <algorithm>
#include <QTcpSocket>
#include <cerrno>
#include <netdb.h>

#include "common/WireText.h"

// The states of one ClientSocket and the events that move it:
//
//            open()                    Qt: connected
//   Idle ───────────────► Opening ───────────────────► Active
//    ▲                      │                            │
//    │  Qt: error           │                            │ Qt: disconnected
//    │  errorOccurred       │                            │ (peer closed or reset)
//    │  (+ disconnected     │                            │ disconnected
//    │   after a lookup)    │                            │
//    └──────────────────────┴────────────────────────────┘
//
//   close() in Opening or Active: disconnected before close() returns, Idle.
//   open() in any state: the old Qt socket is let go silently, Opening.
//   An error in Active is reported and the state stays: the disconnect that
//   ends a closed or reset connection comes from Qt's disconnected.
//
// Qt reports a connection's progress partly synchronously (inside
// connectToHost) and partly from the event loop. Callers rely on every event
// arriving after the call that caused it has returned, so all Qt signals are
// turned into queued events here. Each open() or close() starts a new
// generation; queued events of an older generation are dropped.

namespace davu {

namespace {
// Every socket of the program, for the modal message scope.
std::vector<ClientSocket*>& allSockets() {
  static std::vector<ClientSocket*> sockets;
  return sockets;
}
}  // namespace

ClientSocket::ClientSocket(QObject* parent) : QObject(parent) { allSockets().push_back(this); }

ClientSocket::~ClientSocket() {
  std::erase(allSockets(), this);
  if (socket_) {
    socket_->disconnect(this);
    socket_->abort();
    delete socket_;
  }
}

void ClientSocket::setHost(const QString& host) { host_ = host; }
QString ClientSocket::host() const { return host_; }
void ClientSocket::setAddress(const QString& address) { address_ = address; }
QString ClientSocket::address() const { return address_; }
void ClientSocket::setPort(int port) { port_ = port; }
int ClientSocket::port() const { return port_; }
bool ClientSocket::active() const { return state_ == State::Active; }

void ClientSocket::retireSocket() {
  if (!socket_) return;
  QTcpSocket* s = socket_;
  socket_ = nullptr;
  s->disconnect(this);
  // A connected socket that still has bytes to write finishes on its own.
  if (s->state() == QAbstractSocket::ConnectedState) {
    s->flush();
    connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    connect(s, &QTcpSocket::errorOccurred, s, &QObject::deleteLater);
    s->disconnectFromHost();
    if (s->state() == QAbstractSocket::UnconnectedState) s->deleteLater();
  } else {
    // Never close() a socket that is still looking up or connecting.
    s->abort();
    s->deleteLater();
  }
}

template <typename Event>
void ClientSocket::queue(Event event) {
  QMetaObject::invokeMethod(
      this,
      [this, attempt = generation_, event] {
        if (attempt == generation_) event();
      },
      Qt::QueuedConnection);
}

void ClientSocket::open() {
  retireSocket();
  // Every per-attempt value starts afresh: a read event still queued for the
  // old attempt is dropped by its generation and must not leave this one deaf.
  state_ = State::Opening;
  readPosted_ = false;
  ++generation_;

  socket_ = new QTcpSocket(this);
  socket_->setReadBufferSize(kHeldReadLimit);
  connect(socket_, &QTcpSocket::connected, this, &ClientSocket::socketConnected);
  connect(socket_, &QTcpSocket::readyRead, this, &ClientSocket::socketReadyRead);
  connect(socket_, &QTcpSocket::errorOccurred, this, &ClientSocket::socketError);
  connect(socket_, &QTcpSocket::disconnected, this, &ClientSocket::socketDisconnected);

  // A number outside 1..65535 is not a port: port 0 fails, where a cut-off
  // number would reach some other service.
  const quint16 port = port_ >= 1 && port_ <= 65535 ? static_cast<quint16>(port_) : 0;
  socket_->connectToHost(host_.isEmpty() ? address_ : host_, port);
}

void ClientSocket::close() {
  ++generation_;  // drop whatever the old connection still has queued
  const bool wasOpen = state_ != State::Idle;
  retireSocket();
  state_ = State::Idle;
  readPosted_ = false;
  disconnectHeld_ = false;
  if (wasOpen) emit disconnected();
}

void ClientSocket::socketConnected() {
  queue([this] { connectEvent(); });
}

void ClientSocket::socketReadyRead() {
  // The bytes stay in the Qt socket's buffer until the handler moves them
  // into its own; the notice goes out from the event loop, so Qt announces
  // later bytes even while a handler of these ones waits in a nested loop.
  if (holds_ > 0) return;  // announced when the message closes
  if (readPosted_) return;
  readPosted_ = true;
  queue([this] { readEvent(); });
}

void ClientSocket::socketError(QAbstractSocket::SocketError error) {
  const int code = osErrorCode(error, socket_->errorString());
  queue([this, error, code, attempt = generation_] { errorEvent(error, code, attempt); });
}

void ClientSocket::socketDisconnected() {
  queue([this] { disconnectEvent(); });
}

void ClientSocket::connectEvent() {
  state_ = State::Active;
  emit connected();
}

void ClientSocket::readEvent() {
  readPosted_ = false;
  if (holds_ > 0 || bytesWaiting() == 0) return;
  const QPointer<ClientSocket> self(this);
  ++handlerDepth_;
  emit readReady();
  if (self) --handlerDepth_;
}

void ClientSocket::hold() { ++holds_; }

void ClientSocket::release() {
  if (--holds_ > 0) return;
  if (bytesWaiting() > 0 && !readPosted_) {
    readPosted_ = true;
    queue([this] { readEvent(); });
  }
  if (disconnectHeld_) {
    disconnectHeld_ = false;
    queue([this] { disconnectEvent(); });
  }
}

ClientSocket::ModalMessageScope::ModalMessageScope() {
  for (ClientSocket* s : allSockets()) {
    if (s->handlerDepth_ == 0) continue;
    s->hold();
    held_.emplace_back(s);
  }
}

ClientSocket::ModalMessageScope::~ModalMessageScope() {
  for (const QPointer<ClientSocket>& s : held_)
    if (s) s->release();
}

void ClientSocket::errorEvent(QAbstractSocket::SocketError error, int code, quint64 attempt) {
  switch (state_) {
    case State::Active:
      // A closed or reset connection: Qt cannot tell the two apart, and both
      // end with the disconnect event, so the retry countdown reconnects.
      if (error != QAbstractSocket::RemoteHostClosedError) emit errorOccurred(code);
      return;
    case State::Idle:
      return;
    case State::Opening:
      break;
  }
  state_ = State::Idle;
  retireSocket();
  emit errorOccurred(code);
  // A failed lookup also ends the attempt as a disconnect, unless the error
  // handler has started another attempt meanwhile (the administrator saved
  // new settings from its question).
  if (error == QAbstractSocket::HostNotFoundError && attempt == generation_) emit disconnected();
}

void ClientSocket::disconnectEvent() {
  if (state_ != State::Active) return;
  if (holds_ > 0) {
    disconnectHeld_ = true;
    return;
  }
  state_ = State::Idle;
  emit disconnected();
}

void ClientSocket::sendBytes(std::string_view bytes) {
  if (!socket_ || socket_->state() != QAbstractSocket::ConnectedState) return;
  socket_->write(bytes.data(), static_cast<qint64>(bytes.size()));
  // Hand the bytes to the system now: a caller may block the UI thread
  // (the pause after saving settings) before the event loop runs again.
  socket_->flush();
}

void ClientSocket::sendText(const QString& text) { sendBytes(ToWire(text)); }

std::string ClientSocket::takeBytes() {
  std::string out(bytesWaiting(), '\0');
  out.resize(readInto(out.data(), out.size()));
  return out;
}

std::size_t ClientSocket::readInto(char* to, std::size_t most) {
  if (!socket_ || most == 0) return 0;
  const qint64 n = socket_->read(to, static_cast<qint64>(most));
  return n > 0 ? static_cast<std::size_t>(n) : 0;
}

std::size_t ClientSocket::bytesWaiting() const {
  return socket_ ? static_cast<std::size_t>(std::max<qint64>(socket_->bytesAvailable(), 0)) : 0;
}

int ClientSocket::osErrorCode(int qtSocketError, const QString& qtErrorText) {
  switch (static_cast<QAbstractSocket::SocketError>(qtSocketError)) {
    case QAbstractSocket::ConnectionRefusedError:
      return ECONNREFUSED;  // 111
    case QAbstractSocket::RemoteHostClosedError:
      return ECONNRESET;  // 104
    case QAbstractSocket::HostNotFoundError:
      return HOST_NOT_FOUND;  // 1, <netdb.h>: "The specified host is unknown"
    case QAbstractSocket::SocketAccessError:
      return EACCES;  // 13
    case QAbstractSocket::SocketResourceError:
      return EMFILE;  // 24
    case QAbstractSocket::SocketTimeoutError:
      return ETIMEDOUT;  // 110
    case QAbstractSocket::AddressInUseError:
      return EADDRINUSE;  // 98
    case QAbstractSocket::SocketAddressNotAvailableError:
      return EADDRNOTAVAIL;  // 99
    case QAbstractSocket::UnsupportedSocketOperationError:
      return EAFNOSUPPORT;  // 97
    case QAbstractSocket::NetworkError:
      if (qtErrorText.contains(QLatin1String("timed out"), Qt::CaseInsensitive)) return ETIMEDOUT;
      if (qtErrorText.contains(QLatin1String("Network unreachable"), Qt::CaseInsensitive))
        return ENETUNREACH;  // 101
      return EHOSTUNREACH;   // 113
    default:
      return EIO;  // 5
  }
}

}  // namespace davu
