// The hidden common window: its parts, the reply timer, the suspend and
// resume actions against an in-process server, and logind's PrepareForSleep
// on a private D-Bus.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "FakePlatform.h"
#include "FakeServer.h"
#include "common/ClientSocket.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "common/platform/SleepWatcher.h"
#include "widgets/UDAVUcommon.h"

using namespace davu;

class DavuCommonTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    ResetSharedState();
    fakes_ = std::make_unique<FakePlatform>();
  }
  void cleanup() {
    ServerSocket = nullptr;
    socket_.reset();
    server_.reset();
    fakes_.reset();
  }

  void parts() {
    {
      TfrmDAVUcommon common(false);
      QCOMPARE(frmDAVUcommon, &common);
      QVERIFY(!common.isVisible());
      QCOMPARE(common.SocketTimer->interval(), 5000);
      QVERIFY(!common.SocketTimer->isActive());
      QCOMPARE(common.UpdateTimer->interval(), 5000);
      QVERIFY(!common.UpdateTimer->isActive());
      QCOMPARE(common.UpdateSocket->port(), 0);
      QVERIFY(!common.UpdateSocket->active());
      QVERIFY(!common.DataNotReady);
      QVERIFY(!common.DataIsNewFile);
      QCOMPARE(common.ImageList1.size(), 3);
      QVERIFY(!common.BalloonHint());  // made at first use
      for (const char* name : {"SocketTimer", "UpdateSocket", "UpdateTimer"})
        QVERIFY(common.findChild<QObject*>(QLatin1String(name)));

      SettingReplyTimedOut = false;
      common.SocketTimer->start();
      common.SocketTimerTimer();
      QVERIFY(SettingReplyTimedOut);
      QVERIFY(!common.SocketTimer->isActive());
    }
    QCOMPARE(frmDAVUcommon, nullptr);
  }

  void powerEvents_data() {
    QTest::addColumn<bool>("haveSocket");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<int>("event");
    QTest::addColumn<QList<int>>("sleeps");
    QTest::addColumn<bool>("activeAfter");
    QTest::addColumn<int>("connectionsAfter");  // connections the server accepted
    QTest::newRow("suspend while connected") << true << true << 4 << QList<int>{} << false << 1;
    QTest::newRow("suspend, not connected") << true << false << 4 << QList<int>{} << false << 1;
    QTest::newRow("suspend before any connection") << false << false << 4 << QList<int>{} << false << 0;
    QTest::newRow("resume while connected") << true << true << 7 << QList<int>{10000} << true << 2;
    QTest::newRow("resume after a lost connection") << true << false << 7 << QList<int>{10000} << true << 2;
    QTest::newRow("resume before any connection") << false << false << 7 << QList<int>{10000} << false << 0;
    QTest::newRow("other event") << true << true << 10 << QList<int>{} << true << 1;
  }
  void powerEvents() {
    QFETCH(bool, haveSocket);
    QFETCH(bool, connected);
    QFETCH(int, event);
    QFETCH(QList<int>, sleeps);
    QFETCH(bool, activeAfter);
    QFETCH(int, connectionsAfter);
    TfrmDAVUcommon common(false);
    server_ = std::make_unique<FakeServer>();
    int accepted = 0;
    connect(server_.get(), &FakeServer::clientConnected, this, [&accepted] { ++accepted; });
    if (haveSocket) {
      socket_ = std::make_unique<ClientSocket>();
      socket_->setAddress(QStringLiteral("127.0.0.1"));
      socket_->setPort(server_->port());
      socket_->open();
      QVERIFY(WaitUntil([this] { return socket_->active(); }));
      QVERIFY(server_->waitForConnection());
      ServerSocket = socket_.get();
      if (!connected) {
        socket_->close();
        QVERIFY(WaitUntil([this] { return !server_->hasConnection(); }));
      }
    }
    common.PowerBroadcast(event);
    QCOMPARE(QList<int>(fakes_->sleeper->sleeps.begin(), fakes_->sleeper->sleeps.end()), sleeps);
    if (activeAfter) QVERIFY(WaitUntil([this] { return socket_->active(); }));
    if (haveSocket) QCOMPARE(socket_->active(), activeAfter);
    QVERIFY(WaitUntil([&] { return accepted == connectionsAfter; }));
    if (haveSocket && !activeAfter) QVERIFY(WaitUntil([this] { return !server_->hasConnection(); }));
  }

  void noBusIsSilent() {
    SleepWatcher watcher(QDBusConnection(QStringLiteral("no such connection")));
    QVERIFY(!watcher.listening());
  }

  // logind's signal on a private bus drives the two actions.
  void prepareForSleepSignal() {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty()) QSKIP("dbus-daemon is not installed");
    QProcess bus;
    bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    QVERIFY(bus.waitForStarted());
    QVERIFY(bus.waitForReadyRead(10000));
    const QString address = QString::fromLatin1(bus.readLine()).trimmed();
    {
      QDBusConnection conn = QDBusConnection::connectToBus(address, QStringLiteral("h2-sleep-test"));
      QVERIFY(conn.isConnected());
      SleepWatcher watcher(conn, QString());
      QVERIFY(watcher.listening());
      QSignalSpy suspending(&watcher, &SleepWatcher::suspending);
      QSignalSpy resumed(&watcher, &SleepWatcher::resumed);
      for (bool start : {true, false}) {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                         QStringLiteral("org.freedesktop.login1.Manager"),
                                                         QStringLiteral("PrepareForSleep"));
        signal << start;
        QVERIFY(conn.send(signal));
        QVERIFY(WaitUntil([&] { return (start ? suspending.count() : resumed.count()) == 1; }));
      }
      QCOMPARE(suspending.count(), 1);
      QCOMPARE(resumed.count(), 1);
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("h2-sleep-test"));
    bus.kill();
    bus.waitForFinished();
  }

 private:
  std::unique_ptr<FakePlatform> fakes_;
  std::unique_ptr<FakeServer> server_;
  std::unique_ptr<ClientSocket> socket_;
};

QTEST_MAIN(DavuCommonTest)
#include "davucommon_test.moc"
