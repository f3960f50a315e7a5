#include <QTest>

#include "WireBytes.h"
#include "protocol/NeutralText.h"

using namespace davu::proto;

class NeutralTextTest : public QObject {
  Q_OBJECT

 private slots:
  void texts_data() {
    QTest::addColumn<QByteArray>("got");
    QTest::addColumn<QByteArray>("expected");
    auto row = [](const char* name, const std::string& got, const char* expected) {
      QTest::newRow(name) << QByteArray::fromStdString(got) << QByteArray::fromStdString(W(expected));
    };
    row("plain", NeutralText("abc"), "abc");
    row("currency", NeutralText(W("a¤b¤")), "a?b?");
    row("frame markers", NeutralText("#DATASTART#x#DATAEND#"), "# DATASTART#x# DATAEND#");
    row("cutters", NeutralText("a:b~c", ":~", '_'), "a_b_c");
    row("field of a ':' message", FieldText(W("a:b~c¤"), ':'), "a;b~c?");
    row("field of a '~' message", FieldText("a:b~c", '~'), "a:b-c");
    row("error reply", ErrorReply(W("unknown ¤GETFOO:x #DATAEND#")),
        "ERROR: unknown ?GETFOO:x # DATAEND#");
    row("empty error reply", ErrorReply(""), "ERROR: ");
  }
  void texts() {
    QFETCH(QByteArray, got);
    QFETCH(QByteArray, expected);
    QCOMPARE_BYTES(got.toStdString(), expected.toStdString());
  }

  // Every byte but "¤" survives, in any position.
  void everyByte() {
    for (int b = 0; b < 256; ++b) {
      const std::string text(3, static_cast<char>(b));
      const std::string expected(3, b == 0xA4 ? '?' : static_cast<char>(b));
      QVERIFY2(NeutralText(text) == expected, qPrintable(QString::number(b)));
    }
  }
};

QTEST_APPLESS_MAIN(NeutralTextTest)
#include "neutraltext_test.moc"
