#include <QTest>

#include "protocol/WireCodec.h"

using namespace davu::proto;

class WireCodecTest : public QObject {
  Q_OBJECT

 private slots:
  void everyByteRoundTrips() {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const std::u16string text = DecodeCp1252(all);
    QCOMPARE(text.size(), std::size_t(256));
    QVERIFY(EncodeCp1252(text) == all);
  }

  // The UTF-8 form of every byte is what the decoded text encodes to.
  void everyByteAsUtf8() {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    std::string utf8 = "x";
    AppendCp1252AsUtf8(utf8, all);
    const std::u16string text = DecodeCp1252(all);
    QCOMPARE(QByteArray::fromStdString(utf8),
             "x" + QString::fromUtf16(text.data(), qsizetype(text.size())).toUtf8());
  }

  void knownCharacters_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("unicode");
    QTest::newRow("currency") << 0xA4 << 0x00A4;
    QTest::newRow("a-ring") << 0xE5 << 0x00E5;
    QTest::newRow("A-umlaut") << 0xC4 << 0x00C4;
    QTest::newRow("o-umlaut") << 0xF6 << 0x00F6;
    QTest::newRow("euro") << 0x80 << 0x20AC;
    QTest::newRow("en dash") << 0x96 << 0x2013;
    QTest::newRow("right quote") << 0x92 << 0x2019;
    QTest::newRow("Y diaeresis") << 0x9F << 0x0178;
    QTest::newRow("undefined 81") << 0x81 << 0x0081;
    QTest::newRow("undefined 8D") << 0x8D << 0x008D;
    QTest::newRow("undefined 8F") << 0x8F << 0x008F;
    QTest::newRow("undefined 90") << 0x90 << 0x0090;
    QTest::newRow("undefined 9D") << 0x9D << 0x009D;
    QTest::newRow("nul") << 0x00 << 0x0000;
  }
  void knownCharacters() {
    QFETCH(int, byte);
    QFETCH(int, unicode);
    const std::string bytes(1, static_cast<char>(byte));
    QCOMPARE(int(DecodeCp1252(bytes).at(0)), unicode);
    QVERIFY(EncodeCp1252(std::u16string(1, char16_t(unicode))) == bytes);
  }

  void missingCharactersBecomeQuestionMarks() {
    // Cyrillic, a C1 control the code page uses for a letter, and an emoji
    // (one character in two UTF-16 units) each become one "?".
    const std::u16string text = u"a\u0416b\u0080c\U0001F600d";
    QCOMPARE(QString::fromStdString(EncodeCp1252(text)), QStringLiteral("a?b?c?d"));
    const std::u16string lone = u"x\xD800y";
    QCOMPARE(QString::fromStdString(EncodeCp1252(lone)), QStringLiteral("x?y"));
  }
};

QTEST_APPLESS_MAIN(WireCodecTest)
#include "wirecodec_test.moc"
