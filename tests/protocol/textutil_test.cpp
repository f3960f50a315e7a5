#include <QTest>

#include "WireBytes.h"
#include "protocol/TextUtil.h"

using namespace davu;

using namespace davu::proto;

class TextUtilTest : public QObject {
  Q_OBJECT

 private slots:
  void extractField_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("sep");
    QTest::addColumn<QString>("expected");
    const QString version = QString::fromUtf8("¤RETSERVERVERSION:1.10.1:");
    QTest::newRow("version value") << version << 1 << ":" << "1.10.1";
    QTest::newRow("version head") << version << 0 << ":" << QString::fromUtf8("¤RETSERVERVERSION");
    QTest::newRow("after last value") << version << 2 << ":" << "";
    QTest::newRow("beyond 3") << version << 3 << ":" << "";
    QTest::newRow("beyond 4") << version << 4 << ":" << "";
    QTest::newRow("empty middle") << "a::c" << 1 << ":" << "";
    QTest::newRow("after empty middle") << "a::c" << 2 << ":" << "c";
    QTest::newRow("last without separator") << "a:b" << 1 << ":" << "b";
    QTest::newRow("empty text 0") << "" << 0 << ":" << "";
    QTest::newRow("empty text 3") << "" << 3 << ":" << "";
    QTest::newRow("blanks trimmed") << "x: value :y" << 1 << ":" << "value";
    QTest::newRow("controls trimmed") << "x:\t\r\nv\x01:y" << 1 << ":" << "v";
    QTest::newRow("inner blank kept") << "x:a b:y" << 1 << ":" << "a b";
    QTest::newRow("tilde") << QString::fromUtf8("¤RETCALLLIST~R1~R2~") << 2 << "~" << "R2";
    QTest::newRow("other separator ignored") << "a:b~c" << 1 << "~" << "c";
    QTest::newRow("negative index") << "a:b" << -1 << ":" << "";
  }
  void extractField() {
    QFETCH(QString, text);
    QFETCH(int, index);
    QFETCH(QString, sep);
    QFETCH(QString, expected);
    const std::string bytes = W(text.toStdString());
    const char s = sep.at(0).toLatin1();
    QCOMPARE_BYTES(ExtractField(bytes, index, s), W(expected.toStdString()));
    // The one-pass splitter gives the same fields.
    const FieldList fields(bytes, s);
    QCOMPARE_BYTES(std::string(index < 0 ? std::string_view{} : fields.field(index)),
                   W(expected.toStdString()));
  }

  // raw() gives a field as it stands, blanks and all; the fields joined by
  // the separator give the text back.
  void rawFields() {
    for (const std::string text : {" a :\t: b", "", ":", " ", "a:b:", "  :x:  "}) {
      const FieldList f(text, ':');
      std::string joined;
      for (std::size_t i = 0; i < f.size(); ++i) joined += (i ? ":" : "") + std::string(f.raw(i));
      QCOMPARE_BYTES(joined, text);
      for (std::size_t i = 0; i < f.size(); ++i) QVERIFY(TrimControl(f.raw(i)) == f.field(i));
      QVERIFY(f.raw(f.size()).empty());
    }
  }

  void fieldListAgreesWithExtractFieldEverywhere() {
    const std::string text = " a :b::\x05 c d\t: e:";
    const FieldList fields(text, ':');
    QCOMPARE(fields.size(), std::size_t(6));
    for (int i = 0; i < 10; ++i) QVERIFY(fields.field(i) == ExtractField(text, i, ':'));
  }

  void replaceAll_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("cased");
    QTest::addColumn<QString>("uncased");
    QTest::newRow("version dots") << "1.10.1" << "." << "" << "1101" << "1101";
    QTest::newRow("case matters") << "Abc abc ABC" << "abc" << "x" << "Abc x ABC" << "x x x";
    QTest::newRow("no rescan of replacement") << "aaa" << "a" << "aa" << "aaaaaa" << "aaaaaa";
    QTest::newRow("overlapping left to right") << "aaaa" << "aa" << "b" << "bb" << "bb";
    QTest::newRow("replacement holds pattern") << "xAx" << "A" << "AA" << "xAAx" << "xAAx";
    QTest::newRow("empty pattern") << "abc" << "" << "z" << "abc" << "abc";
    QTest::newRow("pattern at ends") << "abXab" << "ab" << "" << "X" << "X";
    QTest::newRow("not found") << "abc" << "d" << "e" << "abc" << "abc";
    QTest::newRow("longer than text") << "ab" << "abc" << "e" << "ab" << "ab";
    QTest::newRow("sql keyword") << "select * From t" << "FROM" << "from"
                                 << "select * From t" << "select * from t";
  }
  void replaceAll() {
    QFETCH(QString, text);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, cased);
    QFETCH(QString, uncased);
    QCOMPARE(QString::fromStdString(ReplaceAll(text.toStdString(), from.toStdString(), to.toStdString())),
             cased);
    QCOMPARE(QString::fromStdString(
                 ReplaceAllIgnoreCase(text.toStdString(), from.toStdString(), to.toStdString())),
             uncased);
  }

  void ignoreCaseFoldsAsciiLettersOnly() {
    // 0xE5 and 0xC5 ("å", "Å") and '@' / '`' (0x40 / 0x60) are not folded.
    QCOMPARE(FindIgnoreCase("x\xC5y", "\xE5"), std::string_view::npos);
    QCOMPARE(FindIgnoreCase("@", "`"), std::string_view::npos);
    QCOMPARE(FindIgnoreCase("xyZz", "zZ"), std::size_t(2));
    QCOMPARE(FindIgnoreCase("abcabc", "ABC", 1), std::size_t(3));
    QCOMPARE(FindIgnoreCase("abc", "c", 4), std::string_view::npos);
  }

  void largeInputsStayCheap() {
    // 4 MB of separators and a pattern that nearly matches everywhere: a
    // quadratic implementation would not finish in the test's time.
    const std::string seps(4 << 20, ':');
    QCOMPARE(FieldList(seps, ':').size(), seps.size() + 1);
    QVERIFY(ExtractField(seps, int(seps.size()) - 1, ':').empty());
    const std::string as(4 << 20, 'a');
    QCOMPARE(ReplaceAllIgnoreCase(as, "A", "").size(), std::size_t(0));
    QCOMPARE(ReplaceAll(as, "aab", "x").size(), as.size());
  }
};

QTEST_APPLESS_MAIN(TextUtilTest)
#include "textutil_test.moc"
