// "Idag" through the real main window against a davu-server --demo process:
// the day read once, calls made and confirmed while the window is open
// appear at the next refresh, and a report asked for while the window
// refreshes still reaches the statistics window.
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <sqlite3.h>

#include "ConnectedAdmin.h"
#include "Controls.h"
#include "DatabaseRows.h"
#include "FakePlatform.h"
#include "FakeServer.h"
#include "ServerProcess.h"
#include "SettingsSandbox.h"
#include "app/UDavuAdminMain.h"
#include "app/Widgets.h"
#include "calllog/IdagWindow.h"
#include "calllog/SqlReplyQueue.h"
#include "calllog/TSVVirtualTable.h"
#include "calllog/UfrmDAVUStatistik.h"
#include "common/ClientSocket.h"
#include "common/SharedState.h"

using namespace davu;

using davu::test::Control;

namespace {

int Count(const QString& file, const QString& sql) {
  const QStringList rows = Rows(file, sql.toUtf8().constData());
  return rows.isEmpty() ? -1 : rows.front().toInt();
}

}  // namespace

class E2eIdagTest : public QObject {
  Q_OBJECT

  QTemporaryDir tmp;

 private slots:
  void callsAppearWhileTheWindowIsOpen() {
    ResetSharedState();
    SettingsSandbox settings;
    FakePlatform fake;
    const QDateTime now = QDateTime::currentDateTime();
    if (now.time() > QTime(23, 58)) QSKIP("too close to midnight for the demo's day");
    fake.clock->current = now;  // the demo's calls are made up to now
    ServerProcess server(tmp.path(), {"--demo"});
    QVERIFY2(server.port() > 0, "davu-server did not start");
    const QString db = tmp.filePath("davu.sqlite");
    auto main = std::make_unique<TfrmDAVUAdmin>();
    main->ShowModal = [](QDialog*) {};
    QVERIFY(ConnectMainWindow(*main, server.port()));
    QVERIFY(Control<PictureButton>(main, "btnIdag")->isEnabled());

    const QString day = now.date().toString("yyyy-MM-dd");
    const QString today = QStringLiteral("SELECT COUNT(*) FROM CALLLOG WHERE CALLTSTAMP >= '%1' AND CALLTSTAMP < '%2'")
                              .arg(day, now.date().addDays(1).toString("yyyy-MM-dd"));
    const int calls = Count(db, today), confirmed = Count(db, today + " AND CONFIRMTSTAMP IS NOT NULL");
    QVERIFY(calls > 0);

    Control<PictureButton>(main, "btnIdag")->click();
    auto* w = main->findChild<IdagWindow*>();
    QVERIFY(w);
    QVERIFY(WaitUntil([&] { return w->calls().filled(); }, 10000));
    QCOMPARE(w->calls().calls(), calls);
    QCOMPARE(w->calls().total().confirmed, confirmed);
    QVERIFY(Control<QLabel>(w, "lblStatus")->text().startsWith("Senast uppdaterad "));

    // Two calls are made and the oldest open one is confirmed.
    const QString stamp = now.toString("yyyy-MM-dd HH:mm:ss");
    QVERIFY(Write(db, QStringLiteral("INSERT INTO CALLLOG (STATIONSLOPNR, CALLABLESLOPNR, CALLTSTAMP) "
                                     "SELECT (SELECT MIN(LOPNR) FROM STATIONS), (SELECT MIN(LOPNR) FROM CALLABLES), '%1';"
                                     "INSERT INTO CALLLOG (STATIONSLOPNR, CALLABLESLOPNR, CALLTSTAMP) "
                                     "SELECT (SELECT MIN(LOPNR) FROM STATIONS), (SELECT MAX(LOPNR) FROM CALLABLES), '%1';")
                          .arg(stamp)));
    const bool anyOpen = w->calls().openCalls() > 0;
    if (anyOpen)
      QVERIFY(Write(db, QStringLiteral("UPDATE CALLLOG SET CONFIRMTSTAMP = '%1' WHERE LOPNR = "
                                       "(SELECT MIN(LOPNR) FROM CALLLOG WHERE CONFIRMTSTAMP IS NULL AND CALLTSTAMP >= '%2')")
                            .arg(stamp, day)));

    // A report asked for while the refresh is on its way reaches its window.
    int reportRows = -1;
    main->ShowModal = [&](QDialog* d) {
      auto* s = qobject_cast<TfrmDAVUStatistik*>(d);
      s->show();
      w->RefreshTimerTimer();
      QVERIFY(w->queryInFlight());
      Control<QPushButton>(s, "BitBtn1")->click();
      QVERIFY(WaitUntil([&] { return !w->queryInFlight() && davu::calllog::Waiting() == 0; }, 10000));
      reportRows = Control<TSVVirtualTable>(s, "SVVirtualTable1")->RecordCount();
      s->reject();
    };
    Control<PictureButton>(main, "btnStatistik")->click();
    const QDate first(now.date().year(), now.date().month(), 1);
    QCOMPARE(reportRows, Count(db, QStringLiteral("SELECT COUNT(*) FROM CALLLOG, STATIONS, CALLABLES WHERE "
                                                  "STATIONS.LOPNR = STATIONSLOPNR AND CALLABLES.LOPNR = CALLABLESLOPNR "
                                                  "AND CALLTSTAMP >= '%1' AND CALLTSTAMP < '%2'")
                                       .arg(first.toString("yyyy-MM-dd"), first.addMonths(1).toString("yyyy-MM-dd"))));
    QCOMPARE(w->calls().calls(), calls + 2);
    QCOMPARE(w->calls().total().confirmed, confirmed + (anyOpen ? 1 : 0));
    QCOMPARE(w->calls().total().confirmed, Count(db, today + " AND CONFIRMTSTAMP IS NOT NULL"));
    QVERIFY(Control<QLabel>(w, "lblTotal")->text().contains(QStringLiteral(": %1 kallelser").arg(calls + 2)));
    w->close();
  }
};

QTEST_MAIN(E2eIdagTest)
#include "e2e_idag_test.moc"
