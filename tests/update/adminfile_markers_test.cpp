// davu-admin's program file is sent to other clients inside a program reply,
// which the first marker text in it would cut short. The built file must hold
// none of them.
#include <QFile>
#include <QtTest>

class AdminFileMarkersTest : public QObject {
  Q_OBJECT

 private slots:
  void builtProgramHoldsNoMarker_data() {
    QTest::addColumn<QByteArray>("marker");
    // Spelled in pieces, so that this test's own file does not matter.
    QTest::newRow("frame start") << QByteArray("#DATA").append("START#");
    QTest::newRow("frame end") << QByteArray("#DATA").append("END#");
    QTest::newRow("opening tag") << QByteArray("\xA4RETNEW").append("CLIENT:");
    QTest::newRow("closing tag") << QByteArray(":RETNEW").append("CLIENT\xA4");
  }
  void builtProgramHoldsNoMarker() {
    QFETCH(QByteArray, marker);
    QFile program(QStringLiteral(DAVU_ADMIN_PATH));
    QVERIFY2(program.open(QIODevice::ReadOnly), DAVU_ADMIN_PATH);
    const QByteArray bytes = program.readAll();
    QVERIFY(bytes.size() > 100000);
    const qsizetype at = bytes.indexOf(marker);
    QVERIFY2(at < 0, qPrintable(QStringLiteral("found at byte %1").arg(at)));
  }
};

QTEST_GUILESS_MAIN(AdminFileMarkersTest)
#include "adminfile_markers_test.moc"
