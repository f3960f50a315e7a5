#pragma once
// A hostile mix of clients against a running davu-server on loopback; prints
// the server's peak resident memory against `idleKiB` and whether it still
// answers afterwards.
#include <QByteArray>
#include <QtGlobal>

#include <string>

class QTcpSocket;

void HostileMix(quint16 port, qint64 serverPid, long idleKiB);

// Sends `request` and reads until `end` or an "ERROR" reply; what came, or
// nothing when neither came within `ms`.
QByteArray ExchangeReply(QTcpSocket& s, const std::string& request, const char* end, int ms);
