// The two windows as an administrator uses them, through the real main
// window and dispatcher, against an in-process davu-server with its demo
// clinic: confirm two of today's calls and see them gone; report a month for
// one client and one resource. With DAVU_SCREENSHOT_DIR set, the windows are
// saved there as PNG files.
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QCheckBox>
#include <QLabel>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include <QAction>
#include <QChartView>
#include <QDateEdit>
#include <QFile>
#include <QTabWidget>

#include "Controls.h"
#include "FakePlatform.h"
#include "FakeServer.h"
#include "SettingsSandbox.h"
#include "app/UDavuAdminMain.h"
#include "app/Widgets.h"
#include "calllog/ReportFigures.h"
#include "calllog/ReportPages.h"
#include "calllog/StatistikReports.h"
#include "calllog/SummaryModel.h"
#include "calllog/TSVVirtualTable.h"
#include "calllog/UfrmActiveCalls.h"
#include "calllog/UfrmDAVUStatistik.h"
#include "common/ClientSocket.h"
#include "common/SharedState.h"
#include "register/Themes.h"
#include "server/DavuServer.h"
#include "server/ServerDatabase.h"

using namespace davu;

using davu::test::Control;

namespace {

void Screenshot(QWidget* w, const char* name) {
  const QString dir = qEnvironmentVariable("DAVU_SCREENSHOT_DIR");
  if (dir.isEmpty()) return;
  QDir().mkpath(dir);
  w->grab().save(dir + QLatin1Char('/') + QLatin1String(name));
}

QStringList Column(const TSVVirtualTable* t, const char* field) {
  QStringList values;
  for (int r = 0; r < t->RecordCount(); ++r) values << t->value(r, QLatin1String(field));
  return values;
}

}  // namespace

class CallLogDemoTest : public QObject {
  Q_OBJECT

  QTemporaryDir tmp;
  std::unique_ptr<SettingsSandbox> settings;
  std::unique_ptr<FakePlatform> fake;
  std::unique_ptr<davu::server::DavuServer> server;
  std::unique_ptr<TfrmDAVUAdmin> main;

 private slots:
  void init() {
    ResetSharedState();
    settings = std::make_unique<SettingsSandbox>();
    fake = std::make_unique<FakePlatform>();
    fake->clock->current = QDateTime::currentDateTime();  // the demo's calls are made up to now

    davu::server::ServerOptions o;
    o.databasePath = tmp.path() + "/demo.db";
    o.demo = true;
    o.quiet = true;
    server = std::make_unique<davu::server::DavuServer>(o);
    QString error;
    QVERIFY2(server->start(&error), qPrintable(error));

    main = std::make_unique<TfrmDAVUAdmin>();
    main->ExitProcess = [](int) {};
    main->ClientSocket1->setAddress(QStringLiteral("127.0.0.1"));
    main->ClientSocket1->setPort(server->port());
    main->ClientSocket1->open();
    QVERIFY(WaitUntil([&] { return Control<PictureButton>(main, "btnKallelser")->isEnabled(); }, 10000));
  }
  void cleanup() {
    main.reset();
    server.reset();
    fake.reset();
    settings.reset();
    ResetSharedState();
  }

  void confirmTwoCallsAndSeeThemGone() {
    bool ran = false;
    main->ShowModal = [&](QDialog* d) {
      auto* w = qobject_cast<TfrmDAVUActiveCalls*>(d);
      QVERIFY(w);
      w->show();
      TSVVirtualTable* t = Control<TSVVirtualTable>(w, "SVVirtualTable1");
      QVERIFY(WaitUntil([&] { return t->RecordCount() >= 2; }, 10000));
      const int before = t->RecordCount();
      QCOMPARE(Control<QLabel>(w, "Label3")->text(), QStringLiteral("Antal poster: %1").arg(before));
      const QString first = t->value(0, QStringLiteral("LOPNR")), second = t->value(1, QStringLiteral("LOPNR"));
      t->setData(t->index(0, 0), Qt::Checked, Qt::CheckStateRole);
      t->setData(t->index(1, 0), Qt::Checked, Qt::CheckStateRole);
      Screenshot(w, "active-calls.png");

      fake->dialogs->answers = {6};
      QSignalSpy reloaded(t, &QAbstractItemModel::modelReset);
      Control<QPushButton>(w, "BitBtn1")->click();
      QVERIFY(WaitUntil([&] { return reloaded.count() > 0; }, 10000));
      QCOMPARE(t->RecordCount(), before - 2);
      QVERIFY(!Column(t, "LOPNR").contains(first));
      QVERIFY(!Column(t, "LOPNR").contains(second));
      QCOMPARE(fake->sleeper->sleeps, std::vector<int>{1000});
      w->reject();
      ran = true;
    };
    main->btnKallelserClick();
    QVERIFY(ran);
    QCOMPARE(ReplyTarget, rtNone);
  }

  // Today runs from midnight to midnight, whatever the time of the call.
  void todayRunsFromMidnight() {
    const QDate today = fake->clock->current.date();
    const auto stamp = [](const QDateTime& t) { return t.toString("yyyy-MM-dd HH:mm:ss").toStdString(); };
    davu::server::Statement add(server->database().handle(),
                                "INSERT INTO CALLLOG (LOPNR, STATIONSLOPNR, CALLABLESLOPNR, CALLTSTAMP, SMSSENT)"
                                " SELECT ?, MIN(S.LOPNR), MIN(C.LOPNR), ?, 0 FROM STATIONS S, CALLABLES C");
    add.bind(1, std::int64_t(900001)).bind(2, stamp(QDateTime(today.addDays(-1), QTime(23, 59, 59)))).run();
    add.reset();
    add.bind(1, std::int64_t(900002)).bind(2, stamp(QDateTime(today, QTime(0, 0)))).run();
    add.reset();
    add.bind(1, std::int64_t(900003)).bind(2, stamp(QDateTime(today.addDays(1), QTime(0, 0)))).run();

    QStringList lopnrs;
    main->ShowModal = [&](QDialog* d) {
      auto* w = qobject_cast<TfrmDAVUActiveCalls*>(d);
      QSignalSpy loaded(Control<TSVVirtualTable>(w, "SVVirtualTable1"), &QAbstractItemModel::modelReset);
      w->show();
      QVERIFY(WaitUntil([&] { return loaded.count() > 0; }, 10000));
      lopnrs = Column(Control<TSVVirtualTable>(w, "SVVirtualTable1"), "LOPNR");
      w->reject();
    };
    main->btnKallelserClick();
    QVERIFY(lopnrs.contains(QStringLiteral("900002")));
    QVERIFY(!lopnrs.contains(QStringLiteral("900001")));
    QVERIFY(!lopnrs.contains(QStringLiteral("900003")));
    QCOMPARE(lopnrs.first(), QStringLiteral("900002"));  // the earliest call first
  }

  void reportForOneClientAndOneResource() {
    bool ran = false;
    main->ShowModal = [&](QDialog* d) {
      auto* w = qobject_cast<TfrmDAVUStatistik*>(d);
      QVERIFY(w);
      w->show();
      QVERIFY(WaitUntil([&] { return Control<QListWidget>(w, "CheckListBox1")->count() > 0 && Control<QListWidget>(w, "CheckListBox2")->count() > 0; }, 10000));

      // The whole month first, to pick a client and resource that made calls.
      TSVVirtualTable* t = Control<TSVVirtualTable>(w, "SVVirtualTable1");
      QSignalSpy reports(t, &QAbstractItemModel::modelReset);
      Control<QPushButton>(w, "BitBtn1")->click();
      QVERIFY(WaitUntil([&] { return reports.count() == 1; }, 10000));
      QVERIFY(t->RecordCount() > 0);
      const QString client = t->value(0, QStringLiteral("FRIENDLYNAME"));
      const QString resource = t->value(0, QStringLiteral("FULLNAME"));
      int ci = -1, ri = -1;
      for (int i = 0; i < int(w->machines().size()); ++i)
        if (w->machines()[i]->FriendlyName == client) ci = i;
      for (int i = 0; i < int(w->callables().size()); ++i)
        if (w->callables()[i]->CallableFriendlyname == resource) ri = i;
      QVERIFY(ci >= 0 && ri >= 0);
      Control<QListWidget>(w, "CheckListBox2")->item(ci)->setCheckState(Qt::Checked);
      Control<QListWidget>(w, "CheckListBox1")->item(ri)->setCheckState(Qt::Checked);
      Control<QCheckBox>(w, "CheckBox1")->setChecked(true);
      Control<QPushButton>(w, "BitBtn1")->click();
      QVERIFY(WaitUntil([&] { return reports.count() == 2; }, 10000));
      QVERIFY(t->RecordCount() > 0);
      QCOMPARE(Column(t, "FRIENDLYNAME"), QStringList(t->RecordCount(), client));
      QCOMPARE(Column(t, "FULLNAME"), QStringList(t->RecordCount(), resource));
      QVERIFY(!Column(t, "CONFIRMTSTAMP").contains(QString()));
      QStringList stamps = Column(t, "CALLTSTAMP");
      QStringList sorted = stamps;
      sorted.sort();
      QCOMPARE(stamps, sorted);  // earliest call first
      Screenshot(w, "statistics.png");
      w->reject();
      ran = true;
    };
    main->btnStatistikClick();
    QVERIFY(ran);
    QCOMPARE(ReplyTarget, rtNone);
  }
};

QTEST_MAIN(CallLogDemoTest)
#include "calllogdemo_test.moc"
