#pragma once
// The networks whose machines may connect. The protocol has no log-in, so a
// machine that reaches the port can read the call log and change the
// register; an empty list lets every machine that reaches the port in.
#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>

namespace davu::server {

class AllowList {
 public:
  // Adds "ADDRESS/PREFIX" (IPv4 or IPv6) or a single address. False with a
  // message saying what is wrong when the text is not such a network.
  bool add(const QString& cidr, QString* error);
  bool isEmpty() const { return networks_.isEmpty(); }
  bool allows(const QHostAddress& peer) const;
  // "192.168.1.0/24, fd00::/8", for the log.
  QString describe() const;

 private:
  QList<QPair<QHostAddress, int>> networks_;
};

}  // namespace davu::server
