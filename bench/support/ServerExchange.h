#pragma once
// One request and its whole reply on a plain socket to a server, timed: for
// the benches that measure what a request costs davu-server.
#include <QByteArray>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QtGlobal>
#include <string>

namespace davu::bench {

struct Exchanged {
  double ms = 0;     // from sending to the reply's last byte
  QByteArray reply;  // ends with `end`
};

// Sends `request` and reads until the reply ends with `end`.
inline Exchanged ExchangeTimed(QTcpSocket& socket, const std::string& request, const char* end) {
  QElapsedTimer t;
  t.start();
  socket.write(request.data(), static_cast<qint64>(request.size()));
  QByteArray reply;
  while (!reply.endsWith(end)) {
    if (!socket.waitForReadyRead(60000)) qFatal("no reply");
    reply += socket.readAll();
  }
  return {t.nsecsElapsed() / 1e6, reply};
}

}  // namespace davu::bench
