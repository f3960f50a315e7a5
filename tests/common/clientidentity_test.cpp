// Client and machine names: the settings that choose the client name, and
// the remote-session order (Citrix, then terminal services, then nothing).
#include <QHostInfo>
#include <QtTest>
#include <memory>

#include "FakePlatform.h"
#include "SettingsSandbox.h"
#include "common/ClientIdentity.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"

using namespace davu;

using davu::platform::Hive;

class ClientIdentityTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    ResetSharedState();
    settings_ = std::make_unique<SettingsSandbox>();
    fakes_ = std::make_unique<FakePlatform>();
    SettingsRootName = QStringLiteral("_opt_davu_admin\\");
  }
  void cleanup() {
    fakes_.reset();
    settings_.reset();
  }

  void clientName_data() {
    QTest::addColumn<QString>("useDefault");  // "-": not stored
    QTest::addColumn<QString>("clientName");
    QTest::addColumn<QString>("computer");
    QTest::addColumn<QString>("expected");
    QTest::newRow("nothing stored") << "-" << "-" << "RECEPTION01" << "RECEPTION01_Admin";
    QTest::newRow("automatic") << "1" << "Kassa" << "RECEPTION01" << "RECEPTION01_Admin";
    QTest::newRow("manual without name") << "0" << "-" << "RECEPTION01" << "";
    QTest::newRow("manual") << "0" << "Kassa 3" << "RECEPTION01" << "Kassa 3";
    QTest::newRow("1 and a blank is manual") << "1 " << "Kassa 3" << "RECEPTION01" << "Kassa 3";
    QTest::newRow("stored ERROR means default") << "ERROR" << "Kassa" << "PC7" << "PC7_Admin";
    QTest::newRow("no machine name") << "1" << "-" << "" << "_Admin";
  }
  void clientName() {
    QFETCH(QString, useDefault);
    QFETCH(QString, clientName);
    QFETCH(QString, computer);
    QFETCH(QString, expected);
    const QString sub = QStringLiteral("SOFTWARE\\Solvarn\\_opt_davu_admin\\DAVU");
    if (useDefault != QLatin1String("-"))
      QVERIFY(RegWriteText(Hive::CurrentUser, sub, QStringLiteral("ClientNameUseDefault"), useDefault));
    if (clientName != QLatin1String("-"))
      QVERIFY(RegWriteText(Hive::CurrentUser, sub, QStringLiteral("ClientName"), clientName));
    fakes_->host->computer = computer;
    QCOMPARE(GetClientName(), expected);
    // Worked out afresh on every call.
    fakes_->host->computer = QStringLiteral("OTHER");
    if (expected.endsWith(QLatin1String("_Admin"))) QCOMPARE(GetClientName(), QStringLiteral("OTHER_Admin"));
  }

  void machineName_data() {
    QTest::addColumn<bool>("remote");
    QTest::addColumn<bool>("citrixOk");
    QTest::addColumn<QString>("citrixName");
    QTest::addColumn<QString>("citrixThrows");
    QTest::addColumn<QString>("tsName");
    QTest::addColumn<QString>("tsThrows");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QString>("message");
    const QString head = QStringLiteral("Det gick inte att hämta datornamnet i fjärrsessionen!\r\r");
    QTest::newRow("desktop") << false << true << "CTX" << "" << "TS" << "" << "RECEPTION01" << QStringList{} << "";
    QTest::newRow("citrix first") << true << true << "CTX-DEV" << "" << "TS-DEV" << "" << "CTX-DEV"
                                  << QStringList{"citrix"} << "";
    QTest::newRow("no citrix: terminal services") << true << false << "" << "" << "TS-DEV" << "" << "TS-DEV"
                                                  << QStringList{"citrix", "ts"} << "";
    QTest::newRow("blank citrix name") << true << true << " \t" << "" << "TS-DEV" << "" << "TS-DEV"
                                       << QStringList{"citrix", "ts"} << "";
    QTest::newRow("citrix fails") << true << true << "" << "no wfapi" << "TS-DEV" << "" << "TS-DEV"
                                  << QStringList{"citrix", "ts"} << "";
    QTest::newRow("both fail") << true << true << "" << "no wfapi" << "" << "no wts" << ""
                               << QStringList{"citrix", "ts"} << head + "Citrix: no wfapi\rTerminalServer: no wts";
    QTest::newRow("terminal services fails twice")
        << true << false << "" << "" << "" << "no wts" << "" << QStringList{"citrix", "ts", "ts"}
        << head + "Citrix: no wts\rTerminalServer: no wts";
    QTest::newRow("no name anywhere") << true << false << "" << "" << "" << "" << "" << QStringList{"citrix", "ts"} << "";
  }
  void machineName() {
    QFETCH(bool, remote);
    QFETCH(bool, citrixOk);
    QFETCH(QString, citrixName);
    QFETCH(QString, citrixThrows);
    QFETCH(QString, tsName);
    QFETCH(QString, tsThrows);
    QFETCH(QString, expected);
    QFETCH(QStringList, calls);
    QFETCH(QString, message);
    FakeHostIdentity& host = *fakes_->host;
    host.remote = remote;
    host.citrixOk = citrixOk;
    host.citrixName = citrixName;
    host.citrixThrows = citrixThrows;
    host.tsName = tsName;
    host.tsThrows = tsThrows;
    QCOMPARE(GetMachineName(), expected);
    QCOMPARE(host.calls, calls);
    QCOMPARE(fakes_->dialogs->infoMessages, message.isEmpty() ? QStringList{} : QStringList{message});
  }

  // On Linux: the host's short name, never a remote session.
  void linuxHost() {
    fakes_.reset();
    QString host = QHostInfo::localHostName();
    host = host.left(host.indexOf(u'.') > 0 ? host.indexOf(u'.') : host.size());
    QCOMPARE(GetMachineName(), host);
    QVERIFY(!davu::platform::hostIdentity().isRemoteSession());
  }

 private:
  std::unique_ptr<SettingsSandbox> settings_;
  std::unique_ptr<FakePlatform> fakes_;
};

QTEST_GUILESS_MAIN(ClientIdentityTest)
#include "clientidentity_test.moc"
