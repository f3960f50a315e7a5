#include <QTest>

#include "WireBytes.h"
#include "protocol/ReplyCutter.h"
#include "protocol/TextUtil.h"

using namespace davu::proto;

class ReplyCutterTest : public QObject {
  Q_OBJECT

 private slots:
  void cut_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("sep");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("payload");
    QTest::addColumn<QString>("rest");
    QTest::newRow("clinic name") << "¤RETKLINIKNAMN:Kliniken:RETKLINIKNAMN¤" << "RETKLINIKNAMN" << ":"
                                 << true << "¤RETKLINIKNAMN:Kliniken:" << "";
    QTest::newRow("texts around join up")
        << "ab¤RETINITEXT:v:RETINITEXT¤cd" << "RETINITEXT" << ":" << true << "¤RETINITEXT:v:" << "abcd";
    QTest::newRow("first of two")
        << "¤RETINITEXT:1:RETINITEXT¤¤RETINITEXT:2:RETINITEXT¤" << "RETINITEXT" << ":" << true
        << "¤RETINITEXT:1:" << "¤RETINITEXT:2:RETINITEXT¤";
    QTest::newRow("call list tilde")
        << "¤RETCALLLIST~R1~3~RETCALLLIST¤" << "RETCALLLIST" << "~" << true << "¤RETCALLLIST~R1~3~" << "";
    QTest::newRow("no fields") << "x¤RETSQL:RETSQL¤y" << "RETSQL" << ":" << true << "¤RETSQL:" << "xy";
    QTest::newRow("absent") << "¤RETINITEXT:v:RETINITEXT¤" << "RETSQL" << ":" << false << ""
                            << "¤RETINITEXT:v:RETINITEXT¤";
    // A closing marker in front of the opening one is not this message's end.
    QTest::newRow("stray closing first")
        << ":RETINITEXT¤x¤RETINITEXT:v:RETINITEXT¤" << "RETINITEXT" << ":" << true << "¤RETINITEXT:v:"
        << ":RETINITEXT¤x";
    // Without its closing marker the rest of the text is the payload and is
    // removed, so a dispatcher that loops until nothing is consumed ends.
    QTest::newRow("closing missing")
        << "a¤RETKLINIKNAMN:Kli" << "RETKLINIKNAMN" << ":" << true << "¤RETKLINIKNAMN:Kli" << "a";
  }
  void cut() {
    QFETCH(QString, text);
    QFETCH(QString, tag);
    QFETCH(QString, sep);
    QFETCH(bool, found);
    QFETCH(QString, payload);
    QFETCH(QString, rest);
    std::string buffer = W(text.toStdString());
    const auto cut = CutTaggedReply(buffer, tag.toStdString(), sep.at(0).toLatin1());
    QCOMPARE(cut.has_value(), found);
    if (found) QCOMPARE_BYTES(*cut, W(payload.toStdString()));
    QCOMPARE_BYTES(buffer, W(rest.toStdString()));
  }

  void payloadFieldsReadWithExtractField() {
    std::string text = W("¤RETSMSSETTINGS:anv:secret:123:RETSMSSETTINGS¤");
    const auto payload = CutTaggedReply(text, "RETSMSSETTINGS");
    QVERIFY(payload);
    QCOMPARE_BYTES(ExtractField(*payload, 1, ':'), W("anv"));
    QCOMPARE_BYTES(ExtractField(*payload, 3, ':'), W("123"));
    QVERIFY(ExtractField(*payload, 4, ':').empty());
  }
};

QTEST_APPLESS_MAIN(ReplyCutterTest)
#include "replycutter_test.moc"
