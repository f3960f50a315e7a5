#include "ClientSocket.h"

#include <QAbstractSocket>
#include <QPointer>
#include <QTcpSocket>
#include <cerrno>
#include <netdb.h>

#include "WireText.h"

// Qt reports a connection's progress partly synchronously (inside
// connectToHost) and partly from the event loop. Callers rely on every event
// arriving after the call that caused it has returned, so all Qt signals are
// turned into queued events here. Each open() or close() starts a new
// generation; queued events of an older generation are dropped.
struct ClientSocket::Impl {
  QString host;
  QString address;
  int port = 0;
  QTcpSocket* sock = nullptr;
  bool opening = false;  // an attempt is under way (lookup or connect)
  bool active = false;   // from the connect event to the disconnect event
  quint64 generation = 0;
  std::string inbox;     // bytes taken off the Qt socket, not yet taken by the handler
  bool readPosted = false;
};

ClientSocket::ClientSocket(QObject* parent) : QObject(parent), d(new Impl) {}

ClientSocket::~ClientSocket() {
  if (d->sock) {
    d->sock->disconnect(this);
    d->sock->abort();
    delete d->sock;
  }
  delete d;
}

void ClientSocket::setHost(const QString& host) { d->host = host; }
QString ClientSocket::host() const { return d->host; }
void ClientSocket::setAddress(const QString& address) { d->address = address; }
QString ClientSocket::address() const { return d->address; }
void ClientSocket::setPort(int port) { d->port = port; }
int ClientSocket::port() const { return d->port; }
bool ClientSocket::active() const { return d->active; }

namespace {

// Lets a socket that still has bytes to write finish on its own, then go.
void Retire(QTcpSocket* s) {
  const auto state = s->state();
  if (state == QAbstractSocket::ConnectedState) {
    s->flush();
    QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    QObject::connect(s, &QTcpSocket::errorOccurred, s, &QObject::deleteLater);
    s->disconnectFromHost();
    if (s->state() == QAbstractSocket::UnconnectedState) s->deleteLater();
  } else {
    // Never close() a socket that is still looking up or connecting.
    s->abort();
    s->deleteLater();
  }
}

}  // namespace

void ClientSocket::open() {
  if (d->sock) {
    d->sock->disconnect(this);
    Retire(d->sock);
    d->sock = nullptr;
  }
  // Every per-attempt flag starts afresh: a read notice still queued for the
  // old attempt is dropped by its generation and must not leave this one deaf.
  d->active = false;
  d->opening = true;
  d->inbox.clear();
  d->readPosted = false;
  const quint64 gen = ++d->generation;

  auto* s = new QTcpSocket(this);
  d->sock = s;
  auto queued = [this, gen](auto fn) {
    QMetaObject::invokeMethod(
        this,
        [this, gen, fn] {
          if (gen == d->generation) fn();
        },
        Qt::QueuedConnection);
  };

  connect(s, &QTcpSocket::connected, this, [this, queued] {
    queued([this] {
      d->opening = false;
      d->active = true;
      emit connected();
    });
  });
  connect(s, &QTcpSocket::readyRead, this, [this, s, gen] {
    // Take the bytes now and return, so Qt announces later bytes even while a
    // handler of these ones waits in a nested event loop.
    const QByteArray bytes = s->readAll();
    if (gen != d->generation) return;
    d->inbox.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    if (d->readPosted) return;
    d->readPosted = true;
    QMetaObject::invokeMethod(
        this,
        [this, gen] {
          if (gen != d->generation) return;
          d->readPosted = false;
          if (!d->inbox.empty()) emit readReady();
        },
        Qt::QueuedConnection);
  });
  connect(s, &QTcpSocket::errorOccurred, this,
          [this, s, queued, gen](QAbstractSocket::SocketError err) {
            const int code = osErrorCode(err, s->errorString());
            queued([this, err, code, gen] {
              if (d->active) {
                // A closed or reset connection: Qt cannot tell the two apart,
                // and both end with disconnected(), reported below, so the
                // retry countdown reconnects.
                if (err == QAbstractSocket::RemoteHostClosedError) return;
                emit errorOccurred(code);
                return;
              }
              if (!d->opening) return;
              d->opening = false;
              if (d->sock) {
                d->sock->disconnect(this);
                Retire(d->sock);
                d->sock = nullptr;
              }
              emit errorOccurred(code);
              // A failed lookup also ends the attempt as a disconnect, unless
              // the error handler has started another attempt meanwhile (the
              // administrator saved new settings from its question).
              if (err == QAbstractSocket::HostNotFoundError && gen == d->generation) emit disconnected();
            });
          });
  connect(s, &QTcpSocket::disconnected, this, [this, queued] {
    queued([this] {
      if (!d->active) return;
      d->active = false;
      emit disconnected();
    });
  });

  // A number outside 1..65535 is not a port: port 0 fails, where a cut-off
  // number would reach some other service.
  const quint16 port = d->port >= 1 && d->port <= 65535 ? static_cast<quint16>(d->port) : 0;
  if (!d->host.isEmpty())
    s->connectToHost(d->host, port);
  else
    s->connectToHost(d->address, port);
}

void ClientSocket::close() {
  ++d->generation;  // drop whatever the old connection still has queued
  const bool wasOpen = d->active || d->opening;
  if (d->sock) {
    d->sock->disconnect(this);
    Retire(d->sock);
    d->sock = nullptr;
  }
  d->active = false;
  d->opening = false;
  d->readPosted = false;
  if (wasOpen) emit disconnected();
}

void ClientSocket::sendBytes(std::string_view bytes) {
  if (!d->sock || d->sock->state() != QAbstractSocket::ConnectedState) return;
  d->sock->write(bytes.data(), static_cast<qint64>(bytes.size()));
  // Hand the bytes to the system now: a caller may block the UI thread
  // (the pause after saving settings) before the event loop runs again.
  d->sock->flush();
}

void ClientSocket::sendText(const QString& text) { sendBytes(ToWire(text)); }

std::string ClientSocket::takeBytes() {
  std::string out;
  out.swap(d->inbox);
  return out;
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
