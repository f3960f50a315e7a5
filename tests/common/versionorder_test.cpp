// Server versions compared part by part as numbers.
#include <QTest>

#include "common/VersionOrder.h"

using namespace davu;

class VersionOrderTest : public QObject {
  Q_OBJECT

 private slots:
  void versionAtLeast_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("minimum");
    QTest::addColumn<bool>("atLeast");
    const QString m = QStringLiteral("1.10.4");
    QTest::newRow("1.9 is older") << "1.9" << m << false;
    QTest::newRow("1.10.3 is older") << "1.10.3" << m << false;
    QTest::newRow("1.10.4 is the same") << "1.10.4" << m << true;
    QTest::newRow("1.10.10 is newer") << "1.10.10" << m << true;
    QTest::newRow("1.11 is newer") << "1.11" << m << true;
    QTest::newRow("2 is newer") << "2" << m << true;
    QTest::newRow("1.10 is older") << "1.10" << m << false;
    QTest::newRow("1.10.4.0 is the same") << "1.10.4.0" << m << true;
    QTest::newRow("1.10.4.1 is newer") << "1.10.4.1" << m << true;
    QTest::newRow("leading zeros") << "01.010.004" << m << true;
    QTest::newRow("blanks around") << " 1.10.5 " << m << true;
    QTest::newRow("empty is older") << "" << m << false;
    QTest::newRow("letters are older") << "1.10.x" << m << false;
    QTest::newRow("a suffix is older") << "1.10.5b" << m << false;
    QTest::newRow("empty part is older") << "1..5" << m << false;
    QTest::newRow("signed part is older") << "1.+10.5" << m << false;
    QTest::newRow("huge part") << "1.99999999999999999999" << m << false;
    QTest::newRow("1.10.1 minimum") << "1.10.1" << "1.10.1" << true;
    QTest::newRow("1.9.9 below 1.10.1") << "1.9.9" << "1.10.1" << false;
  }
  void versionAtLeast() {
    QFETCH(QString, version);
    QFETCH(QString, minimum);
    QFETCH(bool, atLeast);
    QCOMPARE(VersionAtLeast(version, minimum), atLeast);
  }
};

QTEST_MAIN(VersionOrderTest)
#include "versionorder_test.moc"
