#include <QTest>

#include "WireBytes.h"
#include "protocol/TextRules.h"

using namespace davu;

using namespace davu::proto;

class TextRulesTest : public QObject {
  Q_OBJECT

 private slots:
  // Every byte value at both ends: codes 0..32 go, everything else stays.
  void trimControlEveryByte() {
    for (int b = 0; b < 256; ++b) {
      const std::string c(1, static_cast<char>(b));
      const std::string text = c + "a" + c + "b" + c;
      const std::string_view kept = TrimControl(text);
      const std::string expected = b <= 32 ? "a" + c + "b" : text;
      QVERIFY2(kept == expected, qPrintable(QString::number(b)));
      const std::u16string wide(1, static_cast<char16_t>(b));
      const std::u16string wideText = wide + u"a" + wide;
      QCOMPARE(TrimControl(std::u16string_view(wideText)).size(), std::size_t(b <= 32 ? 1 : 3));
    }
    QVERIFY(TrimControl(std::string_view(" \t\r\n\x01 ")).empty());
    QVERIFY(TrimControl(std::string_view()).empty());
    // Beyond Latin-1 nothing counts as blank.
    QCOMPARE(TrimControl(std::u16string_view(u"\u3000x\u2028")).size(), std::size_t(3));
  }

  void wholeNumberOr0_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << QByteArray("12") << 12;
    QTest::newRow("negative") << QByteArray("-5") << -5;
    QTest::newRow("plus") << QByteArray("+7") << 7;
    QTest::newRow("trailing letter") << QByteArray("12x") << 0;
    QTest::newRow("letters") << QByteArray("abc") << 0;
    QTest::newRow("empty") << QByteArray("") << 0;
    QTest::newRow("two signs") << QByteArray("+-1") << 0;
    QTest::newRow("too big") << QByteArray("2147483648") << 0;
    QTest::newRow("smallest") << QByteArray("-2147483648") << int(-2147483648LL);
    QTest::newRow("white") << QByteArray("16777215") << 16777215;
    QTest::newRow("blanks trimmed") << QByteArray(" \t42\r\n") << 42;
    QTest::newRow("decimal comma") << QByteArray("1,5") << 0;
  }
  void wholeNumberOr0() {
    QFETCH(QByteArray, text);
    QFETCH(int, value);
    QCOMPARE(WholeNumberOr0(text.toStdString()), value);
  }

  // The server refuses what is not a whole number; it takes "+-5", as it
  // always has, and the whole 64-bit range.
  void parseWholeNumber_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint64>("value");
    QTest::newRow("plain") << QByteArray("12") << true << qint64(12);
    QTest::newRow("plus") << QByteArray("+7") << true << qint64(7);
    QTest::newRow("plus minus") << QByteArray("+-5") << true << qint64(-5);
    QTest::newRow("blanks") << QByteArray(" 3 ") << true << qint64(3);
    QTest::newRow("beyond 32 bits") << QByteArray("4294967296") << true << qint64(4294967296LL);
    QTest::newRow("beyond 64 bits") << QByteArray("9223372036854775808") << false << qint64(0);
    QTest::newRow("trailing letter") << QByteArray("12x") << false << qint64(0);
    QTest::newRow("sign only") << QByteArray("+") << false << qint64(0);
    QTest::newRow("empty") << QByteArray("") << false << qint64(0);
    QTest::newRow("decimal comma") << QByteArray("1,5") << false << qint64(0);
  }
  void parseWholeNumber() {
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    QFETCH(qint64, value);
    const auto got = ParseWholeNumber(text.toStdString());
    QCOMPARE(got.has_value(), ok);
    if (ok) QCOMPARE(qint64(*got), value);
  }

  // Columns: the client's rule with false and with true as default, and the
  // server's rule.
  void truthTexts_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("withFalseDefault");
    QTest::addColumn<int>("withTrueDefault");
    QTest::addColumn<int>("server");
    QTest::newRow("-1") << QByteArray("-1") << 1 << 1 << 1;
    QTest::newRow("0") << QByteArray("0") << 0 << 0 << 0;
    QTest::newRow("00") << QByteArray("00") << 0 << 0 << 0;
    QTest::newRow("5") << QByteArray("5") << 1 << 1 << 1;
    QTest::newRow("True") << QByteArray("True") << 1 << 1 << 1;
    QTest::newRow("tRUE") << QByteArray("tRUE") << 1 << 1 << 1;
    QTest::newRow("False") << QByteArray("False") << 0 << 0 << 0;
    QTest::newRow("false") << QByteArray("false") << 0 << 0 << 0;
    QTest::newRow("empty") << QByteArray("") << 0 << 1 << 0;
    QTest::newRow("word") << QByteArray("Ja") << 0 << 1 << 0;
    QTest::newRow("Truex") << QByteArray("Truex") << 0 << 1 << 0;
    // The client reads numbers with the program's decimal comma; the server
    // only whole numbers.
    QTest::newRow("fraction") << QByteArray("1,5") << 1 << 1 << 0;
    QTest::newRow("zero fraction") << QByteArray("0,0") << 0 << 0 << 0;
    QTest::newRow("small fraction") << QByteArray("-0,25") << 1 << 1 << 0;
    QTest::newRow("point is not the decimal sign") << QByteArray("1.5") << 0 << 1 << 0;
    QTest::newRow("two commas") << QByteArray("1,5,0") << 0 << 1 << 0;
    QTest::newRow("comma only") << QByteArray(",") << 0 << 1 << 0;
    QTest::newRow("sign only") << QByteArray("-") << 0 << 1 << 0;
    QTest::newRow("longer than any type") << QByteArray("99999999999999999999") << 1 << 1 << 0;
    QTest::newRow("blanks") << QByteArray(" -1\t") << 1 << 1 << 1;
  }
  void truthTexts() {
    QFETCH(QByteArray, text);
    QFETCH(int, withFalseDefault);
    QFETCH(int, withTrueDefault);
    QFETCH(int, server);
    QCOMPARE(int(TruthOf(text.toStdString(), false)), withFalseDefault);
    QCOMPARE(int(TruthOf(text.toStdString(), true)), withTrueDefault);
    QCOMPARE(int(WholeNumberTruthOf(text.toStdString())), server);
  }
};

QTEST_APPLESS_MAIN(TextRulesTest)
#include "textrules_test.moc"
