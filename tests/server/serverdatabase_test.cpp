// What one client may do to the database, and to the other clients' share of
// it: how much it may store in the settings, how long it may hold the write
// lock, and how many SQL workers its reports may take.
#include <QTest>

#include <string>

#include "ServerHarness.h"
#include "protocol/Catalogue.h"

using namespace davu::proto;

class tst_ServerDatabase : public QObject {
  Q_OBJECT

 private slots:
  void settingsAreBounded_data();
  void settingsAreBounded();
};

void tst_ServerDatabase::settingsAreBounded_data() {
  QTest::addColumn<std::string>("key");
  QTest::addColumn<std::string>("value");
  QTest::addColumn<QString>("refusal");  // a piece of the ERROR reply; empty: saved
  const std::string big(64 * 1024, 'v');
  QTest::newRow("64 KiB") << std::string("Ny") << big << "";
  QTest::newRow("a byte more") << std::string("Ny") << big + "v" << "högst 64 KiB";
  QTest::newRow("7 MiB") << std::string("Ny") << std::string(7 << 20, 'v') << "högst 64 KiB";
  QTest::newRow("a new key in a full section") << std::string("Ny") << std::string("1") << "har redan 1000 nycklar";
  QTest::newRow("a key it holds, in a full section") << std::string("K7") << std::string("1") << "";
  QTest::newRow("a key name of 1025 characters") << std::string(1025, 'k') << std::string("1") << "högst 1024 tecken";
}

void tst_ServerDatabase::settingsAreBounded() {
  QFETCH(std::string, key);
  QFETCH(std::string, value);
  QFETCH(QString, refusal);
  ServerHarness h;
  const bool full = QByteArray(QTest::currentDataTag()).contains("full section");
  if (full)
    h.db().exec("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 999)"
                " INSERT INTO SETTINGS SELECT 'DAVU', 'K' || i, 'x' FROM n");
  WireClient c(h.port());
  const std::string got = c.change(SetIniTextGlobal("DAVU", key, value));
  const std::string stored = h.query(("SELECT length(VALUE) FROM SETTINGS WHERE ADDRESS = 'DAVU' AND KEYNAME = '" +
                                      key + "'").c_str());
  if (refusal.isEmpty()) {
    QCOMPARE(got, std::string());
    QCOMPARE(stored, std::to_string(value.size()));
  } else {
    QVERIFY2(got.starts_with("ERROR: ") && got.find(W(refusal.toStdString())) != std::string::npos, got.c_str());
    QCOMPARE(stored, std::string());
  }
  QCOMPARE(h.query("SELECT COUNT(*) FROM SETTINGS"), std::to_string(full ? 1000 : refusal.isEmpty() ? 1 : 0));
}

QTEST_GUILESS_MAIN(tst_ServerDatabase)
#include "serverdatabase_test.moc"
