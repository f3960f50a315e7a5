// The threads that run clients' SQL. A statement that runs long lowers its
// thread's priority so that short ones on other threads come first; the
// thread cannot raise it again, so it must not go on to serve the short
// statements that come later.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include "server/ServerDatabase.h"
#include "server/SqlWorkers.h"

using davu::server::SqlOutcome;
using davu::server::SqlWork;
using davu::server::SqlWorkers;

namespace {

// The threads of this process whose priority is lowered.
int LoweredThreads() {
  int lowered = 0;
  for (const QString& tid : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile f(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
    if (!f.open(QIODevice::ReadOnly)) continue;
    const QByteArray stat = f.readAll();
    // After the name in parentheses: state is the 3rd field, nice the 19th.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    lowered += fields.value(16).toInt() > 0 ? 1 : 0;
  }
  return lowered;
}

SqlOutcome Run(SqlWorkers& workers, const char* sql) {
  std::optional<SqlOutcome> outcome;
  workers.start(SqlWork{false, sql, "127.0.0.2"}, [](std::string) {},
                [&](SqlOutcome o) { outcome = std::move(o); });
  if (!QTest::qWaitFor([&] { return outcome.has_value(); }, 20000)) return {};
  return *outcome;
}

}  // namespace

class tst_SqlWorkers : public QObject {
  Q_OBJECT

 private slots:
  void aThreadThatGaveWayServesNoMore() {
    QTemporaryDir dir;
    std::string error;
    const std::string path = dir.filePath("calls.db").toStdString();
    {
      auto db = davu::server::Database::open(path, &error);
      QVERIFY(db);
      db->exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000)"
               " INSERT INTO CALLLOG (STATIONSLOPNR, CALLABLESLOPNR, CALLTSTAMP)"
               " SELECT 3, 7, '2024-05-03 09:00:00' FROM n");
    }
    SqlWorkers::Options options;
    options.databasePath = path;
    options.yieldAfter = std::chrono::milliseconds(1);
    SqlWorkers workers(options);
    QCOMPARE(LoweredThreads(), 0);

    const SqlOutcome report = Run(workers, "SELECT COUNT(*) FROM CALLLOG A, CALLLOG B");
    QVERIFY2(report.ok, report.error.c_str());
    QVERIFY(report.lowered);
    QVERIFY(QTest::qWaitFor([] { return LoweredThreads() == 0; }, 5000));

    // The next statements run, on a thread of their own.
    for (int i = 0; i < 3; ++i) {
      const SqlOutcome small = Run(workers, "SELECT LOPNR FROM CALLLOG WHERE LOPNR = 1");
      QVERIFY2(small.ok, small.error.c_str());
      QVERIFY(!small.lowered);
    }
    QCOMPARE(LoweredThreads(), 0);
  }
};

QTEST_GUILESS_MAIN(tst_SqlWorkers)
#include "sqlworkers_test.moc"
