// The connection socket against a real loopback server, one row of its event
// contract per test.
#include <QAbstractSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <sys/socket.h>

#include "ClientSocket.h"
#include "FakeServer.h"

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
