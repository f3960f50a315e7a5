#include <QTest>

#include "WireBytes.h"
#include "protocol/MessageScanner.h"
#include "protocol/RegisterUpdates.h"
#include "protocol/TextRules.h"

using namespace davu::proto;

namespace {

std::string_view Body(const std::string& message) {
  return MessageScanner(message).next(0).body(message);
}

QStringList Fields(const std::vector<std::string_view>& fields) {
  QStringList out;
  for (std::string_view f : fields) out << Show(f);
  return out;
}

CallableUpdate Update(int lopnr, std::string name) {
  return {lopnr, std::move(name), "Rum", 255, true, "0701", true};
}

}  // namespace

class RegisterUpdatesTest : public QObject {
  Q_OBJECT

 private slots:
  // What the client writes, the server reads back field by field.
  void callableUpdatesRead() {
    const std::string one = RegisterUpdateCallable(Update(3, "R1"));
    const std::string many = RegisterUpdateCallables({Update(3, "R1"), Update(-1, "R2")});
    const std::string deletion = RegisterDeleteCallable(7, "Rum sju", 0);
    const QStringList r1 = {"3", "R1", "Rum", "255", "-1", "0701", "T"};
    const QStringList r2 = {"-1", "R2", "Rum", "255", "-1", "0701", "T"};

    auto records = ReadCallableUpdates(Body(one));
    QCOMPARE(records.size(), std::size_t(1));
    QVERIFY(!records[0].deletion);
    QCOMPARE(Fields(records[0].fields), r1);

    records = ReadCallableUpdates(Body(many));
    QCOMPARE(records.size(), std::size_t(2));
    QCOMPARE(Fields(records[0].fields), r1);
    QCOMPARE(Fields(records[1].fields), r2);

    records = ReadCallableUpdates(Body(deletion));
    QCOMPARE(records.size(), std::size_t(1));
    QVERIFY(records[0].deletion);
    QCOMPARE(Fields(records[0].fields), QStringList({"7", Show(kDeleteMark), "Rum sju", "0"}));

    QVERIFY(RegisterUpdateCallables({}).empty());
    QVERIFY(ReadCallableUpdates("").empty());
    QVERIFY(ReadCallableUpdates(W(" :%¤: \r\n")).empty());
  }

  void machineUpdatesRead() {
    const std::string save = RegisterUpdateMachine({"PC12", 0, "Reception", 65280, "IMEI", "x", 5});
    MachineUpdateFields r = ReadMachineUpdate(Body(save));
    QCOMPARE(r.deleteAt, std::string_view::npos);
    QCOMPARE(Fields(r.fields), QStringList({"PC12", "0", "Reception", "65280", "IMEI", "x", "5"}));

    // A name may hold ':' in a deletion: it runs up to the type's field.
    r = ReadMachineUpdate(Body(RegisterDeleteMachine("PC:12", 1, 0)));
    QCOMPARE(r.deleteAt, std::size_t(3));
    QCOMPARE_BYTES(r.deletedName, "PC:12");

    r = ReadMachineUpdate(W("1:¤DELETE_ME¤:0"));
    QCOMPARE(r.deleteAt, std::size_t(1));
    QVERIFY(r.deletedName.empty());
  }

  void callablesListPostRead() {
    const std::string post = PostCallablesList(W("¤¤ADMIN¤¤"), 2, 9, {4, 6});
    QCOMPARE_BYTES(post, W("¤POSTCALLABLESLIST:¤¤ADMIN¤¤:2:9:4:0:6:1:POSTCALLABLESLIST¤"));
    const CallablesListPost r = ReadCallablesListPost(Body(post));
    QCOMPARE_BYTES(r.clientName, W("¤¤ADMIN¤¤"));
    QCOMPARE_BYTES(r.stationLopnr, "9");
    QCOMPARE(r.chosen.size(), std::size_t(2));
    QCOMPARE_BYTES(r.chosen[1].first, "6");
    QCOMPARE_BYTES(*r.chosen[1].second, "1");
    // A number without its position.
    const CallablesListPost cut = ReadCallablesListPost("PC:0:9:4:0:6");
    QCOMPARE(cut.chosen.size(), std::size_t(2));
    QVERIFY(!cut.chosen[1].second);
  }

  // Every byte that may stand in a name reaches the reader; blanks at its
  // ends are trimmed by whoever reads it.
  void everyByteInAName() {
    for (int b = 0; b < 256; ++b) {
      const char c = static_cast<char>(b);
      if (c == ':' || c == '\xA4') continue;  // the client refuses these in a text
      const std::string name = std::string("a") + c + "b";
      const auto records = ReadCallableUpdates(Body(RegisterUpdateCallable(Update(1, name))));
      QVERIFY2(records.size() == 1 && records[0].fields.size() == 7 && records[0].fields[1] == name,
               qPrintable(QString::number(b)));
      const MachineUpdateFields m = ReadMachineUpdate(Body(RegisterDeleteMachine(name, 0, 0)));
      QVERIFY2(m.deletedName == name, qPrintable(QString::number(b)));
    }
  }
};

QTEST_APPLESS_MAIN(RegisterUpdatesTest)
#include "registerupdates_test.moc"
