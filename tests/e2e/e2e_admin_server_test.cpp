// The main window, its connection and dispatcher against a real davu-server
// process with demo data, both on this machine's loopback.
#include <QDialog>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "Controls.h"
#include "FakePlatform.h"
#include "FakeServer.h"
#include "ServerProcess.h"
#include "SettingsSandbox.h"
#include "app/UDavuAdminMain.h"
#include "app/Widgets.h"
#include "common/ClientSocket.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "protocol/Catalogue.h"

using namespace davu;

using davu::test::Control;

class E2eAdminServerTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    ResetSharedState();
    settings_ = std::make_unique<SettingsSandbox>();  // fresh settings for every case
    QVERIFY(settings_->isValid());
  }

  void connectsAndShowsTheClinic_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("accepted") << "1.10.6" << true;
    QTest::newRow("refused") << "1.9.9" << false;
  }
  void connectsAndShowsTheClinic() {
    QFETCH(QString, version);
    QFETCH(bool, accepted);
    QTemporaryDir serverDir;
    ServerProcess server(serverDir.path(), {"--demo", "--clinic", QStringLiteral("Vårdcentralen Norr"),
                                            "--report-version", version});
    QVERIFY2(server.port() > 0, "davu-server did not start");

    FakePlatform fakes;
    InitLocalPaths();
    WriteSetting("ServerSettings", "ServerName", "127.0.0.1");
    WriteSetting("ServerSettings", "ServerPort", QString::number(server.port()));

    TfrmDAVUAdmin w;
    int exitStatus = -1;
    w.ExitProcess = [&](int status) { exitStatus = status; };
    w.ShowModal = [](QDialog*) {};
    w.show();
    w.FormActivate();

    if (accepted) {
      const QString title = "DAVU Admin - Vårdcentralen Norr  version: " + w.productVersion();
      QVERIFY2(WaitUntil([&] { return w.windowTitle() == title; }, 10000),
               qPrintable(w.windowTitle()));
      QCOMPARE(Control<QLabel>(&w, "Label1")->text(), QStringLiteral("Ansluten"));
      QVERIFY(Control<PictureButton>(&w, "btnStatistik")->isEnabled());
      QVERIFY(Control<PictureButton>(&w, "btnKallelser")->isEnabled());
      QCOMPARE(ServerVersion, version);
    } else {
      const QString status = "Fel serverversion " + version + " INTE ansluten";
      QVERIFY2(WaitUntil([&] { return Control<QLabel>(&w, "Label1")->text() == status; }, 10000),
               qPrintable(Control<QLabel>(&w, "Label1")->text()));
      QVERIFY(!Control<PictureButton>(&w, "btnStatistik")->isEnabled());
      QVERIFY(!w.Timer3->isActive());
    }
    w.close();
    QCOMPARE(exitStatus, 1);
  }

  // The server refuses a request whose text carries "¤" and may quote it in
  // its error text; the replies behind that error are handled all the same.
  void refusalQuotingAMarkerHoldsNoLaterReply() {
    QTemporaryDir serverDir;
    ServerProcess server(serverDir.path(), {"--demo", "--clinic", QStringLiteral("Vårdcentralen Norr"), "--report-version", "1.10.6"});
    QVERIFY2(server.port() > 0, "davu-server did not start");
    FakePlatform fakes;
    InitLocalPaths();
    WriteSetting("ServerSettings", "ServerName", "127.0.0.1");
    WriteSetting("ServerSettings", "ServerPort", QString::number(server.port()));
    WriteSetting("DAVU", "RefreshConnection", "0");
    TfrmDAVUAdmin w;
    w.ExitProcess = [](int) {};
    w.ShowModal = [](QDialog*) {};
    w.show();
    w.FormActivate();
    const QString title = "DAVU Admin - Vårdcentralen Norr  version: " + w.productVersion();
    QVERIFY2(WaitUntil([&] { return w.windowTitle() == title; }, 10000), qPrintable(w.windowTitle()));

    for (int round = 0; round < 3; ++round) {
      w.setWindowTitle(QString());
      fakes.dialogs->balloons.clear();
      // A client named "¤AB~x" does not exist: the refusal names it.
      const std::string admin(davu::proto::kAdminClientName);
      w.ClientSocket1->sendBytes(davu::proto::RegisterDeleteMachine("\xA4" "AB~x", 0, 0) +
                                 davu::proto::GetKliniknamn(admin, "2"));
      QVERIFY2(WaitUntil([&] { return w.windowTitle() == title; }, 10000), qPrintable(w.windowTitle()));
      QVERIFY(WaitUntil([&] { return !fakes.dialogs->balloons.empty(); }));
      QVERIFY2(fakes.dialogs->balloons[0].text.startsWith("Servern svarade med följande fel: Klienten "),
               qPrintable(fakes.dialogs->balloons[0].text));
      QVERIFY(fakes.dialogs->balloons[0].text.endsWith("finns inte på servern."));
      QVERIFY(!w.ReplyQuietTimer->isActive());
    }
    QCOMPARE(Control<QLabel>(&w, "Label1")->text(), QStringLiteral("Ansluten"));
  }

 private:
  std::unique_ptr<SettingsSandbox> settings_;
};

QTEST_MAIN(E2eAdminServerTest)
#include "e2e_admin_server_test.moc"
