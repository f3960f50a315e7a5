#pragma once
// A hostile mix of clients against a running davu-server on loopback; prints
// the server's peak resident memory against `idleKiB` and whether it still
// answers afterwards.
#include <QtGlobal>

void HostileMix(quint16 port, qint64 serverPid, long idleKiB);
