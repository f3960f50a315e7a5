#include <QTest>

#include "WireBytes.h"
#include "protocol/Catalogue.h"
#include "protocol/Envelope.h"

using namespace davu::proto;

namespace {

CallableUpdate Callable(int lopnr, std::string name, std::string friendly, int colour, bool sms,
                        std::string mobile, bool active) {
  return CallableUpdate{lopnr, std::move(name), std::move(friendly), colour, sms, std::move(mobile), active};
}

}  // namespace

class CatalogueTest : public QObject {
  Q_OBJECT

 private slots:
  void requests_data() {
    QTest::addColumn<QByteArray>("actual");
    QTest::addColumn<QString>("expected");
    auto row = [](const char* name, const std::string& actual, const char* expected) {
      QTest::newRow(name) << QByteArray::fromStdString(actual) << QString::fromUtf8(expected);
    };
    row("envelope", BuildMessage("TAG", ':', {"a", "", "b"}), "¤TAG:a::b:TAG¤");
    row("envelope no fields", BuildMessage("TAG", '$', {}), "¤TAG$TAG¤");
    row("frame", Frame("x"), "#DATASTART#x#DATAEND#");
    row("markers", OpeningMarker("RETCALLLIST", '~') + ClosingMarker("RETCALLLIST", '~'),
        "¤RETCALLLIST~~RETCALLLIST¤");

    row("server version", GetServerVersion("PC12", 2), "¤GETSERVERVERSION:PC12:2:GETSERVERVERSION¤");
    row("call list admin", GetCallList(kAdminClientName, "2"), "¤GETCALLLIST:¤¤ADMIN¤¤:2:GETCALLLIST¤");
    row("call list client", GetCallList("PC12", "0"), "¤GETCALLLIST:PC12:0:GETCALLLIST¤");
    row("clinic name", GetKliniknamn(kAdminClientName, "2"), "¤GETKLINIKNAMN:¤¤ADMIN¤¤:2:GETKLINIKNAMN¤");

    row("ini read machine", GetIniTextForMachine("PC12", "DAVU", "Theme"),
        "¤GETINITEXT:PC12\\DAVU:Theme:GETINITEXT¤");
    row("ini read global", GetIniTextGlobal("ServerSettings", "ServerName"),
        "¤GETINITEXT:\\ServerSettings:ServerName:GETINITEXT¤");
    row("ini write machine", SetIniTextForMachine("PC12", "DAVU", "Theme", "Dark"),
        "¤SETINITEXT:PC12\\DAVU:Theme:Dark:SETINITEXT¤");
    row("ini write global", SetIniTextGlobal("ServerSettings", "ServerPort", "3000"),
        "¤SETINITEXT:ServerSettings:ServerPort:3000:SETINITEXT¤");

    row("all callables", GetAllCallables("PC12"), "¤GETALLCALLABLES:PC12:GETALLCALLABLES¤");
    row("station callables", GetStationCallables("PC3"), "¤GETSTATIONCALLABLES:PC3:GETSTATIONCALLABLES¤");
    row("all machines", GetAllMachines("PC12"), "¤GETALLMACHINES:PC12:GETALLMACHINES¤");
    row("sms settings", GetSmsSettings("PC12"), "¤GETSMSSETTINGS:PC12:GETSMSSETTINGS¤");
    row("post sms", PostSmsSettings("anv", " pw ", "123"), "¤POSTSMSSETTINGS:anv: pw :123:POSTSMSSETTINGS¤");

    // One record ends ":%¤:" + tag; a list of records has one ':' more.
    row("callable single", RegisterUpdateCallable(Callable(-1, "R1", "Rum ett", 255, true, "0701", true)),
        "¤REGISTERUPATECALLABLE:-1:R1:Rum ett:255:-1:0701:T:%¤:REGISTERUPATECALLABLE¤");
    row("callable single inactive", RegisterUpdateCallable(Callable(7, "R2", "", -16777216, false, "", false)),
        "¤REGISTERUPATECALLABLE:7:R2::-16777216:0::F:%¤:REGISTERUPATECALLABLE¤");
    row("callable multi",
        RegisterUpdateCallables({Callable(1, "A", "a", 0, false, "", true),
                                 Callable(2, "B", "b", 16777215, true, "07", false)}),
        "¤REGISTERUPATECALLABLE:1:A:a:0:0::T:%¤:2:B:b:16777215:-1:07:F:%¤::REGISTERUPATECALLABLE¤");
    row("callable multi one", RegisterUpdateCallables({Callable(1, "A", "a", 0, false, "", true)}),
        "¤REGISTERUPATECALLABLE:1:A:a:0:0::T:%¤::REGISTERUPATECALLABLE¤");
    row("callable multi none", RegisterUpdateCallables({}), "");
    row("callable delete", RegisterDeleteCallable(12, "Rum ett", 255),
        "¤REGISTERUPATECALLABLE:12:¤DELETE_ME¤:Rum ett:255:%¤:REGISTERUPATECALLABLE¤");

    row("machine update", RegisterUpdateMachine(MachineUpdate{"PC12", 1, "Reception", 65280, "IMEI", "X", -1}),
        "¤REGISTERUPATEMACHINE:PC12:1:Reception:65280:IMEI:X:-1::REGISTERUPATEMACHINE¤");
    row("machine update empties", RegisterUpdateMachine(MachineUpdate{"PC1", 0, "Rum", 0, "", "", 5}),
        "¤REGISTERUPATEMACHINE:PC1:0:Rum:0:::5::REGISTERUPATEMACHINE¤");
    row("machine delete", RegisterDeleteMachine("PC12", 0, 255),
        "¤REGISTERUPATEMACHINE:PC12:0:¤DELETE_ME¤:255:REGISTERUPATEMACHINE¤");

    row("post callables", PostCallablesList("ADM", 2, 14, {7, 3, 9}),
        "¤POSTCALLABLESLIST:ADM:2:14:7:0:3:1:9:2:POSTCALLABLESLIST¤");
    row("post callables none", PostCallablesList("ADM", 2, 14, {}), "¤POSTCALLABLESLIST:ADM:2:14:POSTCALLABLESLIST¤");

    row("open sql", OpenSql("ADM", "SELECT * FROM CALLLOG WHERE X = 'a:b'"),
        "#DATASTART#¤OPENSQL:ADM:SELECT * FROM CALLLOG WHERE X = 'a:b':OPENSQL¤#DATAEND#");
    row("exec sql", ExecSql("ADM", "UPDATE CALLLOG SET Y = 1"),
        "#DATASTART#¤EXECSQL$ADM$UPDATE CALLLOG SET Y = 1$EXECSQL¤#DATAEND#");
    row("new client", GetNewClient("DAVUAdmin.exe", "PC12", 2),
        "¤GETNEWCLIENT:DAVUAdmin.exe:PC12:2:GETNEWCLIENT¤");
  }
  void requests() {
    QFETCH(QByteArray, actual);
    QFETCH(QString, expected);
    QCOMPARE_BYTES(actual.toStdString(), W(expected.toStdString()));
  }

  void wireBytesPassUnchanged() {
    // Callers encode user text; "ö" (0xF6) and a raw 0xA4 in a value go out as they are.
    const std::string name = "R\xF6" "d";
    QCOMPARE_BYTES(GetAllCallables(name), W("¤GETALLCALLABLES:R") + "\xF6" + W("d:GETALLCALLABLES¤"));
  }
};

QTEST_APPLESS_MAIN(CatalogueTest)
#include "catalogue_test.moc"
