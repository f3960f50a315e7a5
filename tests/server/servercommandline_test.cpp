// davu-server as a Linux command: --version and --help answer and exit,
// every refusal at start says what is wrong and what to do, with exit status
// 2 for a command line that cannot be used and 1 for a start that failed; a
// refused start leaves no database behind; SIGTERM and SIGINT stop it
// cleanly with the database checkpointed.
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include "ServerHarness.h"
#include "protocol/Catalogue.h"

class tst_ServerCommandLine : public QObject {
  Q_OBJECT

 private slots:
  void answersAndExits_data();
  void answersAndExits();
  void refusals_data();
  void refusals();
  void portInUseLeavesNoDatabase();
  void openListenerWarns();
  void stopsCleanlyOnSignal_data();
  void stopsCleanlyOnSignal();

 private:
  struct Run {
    int exitCode = -1;
    QString out, err;
  };
  Run run(const QStringList& args);
  QTemporaryDir dir_;
};

tst_ServerCommandLine::Run tst_ServerCommandLine::run(const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral(DAVU_SERVER_EXE), args);
  Run r;
  if (!p.waitForFinished(10000)) {
    p.kill();
    p.waitForFinished();
    return r;
  }
  r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = QString::fromUtf8(p.readAllStandardOutput());
  r.err = QString::fromUtf8(p.readAllStandardError());
  return r;
}

void tst_ServerCommandLine::answersAndExits_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<QString>("out");  // a part of standard output
  QTest::newRow("--version") << QStringList{"--version"} << QString("davu-server " DAVU_PROJECT_VERSION "\n");
  QTest::newRow("--help") << QStringList{"--help"} << "Usage: davu-server [options]\n";
  QTest::newRow("--help options") << QStringList{"--help"} << "--report-version <text>";
  QTest::newRow("-h") << QStringList{"-h"} << "--allow <cidr>";
  QTest::newRow("--help per address") << QStringList{"--help"} << "--max-per-address <count>";
}

void tst_ServerCommandLine::answersAndExits() {
  QFETCH(QStringList, args);
  QFETCH(QString, out);
  const QString db = dir_.filePath("never.db");
  const Run r = run(args + QStringList{"--db", db, "--port", "0"});
  QCOMPARE(r.exitCode, 0);
  QVERIFY2(r.out.contains(out), qPrintable(r.out));
  QCOMPARE(r.err, QString());
  QVERIFY(!QFile::exists(db));
  if (args.first() == "--version") QCOMPARE(r.out, out);
}

void tst_ServerCommandLine::refusals_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<int>("exitCode");
  QTest::addColumn<QString>("message");
  QTest::newRow("port too large") << QStringList{"--port", "65536"} << 2 << "from 1 to 65535";
  QTest::newRow("port negative") << QStringList{"--port", "-1"} << 2 << "from 1 to 65535";
  QTest::newRow("port not a number") << QStringList{"--port", "http"} << 2 << "invalid port \"http\"";
  QTest::newRow("bad listen address") << QStringList{"--listen", "everywhere"} << 2 << "invalid --listen address";
  QTest::newRow("bad CIDR") << QStringList{"--allow", "192.168.1.0/33"} << 2 << "invalid --allow \"192.168.1.0/33\"";
  QTest::newRow("CIDR with host bits")
      << QStringList{"--allow", "127.0.0.1/32", "--allow", "10.0.0.1/8"} << 2 << "did you mean 10.0.0.0/8?";
  QTest::newRow("no connection per address") << QStringList{"--max-per-address", "0"} << 2
                                            << "invalid --max-per-address \"0\": give a number from 1 to 1000";
  QTest::newRow("unknown option") << QStringList{"--verbose"} << 2 << "Unknown option 'verbose'";
  QTest::newRow("old version option") << QStringList{"--version", "1.2.3"} << 2 << "unexpected argument \"1.2.3\"";
  QTest::newRow("stray argument") << QStringList{"start"} << 2 << "unexpected argument";
  QTest::newRow("address not on this machine") << QStringList{"--listen", "192.0.2.1"} << 1
                                              << "cannot listen on 192.0.2.1 port 0";
  QTest::newRow("database folder is a file") << QStringList{"--db", "@/file/davu.db"} << 1
                                            << "cannot write to the database folder @/file";
}

void tst_ServerCommandLine::refusals() {
  QFETCH(QStringList, args);
  QFETCH(int, exitCode);
  QFETCH(QString, message);
  QTemporaryDir dir;
  QFile file(dir.filePath("file"));
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.close();
  args.replaceInStrings(QStringLiteral("@"), dir.path());
  message.replace(QStringLiteral("@"), dir.path());
  if (!args.contains("--db")) args << "--db" << dir.filePath("davu.db");
  if (!args.contains("--port")) args << "--port" << "0";
  const Run r = run(args);
  QCOMPARE(r.exitCode, exitCode);
  QVERIFY2(r.err.contains(message), qPrintable(r.err));
  // Says what to do.
  QVERIFY2(r.err.contains("--help") || r.err.contains("--db") || r.err.contains("--listen"), qPrintable(r.err));
  QCOMPARE(r.out, QString());
  QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"file"});
}

void tst_ServerCommandLine::portInUseLeavesNoDatabase() {
  QTcpServer taken;
  QVERIFY(taken.listen(QHostAddress::LocalHost, 0));
  const QString port = QString::number(taken.serverPort());
  QTemporaryDir dir;
  const QString db = dir.filePath("data/davu.db");
  const Run r = run({"--port", port, "--db", db});
  QCOMPARE(r.exitCode, 1);
  QVERIFY2(r.err.contains("port " + port + ": the port is already in use"), qPrintable(r.err));
  QVERIFY2(r.err.contains("--port"), qPrintable(r.err));
  QVERIFY(QDir(dir.path()).isEmpty(QDir::NoDotAndDotDot | QDir::AllEntries));
}

void tst_ServerCommandLine::openListenerWarns() {
  // Listening on every address without --allow warns; with it, the log says
  // whom it accepts and has one line for each connection it closes.
  for (const bool withAllow : {false, true}) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QStringList args{"--listen", "0.0.0.0", "--port", "0", "--db", dir_.filePath("open.db")};
    if (withAllow) args << "--allow" << "127.0.0.1/32";
    p.start(QStringLiteral(DAVU_SERVER_EXE), args);
    QByteArray log;
    QDeadlineTimer deadline(10000);
    const auto readUntil = [&](const QByteArray& text) {
      while (!log.contains(text) && p.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
        log += p.readAll();
    };
    readUntil(", database ");
    const qsizetype at = log.indexOf("listening on 0.0.0.0:");
    QVERIFY2(at >= 0, log.constData());
    const quint16 port = log.mid(at + 21, log.indexOf(',', at) - at - 21).toUShort();
    {
      WireClient outsider(port, QHostAddress(QStringLiteral("127.0.0.2")));
      readUntil("connection from 127.0.0.2");
    }
    p.terminate();
    QVERIFY(p.waitForFinished(10000));
    log += p.readAll();
    QCOMPARE(log.contains("WARNING: listening on 0.0.0.0 without --allow"), !withAllow);
    QCOMPARE(log.contains("accepting connections only from 127.0.0.1/32"), withAllow);
    QCOMPARE(log.count("refused connection from 127.0.0.2:"), withAllow ? 1 : 0);
    QCOMPARE(log.count("connection from 127.0.0.2:"), 1);
  }
}

void tst_ServerCommandLine::stopsCleanlyOnSignal_data() {
  QTest::addColumn<int>("signal");
  QTest::addColumn<QString>("name");
  QTest::newRow("SIGTERM") << int(SIGTERM) << "SIGTERM";
  QTest::newRow("SIGINT") << int(SIGINT) << "SIGINT";
}

void tst_ServerCommandLine::stopsCleanlyOnSignal() {
  QFETCH(int, signal);
  QFETCH(QString, name);
  QTemporaryDir dir;
  const QString db = dir.filePath("davu.db");
  const QString portFile = dir.filePath("port");
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(QStringLiteral(DAVU_SERVER_EXE), {"--port", "0", "--db", db, "--port-file", portFile});
  QVERIFY(p.waitForStarted());
  QByteArray log;
  QDeadlineTimer deadline(10000);
  while (!log.contains("listening on") && p.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
    log += p.readAll();
  QVERIFY2(log.contains("davu-server " DAVU_PROJECT_VERSION " starting, pid " + QByteArray::number(p.processId())),
           log.constData());
  QFile f(portFile);
  QVERIFY(f.open(QIODevice::ReadOnly));
  WireClient c(static_cast<quint16>(f.readAll().trimmed().toUInt()));
  QVERIFY(c.connected());
  QVERIFY(c.change(davu::proto::SetIniTextGlobal("DAVU", "Key", "Value")).empty());
  QVERIFY(QFile::exists(db + "-wal"));

  ::kill(static_cast<pid_t>(p.processId()), signal);
  QVERIFY(p.waitForFinished(10000));
  log += p.readAll();
  QCOMPARE(p.exitStatus(), QProcess::NormalExit);
  QCOMPARE(p.exitCode(), 0);
  QVERIFY2(log.contains(name.toUtf8() + " received: stopping, closing 1 connections"), log.constData());
  QVERIFY2(log.contains("stopped; database " + db.toUtf8() + " checkpointed and closed"), log.constData());
  QVERIFY(c.waitForClose());
  // Checkpointed: the change is in the main file and the WAL is gone.
  QVERIFY(!QFile::exists(db + "-wal"));
  QVERIFY(!QFile::exists(db + "-shm"));
}

QTEST_GUILESS_MAIN(tst_ServerCommandLine)
#include "servercommandline_test.moc"
