// davu-server --backup: a copy taken by a second process while a client
// keeps writing is one self-contained file, passes SQLite's integrity check
// and holds every change committed before it started, and no half of one
// committed after.
#include <QFile>
#include <QProcess>
#include <QTest>

#include <sqlite3.h>

#include "ServerHarness.h"
#include "protocol/Catalogue.h"

using namespace davu::proto;

namespace {

// Runs one SQL text on a database file and returns its rows as "a|b;c|d".
std::string Query(const QString& file, const char* sql) {
  sqlite3* db = nullptr;
  std::string out;
  if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return "CANNOT OPEN";
  }
  sqlite3_exec(
      db, sql,
      [](void* p, int n, char** v, char**) {
        auto& o = *static_cast<std::string*>(p);
        if (!o.empty()) o += ';';
        for (int i = 0; i < n; ++i) o += (i ? "|" : "") + std::string(v[i] ? v[i] : "NULL");
        return 0;
      },
      &out, nullptr);
  sqlite3_close(db);
  return out;
}

std::string Name(int i) { return "Rum " + std::to_string(i); }

}  // namespace

class tst_ServerBackup : public QObject {
  Q_OBJECT

 private slots:
  void backupWhileAClientWrites();
  void refusals_data();
  void refusals();
};

void tst_ServerBackup::backupWhileAClientWrites() {
  davu::server::ServerOptions o;
  o.demo = true;
  ServerHarness h(o);
  WireClient c(h.port());
  QVERIFY(c.connected());
  // Committed before the backup starts; recent pages still sit in the WAL.
  int written = 0;
  for (; written < 50; ++written)
    QCOMPARE(c.change(RegisterUpdateCallable({-1, Name(written), "", 0, false, "", true})), std::string());
  const std::string before = h.query("SELECT COUNT(*) FROM CALLABLES");

  const QString copy = h.dir() + "/copy.db";
  QProcess backup;
  backup.setProcessChannelMode(QProcess::ForwardedChannels);
  backup.start(QStringLiteral(DAVU_SERVER_EXE), {"--db", h.dir() + "/t.db", "--backup", copy});
  QVERIFY(backup.waitForStarted(5000));
  while (backup.state() != QProcess::NotRunning) {
    QCOMPARE(c.change(RegisterUpdateCallable({-1, Name(written), "", 0, false, "", true})), std::string());
    ++written;
    backup.waitForFinished(0);
  }
  QCOMPARE(backup.exitStatus(), QProcess::NormalExit);
  QCOMPARE(backup.exitCode(), 0);

  QCOMPARE(Query(copy, "PRAGMA integrity_check"), std::string("ok"));
  QCOMPARE(Query(copy, "PRAGMA journal_mode"), std::string("delete"));
  QVERIFY(!QFile::exists(copy + "-wal"));
  QVERIFY(!QFile::exists(copy + ".part"));
  // Everything committed before the start, and the changes after it form
  // an unbroken prefix of what the client sent.
  const int inCopy = std::stoi(Query(copy, "SELECT COUNT(*) FROM CALLABLES"));
  QVERIFY(inCopy >= std::stoi(before));
  QVERIFY(inCopy <= std::stoi(h.query("SELECT COUNT(*) FROM CALLABLES")));
  QCOMPARE(Query(copy, "SELECT NAME FROM CALLABLES WHERE LOPNR = (SELECT MAX(LOPNR) FROM CALLABLES)"),
           h.query(("SELECT NAME FROM CALLABLES ORDER BY LOPNR LIMIT 1 OFFSET " + std::to_string(inCopy - 1)).c_str()));
  QCOMPARE(Query(copy, "SELECT COUNT(*) FROM CALLLOG"), h.query("SELECT COUNT(*) FROM CALLLOG"));
  QVERIFY(std::stoi(h.query("SELECT COUNT(*) FROM CALLLOG")) > 0);
}

void tst_ServerBackup::refusals_data() {
  QTest::addColumn<QString>("source");  // relative to a fresh folder
  QTest::addColumn<QString>("target");
  QTest::addColumn<QString>("message");
  QTest::newRow("no database") << "missing.db" << "copy.db" << "does not exist";
  QTest::newRow("target folder missing") << "ok.db" << "nofolder/copy.db" << "failed";
  QTest::newRow("not a database") << "text.db" << "copy.db" << "failed";
  QTest::newRow("onto itself") << "ok.db" << "./ok.db" << "would replace the database itself";
}

void tst_ServerBackup::refusals() {
  QFETCH(QString, source);
  QFETCH(QString, target);
  QFETCH(QString, message);
  QTemporaryDir dir;
  {
    QFile text(dir.filePath("text.db"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write(QByteArray(8192, 'x'));
  }
  {
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(dir.filePath("ok.db").toUtf8().constData(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE T (A)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  QProcess p;
  p.start(QStringLiteral(DAVU_SERVER_EXE), {"--db", dir.filePath(source), "--backup", dir.filePath(target)});
  QVERIFY(p.waitForFinished(10000));
  QCOMPARE(p.exitCode(), 1);
  const QString err = QString::fromLocal8Bit(p.readAllStandardError());
  QVERIFY2(err.contains(message), qPrintable(err));
  QVERIFY(!QFile::exists(dir.filePath(target) + ".part"));
  if (source == QLatin1String("ok.db")) {  // the source is untouched
    QVERIFY(QFile::exists(dir.filePath(source)));
    QCOMPARE(Query(dir.filePath(source), "SELECT COUNT(*) FROM T"), std::string("0"));
  } else {
    QVERIFY(!QFile::exists(dir.filePath(target)));
  }
  QVERIFY(!QFile::exists(dir.filePath("missing.db")));  // a backup never creates its source
}

QTEST_GUILESS_MAIN(tst_ServerBackup)
#include "serverbackup_test.moc"
