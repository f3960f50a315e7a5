// The connection socket against a real loopback server, one row of its event
// contract per test.
#include <QAbstractSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <sys/socket.h>

#include "FakeServer.h"
#include "common/ClientSocket.h"

using namespace davu;

namespace {

struct Recorder {
  QStringList events;
  std::string bytes;
  void attach(ClientSocket& s) {
    QObject::connect(&s, &ClientSocket::connected, [this] { events << "connect"; });
    QObject::connect(&s, &ClientSocket::disconnected, [this] { events << "disconnect"; });
    QObject::connect(&s, &ClientSocket::errorOccurred,
                     [this](int code) { events << QStringLiteral("error %1").arg(code); });
  }
};

quint16 ClosedPort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  const quint16 port = probe.serverPort();
  probe.close();
  return port;
}

}  // namespace

class ClientSocketTest : public QObject {
  Q_OBJECT

 private slots:
  void openReturnsBeforeTheConnectEvent() {
    FakeServer server;
    ClientSocket s;
    Recorder r;
    r.attach(s);
    s.setAddress("127.0.0.1");
    s.setPort(server.port());
    s.open();
    QVERIFY(r.events.isEmpty());
    QVERIFY(!s.active());
    QVERIFY(WaitUntil([&] { return s.active(); }));
    QCOMPARE(r.events, QStringList{"connect"});
  }

  void hostNameTakesPrecedenceOverAddress() {
    FakeServer server;
    ClientSocket s;
    Recorder r;
    r.attach(s);
    s.setHost("localhost");
    s.setAddress("192.0.2.1");  // would never answer
    s.setPort(server.port());
    s.open();
    QVERIFY(WaitUntil([&] { return s.active(); }));
  }

  void closeEmitsDisconnectBeforeItReturns_data() {
    QTest::addColumn<bool>("waitForConnect");
    QTest::newRow("connected") << true;
    QTest::newRow("still connecting") << false;
  }
  void closeEmitsDisconnectBeforeItReturns() {
    QFETCH(bool, waitForConnect);
    FakeServer server;
    ClientSocket s;
    Recorder r;
    r.attach(s);
    s.setAddress("127.0.0.1");
    s.setPort(server.port());
    s.open();
    if (waitForConnect) QVERIFY(WaitUntil([&] { return s.active(); }));
    r.events.clear();
    s.close();
    QCOMPARE(r.events, QStringList{"disconnect"});
    QVERIFY(!s.active());
    // Nothing of the closed attempt arrives later.
    QTest::qWait(100);
    QCOMPARE(r.events, QStringList{"disconnect"});
  }

  void closeWhenNothingIsOpenIsQuiet() {
    ClientSocket s;
    Recorder r;
    r.attach(s);
    s.close();
    QVERIFY(r.events.isEmpty());
  }

  void refusedConnectionGivesErrorOnly() {
    ClientSocket s;
    Recorder r;
    r.attach(s);
    s.setAddress("127.0.0.1");
    s.setPort(ClosedPort());
    s.open();
    QVERIFY(WaitUntil([&] { return !r.events.isEmpty(); }));
    // No disconnect follows the error: only a pause can show an absence.
    QTest::qWait(100);
    QCOMPARE(r.events, QStringList{"error 111"});
    QVERIFY(!s.active());
  }

  void failedLookupGivesErrorThenDisconnect() {
    ClientSocket s;
    Recorder r;
    r.attach(s);
    s.setHost("no-such-host.invalid");
    s.setPort(4000);
    s.open();
    QVERIFY(WaitUntil([&] { return r.events.size() >= 2; }, 20000));
    QCOMPARE(r.events, (QStringList{"error 1", "disconnect"}));
    QVERIFY(!s.active());
  }

  // A number outside 1..65535 is not cut down to some other port.
  void portOutsideTheRangeFails_data() {
    QTest::addColumn<int>("offset");
    QTest::newRow("above 65535") << 65536;
    QTest::newRow("negative") << -131072;
  }
  void portOutsideTheRangeFails() {
    QFETCH(int, offset);
    FakeServer server;
    ClientSocket s;
    Recorder r;
    r.attach(s);
    s.setAddress("127.0.0.1");
    s.setPort(int(server.port()) + offset);
    s.open();
    QVERIFY(WaitUntil([&] { return !r.events.isEmpty(); }));
    QVERIFY2(r.events.first().startsWith("error "), qPrintable(r.events.join(',')));
    QVERIFY(!s.active());
    QVERIFY(!server.hasConnection());
    QCOMPARE(s.port(), int(server.port()) + offset);
  }

  // The disconnect that follows a failed lookup belongs to that attempt: a
  // new attempt started from the error handler does not receive it.
  void lookupDisconnectStaysWithItsAttempt() {
    FakeServer server;
    ClientSocket s;
    Recorder r;
    r.attach(s);
    QObject::connect(&s, &ClientSocket::errorOccurred, [&] {
      s.setHost(QString());
      s.setAddress("127.0.0.1");
      s.setPort(server.port());
      s.open();
    });
    s.setHost("no-such-host.invalid");
    s.setPort(4000);
    s.open();
    QVERIFY(WaitUntil([&] { return s.active(); }, 20000));
    // Nor does it arrive late, after the new connect.
    QTest::qWait(50);
    QCOMPARE(r.events, (QStringList{"error 1", "connect"}));
  }

  // A read notice still queued for an old attempt when a new one opens
  // leaves the new connection hearing its bytes.
  void openAfterAQueuedReadNoticeStillHears() {
    FakeServer server;
    ClientSocket s;
    int notices = 0;
    QObject::connect(&s, &ClientSocket::readReady, [&] { ++notices; });
    QVERIFY(server.connectClient(s));
    server.send("old");
    // Run the event loop one step at a time until the bytes were taken off
    // the Qt socket but the notice for them has not been delivered yet.
    bool queued = false;
    for (int i = 0; i < 100000 && !queued && notices == 0; ++i) {
      QCoreApplication::processEvents();
      queued = !s.takeBytes().empty() && notices == 0;
    }
    QVERIFY(queued);
    s.setAddress("127.0.0.1");
    s.setPort(server.port());
    s.open();
    QVERIFY(WaitUntil([&] { return s.active(); }));
    QVERIFY(WaitUntil([&] { return server.hasConnection(); }));
    notices = 0;
    server.send("new");
    QVERIFY(WaitUntil([&] { return notices > 0; }, 2000));
    QCOMPARE(s.takeBytes(), std::string("new"));
  }

  void peerCloseAndPeerResetBothDisconnect_data() {
    QTest::addColumn<bool>("reset");
    QTest::newRow("close") << false;
    QTest::newRow("reset") << true;
  }
  void peerCloseAndPeerResetBothDisconnect() {
    QFETCH(bool, reset);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    ClientSocket s;
    Recorder r;
    r.attach(s);
    s.setAddress("127.0.0.1");
    s.setPort(server.serverPort());
    s.open();
    QVERIFY(WaitUntil([&] { return s.active() && server.hasPendingConnections(); }));
    QTcpSocket* peer = server.nextPendingConnection();
    if (reset) {
      linger l{1, 0};  // closing with linger 0 sends RST
      ::setsockopt(static_cast<int>(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &l, sizeof l);
      peer->abort();
    } else {
      peer->disconnectFromHost();
    }
    QVERIFY(WaitUntil([&] { return !s.active(); }));
    // No error follows the disconnect.
    QTest::qWait(50);
    QCOMPARE(r.events, (QStringList{"connect", "disconnect"}));
    delete peer;
  }

  void readHandlerTakesEverythingAndSendEncodes() {
    FakeServer server;
    ClientSocket s;
    std::string got;
    QObject::connect(&s, &ClientSocket::readReady, [&] { got += s.takeBytes(); });
    s.sendText(QStringLiteral("ignored before connect"));
    QVERIFY(server.connectClient(s));
    s.sendText(QStringLiteral("¤GETKLINIKNAMN:åäö:GETKLINIKNAMN¤"));
    QVERIFY(server.waitForReceived("GETKLINIKNAMN\xA4"));
    QCOMPARE(server.received(), std::string("\xA4GETKLINIKNAMN:\xE5\xE4\xF6:GETKLINIKNAMN\xA4"));
    server.send("first ");
    server.send("second");
    QVERIFY(WaitUntil([&] { return got == "first second"; }));
  }

  // A handler that waits in a nested event loop is entered again for bytes
  // that arrive meanwhile, so a reply it waits for on the same connection
  // reaches it without a time-out.
  void readHandlerIsReenteredWhileItWaits() {
    FakeServer server;
    ClientSocket s;
    QStringList seen;
    bool innerArrived = false;
    QObject::connect(&s, &ClientSocket::readReady, [&] {
      const std::string bytes = s.takeBytes();
      seen << QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
      if (bytes == "question") {
        server.send("answer");
        QVERIFY(WaitUntil([&] { return innerArrived; }, 3000));
      } else if (bytes == "answer") {
        innerArrived = true;
      }
    });
    QVERIFY(server.connectClient(s));
    server.send("question");
    QVERIFY(WaitUntil([&] { return seen.size() == 2; }));
    QCOMPARE(seen, (QStringList{"question", "answer"}));
  }

  void osErrorCodes_data() {
    QTest::addColumn<int>("qtError");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("code");
    QTest::newRow("refused") << int(QAbstractSocket::ConnectionRefusedError) << "" << 111;
    QTest::newRow("lookup") << int(QAbstractSocket::HostNotFoundError) << "" << 1;
    QTest::newRow("unreachable") << int(QAbstractSocket::NetworkError) << "Host unreachable" << 113;
    QTest::newRow("net unreachable") << int(QAbstractSocket::NetworkError) << "Network unreachable" << 101;
    QTest::newRow("timed out (system)") << int(QAbstractSocket::NetworkError) << "Connection timed out" << 110;
    QTest::newRow("timed out (Qt)") << int(QAbstractSocket::SocketTimeoutError) << "" << 110;
    QTest::newRow("reset") << int(QAbstractSocket::RemoteHostClosedError) << "" << 104;
  }
  void osErrorCodes() {
    QFETCH(int, qtError);
    QFETCH(QString, text);
    QFETCH(int, code);
    QCOMPARE(ClientSocket::osErrorCode(qtError, text), code);
  }
};

QTEST_MAIN(ClientSocketTest)
#include "clientsocket_test.moc"
