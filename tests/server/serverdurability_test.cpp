// A change is on disk once the server has answered what came after it: a
// davu-server child process killed with SIGKILL right then loses nothing.
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include "ServerHarness.h"
#include "protocol/Catalogue.h"

using namespace davu::proto;

class tst_ServerDurability : public QObject {
  Q_OBJECT

 private slots:
  void changesSurviveKill();
  void writesAreSynchronousInWal();

 private:
  // Starts the real program on a free port; returns the port, 0 on failure.
  quint16 startServer(QProcess& p, const QString& db);
  QTemporaryDir dir_;
};

quint16 tst_ServerDurability::startServer(QProcess& p, const QString& db) {
  const QString portFile = dir_.filePath(QStringLiteral("port"));
  QFile::remove(portFile);
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(QStringLiteral(DAVU_SERVER_EXE),
          {"--port", "0", "--db", db, "--port-file", portFile, "--clinic", "Testkliniken"});
  if (!p.waitForStarted(5000)) return 0;
  // The server logs "listening on" once the port file is written.
  QByteArray log;
  QDeadlineTimer deadline(10000);
  for (log = p.readAll(); !log.contains("listening on") && !deadline.hasExpired() &&
                          p.state() == QProcess::Running;
       log += p.readAll())
    p.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
  QFile f(portFile);
  if (!f.open(QIODevice::ReadOnly)) return 0;
  return static_cast<quint16>(f.readAll().trimmed().toUInt());
}

void tst_ServerDurability::changesSurviveKill() {
  const QString db = dir_.filePath(QStringLiteral("durable.db"));
  {
    QProcess p;
    quint16 port = startServer(p, db);
    QVERIFY(port != 0);
    WireClient c(port);
    QVERIFY(c.connected());
    c.send(RegisterUpdateCallable({-1, W("Rö"), "Rum", 5, true, "070", true}));
    c.send(RegisterUpdateMachine({"PC-A", 0, "Exp", 0, "", "", -1}));
    c.send(PostCallablesList("PC1Admin", 2, 1, {1}));
    c.send(SetIniTextGlobal("DAVU", "Key", "Value"));
    c.send(PostSmsSettings("u", "p", "1"));
    // The last change's answer is the barrier; the kill follows at once.
    QCOMPARE(c.change(ExecSql("PC1Admin", "UPDATE CALLLOG SET CONFIRMTSTAMP = #2024-05-03# WHERE  ( LOPNR = 1 )")), std::string());
    ::kill(static_cast<pid_t>(p.processId()), SIGKILL);
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitStatus(), QProcess::CrashExit);
  }
  QVERIFY(QFile::exists(db + "-wal"));  // nothing was checkpointed by a clean close
  QProcess p;
  quint16 port = startServer(p, db);
  QVERIFY(port != 0);
  WireClient c(port);
  QCOMPARE(c.exchange(GetAllCallables("A"), ":RETALLCALLABLES\xA4"),
           W("¤RETALLCALLABLES:Rö:1:Rum:5:-1:070:T:RETALLCALLABLES¤"));
  QCOMPARE(c.exchange(GetStationCallables("PC-A"), ":RETSTATIONCALLABLES\xA4"),
           W("¤RETSTATIONCALLABLES:1:0:RETSTATIONCALLABLES¤"));
  QCOMPARE(c.exchange(GetIniTextGlobal("DAVU", "Key"), ":RETINITEXT\xA4"), W("¤RETINITEXT:Value:RETINITEXT¤"));
  QCOMPARE(c.exchange(GetSmsSettings("A"), ":RETSMSSETTINGS\xA4"), W("¤RETSMSSETTINGS:u:p:1:RETSMSSETTINGS¤"));
  QCOMPARE(c.exchange(GetKliniknamn("A", "2"), ":RETKLINIKNAMN\xA4"), W("¤RETKLINIKNAMN:Testkliniken:RETKLINIKNAMN¤"));
  // One log line per connection and per refused request, on standard error.
  QVERIFY(c.change(OpenSql("PC1Admin", "DROP TABLE CALLLOG")).starts_with("ERROR: "));
  QByteArray log;
  QDeadlineTimer deadline(5000);
  // Output that arrived while the client waited is already buffered.
  for (log = p.readAll(); !log.contains("refused OPENSQL") && !deadline.hasExpired(); log += p.readAll())
    p.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
  QVERIFY2(log.contains("connection from 127.0.0.1:"), log.constData());
  QVERIFY2(log.contains("refused OPENSQL from 127.0.0.1:"), log.constData());
  p.terminate();
  p.waitForFinished(5000);
}

void tst_ServerDurability::writesAreSynchronousInWal() {
  // A killed process loses nothing committed even with lazy syncing; a power
  // cut does, so the settings themselves are checked.
  ServerHarness h;
  QCOMPARE(h.query("PRAGMA journal_mode"), std::string("wal"));
  QCOMPARE(h.query("PRAGMA synchronous"), std::string("2"));  // FULL
}

QTEST_GUILESS_MAIN(tst_ServerDurability)
#include "serverdurability_test.moc"
