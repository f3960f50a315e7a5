// Who may connect: the --allow networks. A machine outside every allowed
// network gets its connection closed before a byte is read or written.
#include <QTest>

#include "ServerHarness.h"
#include "protocol/Catalogue.h"
#include "server/AllowList.h"

using namespace davu::server;

class tst_ServerAccess : public QObject {
  Q_OBJECT

 private slots:
  void parse_data();
  void parse();
  void allows_data();
  void allows();
  void emptyListAllowsEveryone();
  void outsiderIsClosedWithoutReply_data();
  void outsiderIsClosedWithoutReply();
};

void tst_ServerAccess::parse_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("error");  // a part of the message; empty: accepted
  QTest::newRow("v4 network") << "192.168.1.0/24" << "";
  QTest::newRow("v4 host") << "127.0.0.1/32" << "";
  QTest::newRow("v4 single address") << "10.1.2.3" << "";
  QTest::newRow("everything v4") << "0.0.0.0/0" << "";
  QTest::newRow("v6 network") << "fd00::/8" << "";
  QTest::newRow("v6 single address") << "::1" << "";
  QTest::newRow("blanks around") << " 10.0.0.0/8 " << "";
  QTest::newRow("host bits set") << "192.168.1.5/24" << "did you mean 192.168.1.0/24?";
  QTest::newRow("v6 host bits set") << "fd00::1/8" << "did you mean fd00::/8?";
  QTest::newRow("prefix too long v4") << "10.0.0.0/33" << "ADDRESS/PREFIX";
  QTest::newRow("prefix too long v6") << "::/129" << "ADDRESS/PREFIX";
  QTest::newRow("negative prefix") << "10.0.0.0/-1" << "ADDRESS/PREFIX";
  QTest::newRow("no prefix after slash") << "10.0.0.0/" << "ADDRESS/PREFIX";
  QTest::newRow("netmask") << "10.0.0.0/255.0.0.0" << "ADDRESS/PREFIX";
  QTest::newRow("host name") << "clinic.example" << "ADDRESS/PREFIX";
  QTest::newRow("empty") << "" << "ADDRESS/PREFIX";
  QTest::newRow("short v4") << "10.1/16" << "ADDRESS/PREFIX";
  QTest::newRow("scoped v6") << "fe80::1%lo/64" << "ADDRESS/PREFIX";
}

void tst_ServerAccess::parse() {
  QFETCH(QString, text);
  QFETCH(QString, error);
  AllowList list;
  QString message;
  QCOMPARE(list.add(text, &message), error.isEmpty());
  QVERIFY2(message.contains(error), qPrintable(message));
  QCOMPARE(list.isEmpty(), !error.isEmpty());
}

void tst_ServerAccess::allows_data() {
  QTest::addColumn<QStringList>("networks");
  QTest::addColumn<QString>("peer");
  QTest::addColumn<bool>("allowed");
  const QStringList clinic{"192.168.1.0/24", "fd00:1::/64"};
  QTest::newRow("inside") << clinic << "192.168.1.77" << true;
  QTest::newRow("first address") << clinic << "192.168.1.0" << true;
  QTest::newRow("last address") << clinic << "192.168.1.255" << true;
  QTest::newRow("next network") << clinic << "192.168.2.1" << false;
  QTest::newRow("v6 inside") << clinic << "fd00:1::42" << true;
  QTest::newRow("v6 outside") << clinic << "fd00:2::42" << false;
  QTest::newRow("v4 through a dual-stack listener") << clinic << "::ffff:192.168.1.9" << true;
  QTest::newRow("mapped outsider") << clinic << "::ffff:192.168.3.9" << false;
  QTest::newRow("loopback not listed") << clinic << "127.0.0.1" << false;
  QTest::newRow("one host") << QStringList{"127.0.0.1/32"} << "127.0.0.1" << true;
  QTest::newRow("its neighbour") << QStringList{"127.0.0.1/32"} << "127.0.0.2" << false;
  QTest::newRow("single address") << QStringList{"10.0.0.7"} << "10.0.0.7" << true;
  QTest::newRow("single address, other") << QStringList{"10.0.0.7"} << "10.0.0.8" << false;
}

void tst_ServerAccess::allows() {
  QFETCH(QStringList, networks);
  QFETCH(QString, peer);
  QFETCH(bool, allowed);
  AllowList list;
  for (const QString& n : networks) QVERIFY(list.add(n, nullptr));
  QCOMPARE(list.allows(QHostAddress(peer)), allowed);
}

void tst_ServerAccess::emptyListAllowsEveryone() {
  AllowList list;
  QVERIFY(list.allows(QHostAddress(QStringLiteral("203.0.113.5"))));
  QVERIFY(list.allows(QHostAddress(QStringLiteral("2001:db8::5"))));
}

void tst_ServerAccess::outsiderIsClosedWithoutReply_data() {
  QTest::addColumn<QString>("from");
  QTest::addColumn<bool>("served");
  QTest::newRow("allowed 127.0.0.1") << "127.0.0.1" << true;
  QTest::newRow("outsider 127.0.0.2") << "127.0.0.2" << false;
  QTest::newRow("outsider 127.0.0.3") << "127.0.0.3" << false;
}

void tst_ServerAccess::outsiderIsClosedWithoutReply() {
  QFETCH(QString, from);
  QFETCH(bool, served);
  ServerOptions o;
  QVERIFY(o.allow.add(QStringLiteral("127.0.0.1/32"), nullptr));
  ServerHarness h(o);
  WireClient c(h.port(), QHostAddress(from));
  // The kernel completes the handshake before the server decides.
  QVERIFY(c.connected());
  c.send(davu::proto::GetAllCallables("PC1"));
  c.send(davu::proto::RegisterUpdateCallable({-1, "Intruder", "", 0, false, "", true}));
  if (served) {
    QVERIFY(!c.exchange(davu::proto::GetServerVersion("PC1", 9), ":RETSERVERVERSION\xA4").empty());
    QCOMPARE(h.query("SELECT NAME FROM CALLABLES"), std::string("Intruder"));
    return;
  }
  QVERIFY(c.waitForClose());
  QCOMPARE(c.unread(), std::string());
  QCOMPARE(h.server().connectionCount(), 0);
  QCOMPARE(h.query("SELECT COUNT(*) FROM CALLABLES"), std::string("0"));
}

QTEST_GUILESS_MAIN(tst_ServerAccess)
#include "serveraccess_test.moc"
