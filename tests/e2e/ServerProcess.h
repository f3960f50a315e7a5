#pragma once
// A davu-server child process on a free loopback port, stopped with the object.
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <csignal>
#include <sys/prctl.h>

#include "FakeServer.h"

class ServerProcess {
 public:
  // `dir` holds the database and the port file; `extra` are further options.
  ServerProcess(const QString& dir, const QStringList& extra) {
    const QString portFile = dir + "/port";
    proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A test that stops on a fatal failure or a timeout never runs the
    // destructor: the server goes with it rather than serving on for hours.
    proc_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    proc_.start(QStringLiteral(DAVU_SERVER_PROGRAM),
                QStringList{"--port", "0", "--db", dir + "/davu.sqlite", "--port-file", portFile} + extra);
    WaitUntil([&] { return QFile::exists(portFile) && QFileInfo(portFile).size() > 0; }, 20000);
    QFile f(portFile);
    if (f.open(QIODevice::ReadOnly)) port_ = QString::fromLatin1(f.readAll()).trimmed().toInt();
  }
  ~ServerProcess() {
    proc_.kill();
    proc_.waitForFinished(5000);
  }
  int port() const { return port_; }

 private:
  QProcess proc_;
  int port_ = 0;
};
