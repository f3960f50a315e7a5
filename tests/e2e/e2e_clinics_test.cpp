// Two clinics, each its own davu-server --demo process: the main window
// switches between them from its server list and shows each clinic's name.
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "Controls.h"
#include "DatabaseRows.h"
#include "FakePlatform.h"
#include "FakeServer.h"
#include "ServerProcess.h"
#include "SettingsSandbox.h"
#include "app/UDavuAdminMain.h"
#include "app/Widgets.h"
#include "calllog/IdagWindow.h"
#include "common/NamedServers.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"

using namespace davu;

using davu::test::Control;

class E2eClinicsTest : public QObject {
  Q_OBJECT

 private slots:
  void switchesBetweenTwoClinics() {
    ResetSharedState();
    SettingsSandbox settings;
    QVERIFY(settings.isValid());
    QTemporaryDir northDir;
    QTemporaryDir southDir;
    ServerProcess north(northDir.path(), {"--demo", "--clinic", QStringLiteral("Vårdcentralen Norr")});
    ServerProcess south(southDir.path(), {"--demo", "--clinic", QStringLiteral("Tandvården Syd")});
    QVERIFY2(north.port() > 0 && south.port() > 0, "davu-server did not start");

    FakePlatform fakes;
    const QDateTime now = QDateTime::currentDateTime();
    if (now.time() > QTime(23, 58)) QSKIP("too close to midnight for the demo's day");
    fakes.clock->current = now;  // the demo's calls are made up to now
    // Syd has three calls more today than Norr, so Idag tells them apart.
    const QString northDb = northDir.filePath("davu.sqlite"), southDb = southDir.filePath("davu.sqlite");
    QVERIFY(Write(southDb, QStringLiteral("INSERT INTO CALLLOG (STATIONSLOPNR, CALLABLESLOPNR, CALLTSTAMP) SELECT "
                                          "(SELECT MIN(LOPNR) FROM STATIONS), (SELECT MIN(LOPNR) FROM CALLABLES), '%1' "
                                          "FROM (SELECT 1 UNION ALL SELECT 2 UNION ALL SELECT 3)")
                                   .arg(now.toString("yyyy-MM-dd HH:mm:ss"))));
    const QString todaySql = QStringLiteral("SELECT COUNT(*) FROM CALLLOG WHERE CALLTSTAMP >= '%1' AND CALLTSTAMP < '%2'")
                                 .arg(now.date().toString("yyyy-MM-dd"), now.date().addDays(1).toString("yyyy-MM-dd"));
    const int northCalls = Rows(northDb, todaySql.toUtf8().constData()).value(0).toInt();
    const int southCalls = Rows(southDb, todaySql.toUtf8().constData()).value(0).toInt();
    QVERIFY(southCalls != northCalls);
    InitLocalPaths();
    // As an older version left them: one server, no list.
    WriteSetting("ServerSettings", "ServerName", "127.0.0.1");
    WriteSetting("ServerSettings", "ServerPort", QString::number(north.port()));
    WriteSetting("DAVU", "ClientNameUseDefault", "1");

    TfrmDAVUAdmin w;
    w.ExitProcess = [](int) {};
    w.ShowModal = [](QDialog*) {};
    w.show();
    w.FormActivate();
    const auto titleNames = [&](const QString& clinic) {
      return WaitUntil([&] { return w.windowTitle().startsWith("DAVU Admin - " + clinic + "  version: "); },
                       10000);
    };
    QVERIFY2(titleNames("Vårdcentralen Norr"), qPrintable(w.windowTitle()));
    QCOMPARE(Control<QComboBox>(&w, "cbServers")->currentText(), QString("127.0.0.1"));

    // The administrator names the first server and adds the second (as the
    // server tab stores them).
    davu::NamedServerList list = davu::NamedServerList::Load();
    QCOMPARE(list.servers.size(), 1);
    list.servers[0].name = "Norr";
    list.servers.append({"Syd", "127.0.0.1", QString::number(south.port()), {}, {}});
    QVERIFY(list.Save());
    w.ShowServers();
    QCOMPARE(Control<QComboBox>(&w, "cbServers")->count(), 2);
    // Idag is open on Norr's day.
    Control<PictureButton>(&w, "btnIdag")->click();
    auto* idag = w.findChild<IdagWindow*>();
    QVERIFY(idag);
    QVERIFY(WaitUntil([&] { return idag->calls().filled(); }, 10000));
    QCOMPARE(idag->calls().calls(), northCalls);

    // One key on the list: the other clinic.
    Control<QComboBox>(&w, "cbServers")->setFocus();
    QTest::keyClick(Control<QComboBox>(&w, "cbServers"), Qt::Key_Down);
    QVERIFY2(titleNames("Tandvården Syd"), qPrintable(w.windowTitle()));
    QCOMPARE(Control<QLabel>(&w, "Label1")->text(), QString("Ansluten"));
    QCOMPARE(Control<QComboBox>(&w, "cbServers")->currentText(), QString("Syd"));
    QCOMPARE(ReadUserSetting("ServerSettings", "ServerPort"), QString::number(south.port()));
    QCOMPARE(ReadUserSetting("ServerList", "Current"), QString("Syd"));
    // Idag shows Syd's day, read whole, without waiting for its next tick.
    QVERIFY(WaitUntil([&] { return idag->calls().filled(); }, 10000));
    QCOMPARE(idag->calls().calls(), southCalls);

    QTest::keyClick(Control<QComboBox>(&w, "cbServers"), Qt::Key_Up);
    QVERIFY2(titleNames("Vårdcentralen Norr"), qPrintable(w.windowTitle()));
    QCOMPARE(ReadUserSetting("ServerSettings", "ServerPort"), QString::number(north.port()));
    w.close();
  }
};

QTEST_MAIN(E2eClinicsTest)
#include "e2e_clinics_test.moc"
