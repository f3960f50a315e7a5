#include <QTest>

#include "WireBytes.h"
#include "protocol/MessageScanner.h"

using namespace davu::proto;

namespace {

// Every message the scanner finds from the start, one per line:
// "tag sep body" for a complete one, "unclosed tag" for the first opening
// without its closing marker (where the server stops).
QStringList ScanAll(std::string_view text, std::span<const ReplyKind> kinds) {
  QStringList out;
  MessageScanner scanner(text, kinds);
  for (std::size_t p = 0;;) {
    const MessageAt m = scanner.next(p);
    if (m.state == MessageAt::None) return out;
    if (m.state == MessageAt::Unclosed) {
      out << QStringLiteral("unclosed ") + Show(m.tag(text));
      p = m.from + 1;
      continue;
    }
    out << Show(m.tag(text)) + u' ' + QChar(m.sep) + u' ' + Show(m.body(text));
    p = m.end;
  }
}

}  // namespace

class MessageScannerTest : public QObject {
  Q_OBJECT

 private slots:
  void anyTag_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("found");
    auto row = [](const char* name, const char* text, QStringList found) {
      QTest::newRow(name) << QString::fromUtf8(text) << found;
    };
    row("nothing", "no markers here", {});
    row("one", "¤GETALLCALLABLES:¤¤ADMIN¤¤:GETALLCALLABLES¤",
        {QString::fromUtf8("GETALLCALLABLES : ¤¤ADMIN¤¤")});
    row("no body", "¤GETKLINIKNAMN:GETKLINIKNAMN¤", {"GETKLINIKNAMN : "});
    row("empty field", "¤TAG::TAG¤", {"TAG : "});
    row("back to back, blanks between", "x¤A:1:A¤ \r\n¤B~2~B¤",
        {"A : 1", "B ~ 2"});
    row("dollar", "¤EXECSQL$PC$UPDATE x SET t = '10:00'$EXECSQL¤",
        {"EXECSQL $ PC$UPDATE x SET t = '10:00'"});
    row("markers in the body do not cut it",
        "¤REGISTERUPATECALLABLE:5:¤DELETE_ME¤:x:0:%¤::REGISTERUPATECALLABLE¤",
        {QString::fromUtf8("REGISTERUPATECALLABLE : 5:¤DELETE_ME¤:x:0:%¤:")});
    row("another tag's closing marker is body", "¤A:x:B¤:A¤", {QString::fromUtf8("A : x:B¤")});
    row("lower case is no tag", "¤abc:x:abc¤¤A::A¤", {"A : "});
    row("longer than 32 capitals is no tag",
        "¤ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFG:x:ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFG¤", {});
    row("unclosed, then complete", "¤A:x¤B:y:B¤", {"unclosed A", "B : y"});
    row("opening at the end", "¤A:1:A¤¤B", {"A : 1"});
  }
  void anyTag() {
    QFETCH(QString, text);
    QFETCH(QStringList, found);
    QCOMPARE(ScanAll(W(text.toStdString()), {}), found);
  }

  // With kinds, only their openings count, each with its own separator.
  void kinds() {
    static constexpr ReplyKind kKinds[] = {{"RETINITEXT", ':'}, {"RETCALLLIST", '~'}};
    const std::string text =
        W("¤RETINITEXT:v:RETINITEXT¤¤RETCALLLIST:x:RETCALLLIST¤¤RETCALLLIST~R~RETCALLLIST¤¤OTHER:o:OTHER¤");
    QCOMPARE(ScanAll(text, kKinds), QStringList({"RETINITEXT : v", "RETCALLLIST ~ R"}));
    MessageScanner scanner(text, kKinds);
    QCOMPARE(scanner.next(0).kind, std::size_t(0));
    QCOMPARE(scanner.next(1).kind, std::size_t(1));
  }

  // The payload runs from the opening "¤" through the closing marker's
  // separator; the message ends behind the closing marker.
  void payloadAndEnd() {
    const std::string text = W("ab¤RETINITEXT:v:RETINITEXT¤cd");
    const MessageAt m = MessageScanner(text).next(0);
    QCOMPARE(m.state, MessageAt::Complete);
    QCOMPARE_BYTES(m.payload(text), W("¤RETINITEXT:v:"));
    QCOMPARE_BYTES(text.substr(m.end), "cd");
    QCOMPARE(MessageScanner(text).next(m.from + 1).state, MessageAt::None);
  }
};

QTEST_APPLESS_MAIN(MessageScannerTest)
#include "messagescanner_test.moc"
