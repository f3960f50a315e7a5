#include "server/AllowList.h"

#include <QStringList>

namespace davu::server {

namespace {

// An IPv4 client of a dual-stack listener shows up as ::ffff:a.b.c.d.
QHostAddress Unmapped(const QHostAddress& a) {
  bool isV4 = false;
  const quint32 v4 = a.toIPv4Address(&isV4);
  return isV4 ? QHostAddress(v4) : a;
}

QString Text(const QPair<QHostAddress, int>& n) {
  return n.first.toString() + QLatin1Char('/') + QString::number(n.second);
}

}  // namespace

bool AllowList::add(const QString& cidr, QString* error) {
  const QString text = cidr.trimmed();
  const qsizetype slash = text.indexOf(QLatin1Char('/'));
  QHostAddress address(text.left(slash));
  const QString prefixText = slash < 0 ? QString() : text.mid(slash + 1);
  bool prefixOk = slash < 0;
  const int prefix = slash < 0 ? -1 : prefixText.toInt(&prefixOk);
  const int bits = address.protocol() == QAbstractSocket::IPv6Protocol ? 128 : 32;
  // "10.1" would be read as 10.0.0.1; only the four-part form is meant.
  const bool shortIPv4 = bits == 32 && text.left(slash).count(QLatin1Char('.')) != 3;
  if (address.isNull() || shortIPv4 || address.protocol() == QAbstractSocket::UnknownNetworkLayerProtocol ||
      !address.scopeId().isEmpty() || !prefixOk || (slash >= 0 && (prefix < 0 || prefix > bits))) {
    if (error)
      *error = QStringLiteral(
                   "invalid --allow \"%1\": give a network as ADDRESS/PREFIX, for example "
                   "192.168.1.0/24 or fd00::/64, or a single address")
                   .arg(cidr);
    return false;
  }
  QPair<QHostAddress, int> network{address, slash < 0 ? bits : prefix};
  // Host bits beyond the prefix are almost always a typing mistake.
  const QPair<QHostAddress, int> base = QHostAddress::parseSubnet(Text(network));
  if (base.first != address) {
    if (error)
      *error = QStringLiteral("invalid --allow \"%1\": the address has bits set beyond the prefix; "
                              "did you mean %2/%3?")
                   .arg(cidr, base.first.toString())
                   .arg(network.second);
    return false;
  }
  networks_.append(network);
  return true;
}

bool AllowList::allows(const QHostAddress& peer) const {
  if (networks_.isEmpty()) return true;
  const QHostAddress a = Unmapped(peer);
  for (const auto& n : networks_)
    if (a.isInSubnet(n)) return true;
  return false;
}

QString AllowList::describe() const {
  QStringList parts;
  for (const auto& n : networks_) parts << Text(n);
  return parts.join(QStringLiteral(", "));
}

}  // namespace davu::server
