#include <QTest>

#include "WireLiteral.h"
#include "common/Records.h"

using namespace davu;

namespace {

QString Render(const TCallable& c) {
  return QStringLiteral("%1|%2|%3|%4|%5|%6|%7|%8")
      .arg(c.CallableName)
      .arg(c.CallableLopnr)
      .arg(c.CallableFriendlyname)
      .arg(c.CallableColour)
      .arg(c.CallableSendSMS)
      .arg(c.CallableMobilnummer)
      .arg(c.Aktiv)
      .arg(c.Updated);
}

QString Render(const TMachine& m) {
  return QStringLiteral("%1|%2|%3|%4|%5|%6|%7|%8")
      .arg(m.Name)
      .arg(m.Lopnr)
      .arg(m.FriendlyName)
      .arg(m.Color)
      .arg(m.MachineType)
      .arg(m.Connected)
      .arg(m.IMEINumber)
      .arg(m.ExtraText);
}

}  // namespace

class RecordsTest : public QObject {
  Q_OBJECT

 private slots:
  void clientTypeText_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::newRow("call") << 0 << "Call";
    QTest::newRow("show") << 1 << "Show";
    QTest::newRow("admin") << 2 << "Admin";
    QTest::newRow("hardware") << 3 << "Hardware";
    QTest::newRow("unknown") << 9 << "9";
    QTest::newRow("negative") << -1 << "-1";
  }
  void clientTypeText() {
    QFETCH(int, type);
    QFETCH(QString, text);
    QCOMPARE(ClientTypeText(type), text);
  }

  void callableItemText_data() {
    QTest::addColumn<bool>("sms");
    QTest::addColumn<bool>("active");
    QTest::addColumn<QString>("text");
    QTest::newRow("active, no sms") << false << true << "R1, Rum ett";
    QTest::newRow("inactive, no sms") << false << false << "R1, Rum ett (inaktiv)";
    QTest::newRow("active, sms") << true << true << "R1, Rum ett - SMS skickas till 0701234567";
    QTest::newRow("inactive, sms") << true << false << "R1, Rum ett (inaktiv) - SMS skickas till 0701234567";
  }
  void callableItemText() {
    QFETCH(bool, sms);
    QFETCH(bool, active);
    QFETCH(QString, text);
    TCallable c;
    c.CallableName = "R1";
    c.CallableFriendlyname = "Rum ett";
    c.CallableMobilnummer = "0701234567";
    c.CallableSendSMS = sms;
    c.Aktiv = active;
    QCOMPARE(CallableItemText(c), text);
  }

  void machineItemText() {
    TMachine m;
    m.Name = "PC12";
    m.FriendlyName = "Reception";
    QCOMPARE(MachineItemText(m), QStringLiteral("PC12, Reception: Call"));
    m.MachineType = 42;  // a type this program does not know still gives a text
    QCOMPARE(MachineItemText(m), QStringLiteral("PC12, Reception: 42"));
  }

  void decodeCallables_data() {
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QStringList>("records");
    auto row = [](const char* name, const char* payload, QStringList records) {
      QTest::newRow(name) << QByteArray::fromStdString(W(payload)) << records;
    };
    row("empty payload", "", {});
    row("empty first field", "¤RETALLCALLABLES::", {});
    row("two records", "¤RETALLCALLABLES:R1:3:Rum ett:255:-1:0701:T:R2:4:Rum två:0:0::F:",
        {"R1|3|Rum ett|255|1|0701|1|0", "R2|4|Rum två|0|0||0|0"});
    row("empty first field ends the list", "¤RETALLCALLABLES:R1:1:a:0:0::T::2:b:0:0::T:R3:3:c:0:0::T:",
        {"R1|1|a|0|0||1|0"});
    row("active marker only F", "¤RETALLCALLABLES:A:1:a:0:0::f:B:2:b:0:0::0:C:3:c:0:0:::D:4:d:0:0:: F :",
        {"A|1|a|0|0||1|0", "B|2|b|0|0||1|0", "C|3|c|0|0||1|0", "D|4|d|0|0||0|0"});
    row("numbers that are not numbers", "¤RETALLCALLABLES:A:12x:a:abc:0::T:B: -7 :b:-16777216:0::T:",
        {"A|0|a|0|0||1|0", "B|-7|b|-16777216|0||1|0"});
    row("boolean texts", "¤RETALLCALLABLES:A:1::0:True:::B:2::0:2:::C:3::0:ja:::D:4::0:FALSE:::",
        {"A|1||0|1||1|0", "B|2||0|1||1|0", "C|3||0|0||1|0", "D|4||0|0||1|0"});
    row("blanks trimmed", "¤RETALLCALLABLES:  R1 :1:\tRum\r\n:0:0: 07 :T:", {"R1|1|Rum|0|0|07|1|0"});
    row("colon in a name shifts the fields", "¤RETALLCALLABLES:R:x:1:a:0:0::T:",
        {"R|0|1|0|0|0|1|0", "T|0||0|0||1|0"});
    row("cut short", "¤RETALLCALLABLES:R1:5", {"R1|5||0|0||1|0"});
  }
  void decodeCallables() {
    QFETCH(QByteArray, payload);
    QFETCH(QStringList, records);
    QStringList got;
    for (const CallablePtr& c : DecodeCallableList(payload.toStdString())) got << Render(*c);
    QCOMPARE(got, records);
  }

  void decodeMachines_data() {
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QStringList>("records");
    auto row = [](const char* name, const char* payload, QStringList records) {
      QTest::newRow(name) << QByteArray::fromStdString(W(payload)) << records;
    };
    row("empty first field", "¤RETALLMACHINES::1:x:", {});
    row("two records", "¤RETALLMACHINES:PC12:5:Reception:65280:0:-1:IMEI1:extra:TV1:6:Väntrum:0:1:0:::",
        {"PC12|5|Reception|65280|0|1|IMEI1|extra", "TV1|6|Väntrum|0|1|0||"});
    row("unknown type kept", "¤RETALLMACHINES:X:1:a:0:7:true:::", {"X|1|a|0|7|1||"});
    row("bad numbers give 0", "¤RETALLMACHINES:X:1a:a:red:Show:maybe:::", {"X|0|a|0|0|0||"});
    row("list ends at empty name", "¤RETALLMACHINES:A:1:a:0:0:0:::  :2:b:0:0:0:::C:3:c:0:0:0:::",
        {"A|1|a|0|0|0||"});
  }
  void decodeMachines() {
    QFETCH(QByteArray, payload);
    QFETCH(QStringList, records);
    QStringList got;
    for (const MachinePtr& m : DecodeMachineList(payload.toStdString())) got << Render(*m);
    QCOMPARE(got, records);
  }

  // A client's chosen resources: pairs of number and position, or call-list
  // records of ten fields with the number second.
  void decodeChosenNumbers_data() {
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("callList");
    QTest::addColumn<QList<int>>("numbers");
    auto row = [](const char* name, const char* payload, bool callList, QList<int> numbers) {
      QTest::newRow(name) << QByteArray::fromStdString(W(payload)) << callList << numbers;
    };
    row("station, in order", "¤RETSTATIONCALLABLES:7:0:3:1:5:2:", false, {7, 3, 5});
    row("station, empty", "¤RETSTATIONCALLABLES::", false, {});
    row("station, not a number gives 0", "¤RETSTATIONCALLABLES:x:0:4:1:", false, {0, 4});
    row("station, ends at empty number", "¤RETSTATIONCALLABLES:2:0: :1:4:2:", false, {2});
    row("call list", "¤RETCALLLIST~R3~3~Rum 3~7~0~~T~0~1~PC-A~R1~1~Rum 1~7~0~~T~1~1~PC-A~", true,
        {3, 1});
    row("call list, empty", "¤RETCALLLIST~~", true, {});
    row("call list, ends at empty name", "¤RETCALLLIST~R3~3~~~~~~~~~~9~~~~~~~~~R1~1~", true, {3});
  }
  void decodeChosenNumbers() {
    QFETCH(QByteArray, payload);
    QFETCH(bool, callList);
    QFETCH(QList<int>, numbers);
    const std::vector<std::int32_t> got = callList ? DecodeCallListNumbers(payload.toStdString())
                                                   : DecodeStationCallableNumbers(payload.toStdString());
    QCOMPARE(QList<int>(got.begin(), got.end()), numbers);
  }

  // The rules themselves are tested with davu_protocol's TextRules; here
  // only that the Qt texts reach them.
  void textRulesOnQtText() {
    QCOMPARE(BoolFromText(QStringLiteral(" -0,25 "), false), true);
    QCOMPARE(BoolFromText(QStringLiteral("fAlSe"), true), false);
    QCOMPARE(BoolFromText(QStringLiteral("Ja"), true), true);
    QCOMPARE(BoolFromText(QStringLiteral("\u20AC"), false), false);  // not Latin-1
    QCOMPARE(IntFromText("+7"), 7);
    QCOMPARE(IntFromText("+-1"), 0);
  }

  void decodedRecordsAreFreshAndShareable() {
    const auto list = DecodeCallableList(W("¤RETALLCALLABLES:R1:1:a:0:0::T:"));
    QCOMPARE(list.size(), std::size_t(1));
    QCOMPARE(list[0].use_count(), 1L);
    CallablePtr shown = list[0];  // a second list showing the same record
    shown->Aktiv = false;
    QVERIFY(!list[0]->Aktiv);
  }
};

QTEST_APPLESS_MAIN(RecordsTest)
#include "records_test.moc"
