// The real update check in the main window's connect handler: once per run
// and again after the server settings are saved, the update server's version
// on the server tab, and the end of the program when a newer one is started.
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "AppHarness.h"
#include "Controls.h"
#include "SettingsSandbox.h"
#include "TestSigner.h"
#include "app/UDavuAdminMain.h"
#include "app/UpdateCheckHook.h"
#include "common/ClientSocket.h"
#include "common/SharedState.h"
#include "protocol/Catalogue.h"
#include "register/USystReg.h"
#include "update/UUpdateCheck.h"
#include "update/UpdateState.h"
#include "widgets/UDAVUcommon.h"

using namespace davu;

using davu::test::Control;

namespace {

const std::string kVersionRequest = davu::proto::GetServerVersion("RECEPTION01_Admin", 2);

// The main window with the real check, as davu-admin has it; the update
// server's place and the current version are answered by the main server.
UpdateCheck& CreateWithCheck(AppHarness& h, quint16 updatePort, const std::string& checkVersion = {}) {
  h.serverSettings["ServerSettings:UpdateServerName"] = "127.0.0.1";
  h.serverSettings["ServerSettings:UpdateServerPort"] = std::to_string(updatePort);
  if (!checkVersion.empty()) h.serverSettings["CHECKVERSION:davu-admin"] = checkVersion;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  UpdateCheck* check = InstallUpdateCheck(w);
  check->programPath = QStringLiteral(DAVU_PROBE_1106);
  check->programFileName = QStringLiteral("davu-admin");
  return *check;
}

}  // namespace

class UpdateCheckAppTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    ResetUpdateState();
    settings_ = std::make_unique<SettingsSandbox>();
    // A common window of this case's own, with an idle update socket.
    delete frmDAVUcommon;
    common_ = std::make_unique<TfrmDAVUcommon>(false);
  }
  void cleanup() {
    common_.reset();
    settings_.reset();
    ResetUpdateState();
  }

  void checksOncePerRunAndAfterSavingShowingTheVersion() {
    AppHarness h;
    FakeServer updates;
    CreateWithCheck(h, updates.port());
    TfrmDAVUAdmin& w = *h.w;

    QVERIFY(h.connectAndIntroduce());
    QVERIFY(updates.waitForReceived(kVersionRequest));
    QCOMPARE(UpdateState, 1);
    QVERIFY(h.acceptVersion());
    updates.send("\xA4RETSERVERVERSION:2.0.1:RETSERVERVERSION\xA4");
    auto* field = w.frmSystreg->findChild<QLineEdit*>(QStringLiteral("edUpdateServerver"));
    QVERIFY(field);
    QTRY_COMPARE(field->text(), QStringLiteral("2.0.1"));
    // No release key is trusted here: the tab says in one line why nothing
    // is ever downloaded.
    auto* off = w.frmSystreg->findChild<QLabel*>(QStringLiteral("lblSelfUpdateOff"));
    QVERIFY(off);
    QVERIFY(!off->isHidden());
    QCOMPARE(off->text(), QStringLiteral("Självuppdatering avstängd: ingen betrodd nyckel"));

    // A lost connection comes back without a new check.
    h.server.dropConnection();
    QVERIFY(WaitUntil([&] { return !w.ClientSocket1->active(); }));
    h.server.clearReceived();
    w.ConnectToServer();
    QVERIFY(h.server.waitForReceived(Introduction()));
    QCOMPARE(updates.countReceived(kVersionRequest), 1);

    // Saving the server settings clears the version and checks again.
    w.frmSystreg->SetTabs(Control<ServerSettingsTab>(w.frmSystreg, "tsServersettings"));
    h.server.clearReceived();
    w.frmSystreg->btnSaveClick();
    QCOMPARE(field->text(), QString());
    QVERIFY(h.server.waitForReceived(Introduction()));
    QVERIFY(updates.waitForReceived(kVersionRequest));
  }

  void newerProgramStartedEndsThisOne() {
    AppHarness h;
    FakeServer updates;
    UpdateCheck& check = CreateWithCheck(h, updates.port(), "1107");
    TfrmDAVUAdmin& w = *h.w;
    const TestKey key(1);
    const TrustedKeyFolder trusted({&key});
    QVERIFY(QFile::copy(QStringLiteral(DAVU_PROBE_1107), check.localCopy()));
    QVERIFY(WriteWhole(check.localCopy() + ".minisig",
                       key.sign(ReadWhole(QStringLiteral(DAVU_PROBE_1107)), "davu-admin 1.10.7")));

    w.FormActivate();
    QVERIFY(WaitUntil([&] { return !h.exits.empty(); }));
    QCOMPARE(h.exits, std::vector<int>{1});
    QCOMPARE(h.fake.starter->starts.size(), std::size_t(1));
    QVERIFY(!w.ClientSocket1->active());
    QVERIFY(!frmDAVUcommon->UpdateTimer->isActive());
    // The main server heard settings requests only, never the introduction.
    QVERIFY(h.server.received().find(Introduction()) == std::string::npos);
  }

  // The update server cannot be reached: a balloon, and five seconds later
  // the main connection goes on to its introduction.
  void unreachableUpdateServerLetsTheIntroductionGoOn() {
    AppHarness h;
    FakeServer updates;
    UpdateCheck& check = CreateWithCheck(h, updates.port(), "1107");
    updates.stopListening();
    QTimer clock;  // the watchdog's five seconds pass once the balloon is up
    clock.setInterval(1);
    connect(&clock, &QTimer::timeout, &check, [&] {
      if (h.fake.dialogs->balloons.empty() || !common_->UpdateTimer->isActive()) return;
      if (common_->UpdateTimer->interval() != 5000) return;
      clock.stop();
      check.UpdateTimerTimer();
    });
    clock.start();
    QVERIFY(h.connectAndIntroduce());
    QCOMPARE(h.fake.dialogs->balloons.size(), std::size_t(1));
    QCOMPARE(h.fake.dialogs->balloons.front().text, QStringLiteral("Error in UpdateSocket: 111"));
    QVERIFY(h.fake.starter->starts.empty());
    QVERIFY(h.exits.empty());
  }

 private:
  std::unique_ptr<SettingsSandbox> settings_;
  std::unique_ptr<TfrmDAVUcommon> common_;
};

QTEST_MAIN(UpdateCheckAppTest)
#include "updatecheck_app_test.moc"
