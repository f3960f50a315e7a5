#include <QTest>

#include "WireBytes.h"
#include "protocol/MessageScanner.h"
#include "protocol/RegisterLists.h"

using namespace davu::proto;

namespace {

// The payload of an encoded reply, as the dispatcher cuts it.
std::string_view Payload(const std::string& message) {
  return MessageScanner(message).next(0).payload(message);
}

CallableRecord Callable(std::string name, std::int64_t lopnr) {
  return {std::move(name), lopnr, "Rum " + std::to_string(lopnr), 255, true, "0701", false};
}

MachineRecord Machine(std::string name, std::int64_t lopnr) {
  return {std::move(name), lopnr, "Reception", 65280, 1, true, "IMEI", "extra"};
}

}  // namespace

class RegisterListsTest : public QObject {
  Q_OBJECT

 private slots:
  // The bytes davu-server has always sent.
  void encodedBytes_data() {
    QTest::addColumn<QByteArray>("encoded");
    QTest::addColumn<QByteArray>("expected");
    auto row = [](const char* name, const std::string& encoded, const char* expected) {
      QTest::newRow(name) << QByteArray::fromStdString(encoded) << QByteArray::fromStdString(W(expected));
    };
    row("callables", EncodeAllCallables({Callable("R1", 3), {"R2", 4, W("Rum två"), 0, false, "", true}}),
        "¤RETALLCALLABLES:R1:3:Rum 3:255:-1:0701:F:R2:4:Rum två:0:0::T:RETALLCALLABLES¤");
    row("no callables", EncodeAllCallables({}), "¤RETALLCALLABLES::RETALLCALLABLES¤");
    row("machines", EncodeAllMachines({Machine("PC12", 5)}),
        "¤RETALLMACHINES:PC12:5:Reception:65280:1:-1:IMEI:extra:RETALLMACHINES¤");
    row("no machines", EncodeAllMachines({}), "¤RETALLMACHINES::RETALLMACHINES¤");
    row("station callables", EncodeStationCallables({7, 3}),
        "¤RETSTATIONCALLABLES:7:0:3:1:RETSTATIONCALLABLES¤");
    row("no station callables", EncodeStationCallables({}), "¤RETSTATIONCALLABLES::RETSTATIONCALLABLES¤");
    row("call list", EncodeCallList({{Callable("R1", 3), 0, 9, "PC:A"}}),
        "¤RETCALLLIST~R1~3~Rum 3~255~-1~0701~F~0~9~PC:A~RETCALLLIST¤");
    row("empty call list", EncodeCallList({}), "¤RETCALLLIST~~RETCALLLIST¤");
    row("sms", EncodeSmsSettings({"vc:norr", "", "1"}), "¤RETSMSSETTINGS:vc;norr::1:RETSMSSETTINGS¤");
    // What would cut a field or the message stands in as something else.
    row("separators and markers in texts",
        EncodeCallList({{{"a~b:c", 1, W("¤x"), 0, false, "#DATAEND#", true}, 0, 1, "n~"}}),
        "¤RETCALLLIST~a-b:c~1~?x~0~0~# DATAEND#~T~0~1~n-~RETCALLLIST¤");
  }
  void encodedBytes() {
    QFETCH(QByteArray, encoded);
    QFETCH(QByteArray, expected);
    QCOMPARE_BYTES(encoded.toStdString(), expected.toStdString());
  }

  void roundTrips() {
    const std::vector<CallableRecord> callables = {Callable("R1", 3), Callable("R2", -1),
                                                   {"X", 2147483647, "", -16777216, false, "", true}};
    QVERIFY(DecodeAllCallables(Payload(EncodeAllCallables(callables))) == callables);
    const std::vector<MachineRecord> machines = {Machine("PC1", 1), {"TV", 2, "", 0, 3, false, "", ""}};
    QVERIFY(DecodeAllMachines(Payload(EncodeAllMachines(machines))) == machines);
    const std::vector<CallListEntry> list = {{Callable("R1", 3), 0, 9, "PC"}, {Callable("R2", 4), 1, 9, "PC"}};
    QVERIFY(DecodeCallList(Payload(EncodeCallList(list))) == list);
    QCOMPARE(DecodeStationCallables(Payload(EncodeStationCallables({7, 3, 5}))),
             std::vector<std::int32_t>({7, 3, 5}));
    const SmsAccountRecord sms{"user", "p~w", "100"};
    QVERIFY(DecodeSmsSettings(Payload(EncodeSmsSettings(sms))) == sms);
    QVERIFY(DecodeAllCallables(Payload(EncodeAllCallables({}))).empty());
    QVERIFY(DecodeAllMachines(Payload(EncodeAllMachines({}))).empty());
    QVERIFY(DecodeCallList(Payload(EncodeCallList({}))).empty());
    QVERIFY(DecodeStationCallables(Payload(EncodeStationCallables({}))).empty());
  }

  // Every byte inside a text arrives as it was sent, but the list's
  // separator and "¤", which arrive as their stand-ins.
  void everyByteInAText() {
    for (int b = 0; b < 256; ++b) {
      const char c = static_cast<char>(b);
      const std::string text = std::string("a") + c + "b";
      for (char sep : {':', '~'}) {
        std::string expected = text;
        if (c == sep) expected[1] = sep == ':' ? ';' : '-';
        if (c == '\xA4') expected[1] = '?';
        CallableRecord r = Callable(text, 1);
        r.mobile = text;
        const auto got = sep == ':' ? DecodeAllCallables(Payload(EncodeAllCallables({r})))
                                    : std::vector<CallableRecord>{
                                          DecodeCallList(Payload(EncodeCallList({{r, 0, 1, text}})))[0].callable};
        QVERIFY2(got.size() == 1 && got[0].name == expected && got[0].mobile == expected,
                 qPrintable(QStringLiteral("byte %1, separator %2").arg(b).arg(sep)));
      }
    }
  }

  // Decoding what a server sent: fields trimmed, numbers that are not
  // numbers give 0, the list ends at the first empty name.
  void decodeLenient() {
    const auto c = DecodeAllCallables(
        W("¤RETALLCALLABLES:  R1 :12x:\tRum\r\n:abc:1,5: 07 :f:  :2:b:0:0::T:R3:"));
    QCOMPARE(c.size(), std::size_t(1));
    QVERIFY(c[0] == (CallableRecord{"R1", 0, "Rum", 0, true, "07", true}));
    QVERIFY(DecodeAllMachines(W("¤RETALLMACHINES::1:x:")).empty());
    QCOMPARE(DecodeStationCallables(W("¤RETSTATIONCALLABLES:x:0:4:1: :2:5:3:")),
             std::vector<std::int32_t>({0, 4}));
    QVERIFY(DecodeAllCallables("").empty());
  }
};

QTEST_APPLESS_MAIN(RegisterListsTest)
#include "registerlists_test.moc"
