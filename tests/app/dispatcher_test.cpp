// The reply dispatcher and the read handler: order of the tags, nested
// passes, error replies, routing to the windows, and reassembly of replies
// that arrive in pieces.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <QtTest>

#include <memory>

#include "AppHarness.h"
#include "Controls.h"
#include "app/ProductVersion.h"
#include "app/UDavuAdminMain.h"
#include "calllog/TSVVirtualTable.h"
#include "calllog/UfrmActiveCalls.h"
#include "calllog/UfrmDAVUStatistik.h"
#include "common/ClientSocket.h"
#include "common/ReplyTarget.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "register/USystReg.h"

using namespace davu;

using davu::test::Control;

namespace {

void dispatch(TfrmDAVUAdmin& w, const std::string& text) { w.DispatchReply(text, w.ClientSocket1); }

const std::string kCallable = "R1:7:Rum 1:255:0::T";
const std::string kMachine = "PC1:3:Reception:0:0:0::";
// Two records follow each other with one separator between them.
const std::string kTwoCallables = kCallable + ":" + kCallable;
const std::string kTwoMachines = kMachine + ":" + kMachine;

}  // namespace

class DispatcherTest : public QObject {
  Q_OBJECT

 private slots:
  void errorReplies_data();
  void errorReplies();
  void secondReplyOfAKindIsTakenByTheNestedPass();
  void unknownTagIsNotPassedOnButRearmsWatchdog();
  void clinicNameSetsTheTitle_data();
  void clinicNameSetsTheTitle();
  void clientDataAndCallListAreTakenOut();
  void listsGoToStatisticsOnlyWhileItTakesThem();
  void queryRowsGoToTheWaitingWindow();
  void failureInAReplyIsReportedAndEndsTheText();
  void versionReplyReloadsVisibleRegister();
  void splitAndFramedRepliesAreReassembled_data();
  void splitAndFramedRepliesAreReassembled();
  void serverTextsNeverHoldTheVersionReply_data();
  void serverTextsNeverHoldTheVersionReply();
  void errorTextIsShownToItsLastLetter();
  void replyQuotedInAnotherIsLeftInIt();
  void resultBrokenOffByAnErrorIsNotShown_data();
  void resultBrokenOffByAnErrorIsNotShown();
  void replyThatNeverEndsIsNotShownWhereverTheErrorFalls();
};

namespace {

// Connects, sends `reads` as separate reads and waits until the last one was
// taken by the read handler.
bool SendReads(AppHarness& h, const QByteArrayList& reads) {
  TfrmDAVUAdmin& w = *h.w;
  int taken = 0;
  auto c = QObject::connect(w.ClientSocket1, &ClientSocket::readReady, w.ClientSocket1, [&] { ++taken; });
  bool ok = true;
  for (const QByteArray& r : reads) {
    const int before = taken;
    h.server.send(r.toStdString());
    ok = ok && WaitUntil([&] { return taken > before; });
  }
  QObject::disconnect(c);
  return ok;
}

// The main window connected, with the active calls window open beside it;
// showTwoRows() fills its table with the rows of a finished reply.
struct ActiveCallsOpen {
  AppHarness h;
  std::unique_ptr<TfrmDAVUActiveCalls> calls;
  TSVVirtualTable* table = nullptr;

  bool open() {
    TfrmDAVUAdmin& w = h.create();
    h.storeLocal("DAVU", "RefreshConnection", "0");
    h.storeServer();
    if (!h.connectAndIntroduce()) return false;
    calls = std::make_unique<TfrmDAVUActiveCalls>(&w);
    table = Control<TSVVirtualTable>(calls.get(), "SVVirtualTable1");
    return true;
  }
  bool showTwoRows() {
    h.fake.dialogs->balloons.clear();
    return SendReads(h, {"#DATASTART#\xA4RETSQL:\xA4%FULLNAME|Rum 1~%\xA4:\xA4%FULLNAME|Rum 2~%\xA4:RETSQL\xA4#DATAEND#"}) &&
           WaitUntil([this] { return table->RecordCount() == 2; });
  }
};

}  // namespace

void DispatcherTest::serverTextsNeverHoldTheVersionReply_data() {
  QTest::addColumn<QByteArrayList>("reads");
  QTest::addColumn<bool>("afterQuietTime");
  QTest::addColumn<QString>("error");
  const QByteArray version = "\xA4RETSERVERVERSION:1.10.6:RETSERVERVERSION\xA4";
  QTest::newRow("error quoting an unknown request")
      << QByteArrayList{"ERROR: 012 ok\xE4nd beg\xE4ran \xA4GETFOO:x", version} << false
      << "012 okänd begäran ¤GETFOO:x";
  QTest::newRow("error quoting a client name")
      << QByteArrayList{"ERROR: Klienten \xA4" "AB~x finns inte p\xE5 servern.", version} << false
      << "Klienten ¤AB~x finns inte på servern.";
  QTest::newRow("error quoting a reply's opening marker, same read")
      << QByteArrayList{"ERROR: fel i \xA4RETINITEXT:x " + version} << false << "fel i ¤RETINITEXT:x ";
  QTest::newRow("error quoting a frame start")
      << QByteArrayList{"ERROR: fel i #DATASTART#", version} << false << "fel i #DATASTART#";
  QTest::newRow("unfinished reply waits for the quiet time")
      << QByteArrayList{"\xA4RETINITEXT:x ", version} << true << "";
  QTest::newRow("held marker letters wait for the quiet time")
      << QByteArrayList{version.left(20)} << true << "";
}

// Whatever a server sends, the replies behind it are handled at the latest
// when the quiet time runs out.
void DispatcherTest::serverTextsNeverHoldTheVersionReply() {
  QFETCH(QByteArrayList, reads);
  QFETCH(bool, afterQuietTime);
  QFETCH(QString, error);
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  QVERIFY(h.connectAndIntroduce());
  QVERIFY(SendReads(h, reads));
  if (afterQuietTime) {
    QCOMPARE(h.status(), QString("Ej ansluten - försöker ansluta..."));
    QCOMPARE(h.state(), ConnectionState::Introduced);
    QVERIFY(w.ReplyQuietTimer->isActive());
    QCOMPARE(w.ReplyQuietTimer->interval(), 10000);
    w.ReplyQuietTimerTimer();
    if (reads.size() == 1) QVERIFY(SendReads(h, {QByteArray("\xA4RETSERVERVERSION:1.10.6:RETSERVERVERSION\xA4")}));
  }
  QVERIFY(WaitUntil([&] { return h.status() == QString("Ansluten"); }));
  QCOMPARE(h.state(), ConnectionState::Connected);
  QVERIFY(!w.ReplyQuietTimer->isActive());
  QCOMPARE(ServerVersion, QString("1.10.6"));
  if (!error.isEmpty()) {
    QCOMPARE(int(h.fake.dialogs->balloons.size()), 1);
    QCOMPARE(h.fake.dialogs->balloons[0].text, "Servern svarade med följande fel: " + error);
  }
}

void DispatcherTest::errorTextIsShownToItsLastLetter() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  QVERIFY(h.connectAndIntroduce());
  QVERIFY(SendReads(h, {"ERROR: Resursen saknas i CALLABLE", "\xA4RETKLINIKNAMN:K:RETKLINIKNAMN\xA4"}));
  QVERIFY(WaitUntil([&] { return w.windowTitle().startsWith("DAVU Admin - K "); }));
  QCOMPARE(int(h.fake.dialogs->balloons.size()), 1);
  QCOMPARE(h.fake.dialogs->balloons[0].text, QString("Servern svarade med följande fel: Resursen saknas i CALLABLE"));
  QVERIFY(!w.ReplyQuietTimer->isActive());
}

// Replies are found where they stand: a settings reply quoted in the payload
// of a client-data message belongs to that message.
void DispatcherTest::replyQuotedInAnotherIsLeftInIt() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeLocal("DAVU", "RefreshConnection", "0");
  PendingSettingValue = "orörd";
  dispatch(w, Reply("DAVUCLIENTDATA", Reply("RETINITEXT", "fel")) + Reply("RETKLINIKNAMN", "K"));
  QCOMPARE(PendingSettingValue, QString("orörd"));
  QVERIFY(w.windowTitle().startsWith("DAVU Admin - K "));
}

void DispatcherTest::errorReplies_data() {
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<bool>("balloon");
  QTest::addColumn<QString>("shown");
  QTest::newRow("message after blank") << QByteArray("ERROR: Tabellen saknas") << true << "Tabellen saknas";
  QTest::newRow("001 suppresses") << QByteArray("ERROR: 001 Inga rader") << false << "";
  QTest::newRow("001 anywhere suppresses") << QByteArray("ERROR: fel ERROR: 001") << false << "";
  QTest::newRow("nothing after the marker") << QByteArray("ERROR:") << true << "";
  QTest::newRow("20 MiB text, cut where it is shown")
      << QByteArray("ERROR: ") + QByteArray(20 * 1024 * 1024, 'x') << true
      << QString(1000, u'x') + QStringLiteral(" …");
  QTest::newRow("behind a reply")
      << QByteArray("\xA4RETKLINIKNAMN:K:RETKLINIKNAMN\xA4" "ERROR: Fel i fr\xE5gan") << true
      << "Fel i frågan";
}

void DispatcherTest::errorReplies() {
  QFETCH(QByteArray, text);
  QFETCH(bool, balloon);
  QFETCH(QString, shown);
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeLocal("DAVU", "RefreshConnection", "-1");
  dispatch(w, text.toStdString());
  if (!balloon) {
    QVERIFY(h.fake.dialogs->balloons.empty());
  } else {
    QCOMPARE(int(h.fake.dialogs->balloons.size()), 1);
    QCOMPARE(h.fake.dialogs->balloons[0].text, "Servern svarade med följande fel: " + shown);
    QCOMPARE(h.fake.dialogs->balloons[0].title, QString("Information"));
  }
  if (text.startsWith("\xA4RETKLINIKNAMN")) QVERIFY(w.windowTitle().startsWith("DAVU Admin - K "));
  // An error text ends the call before the watchdog is armed.
  QVERIFY(!w.ReconnectTimer->isActive());
}

void DispatcherTest::secondReplyOfAKindIsTakenByTheNestedPass() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeLocal("DAVU", "RefreshConnection", "0");
  dispatch(w, Reply("RETINITEXT", "first") + Reply("RETKLINIKNAMN", "A") + Reply("RETINITEXT", "second") +
                  Reply("RETKLINIKNAMN", "B"));
  QCOMPARE(PendingSettingValue, QString("second"));
  QVERIFY(SettingReplyArrived);
  QVERIFY(w.windowTitle().startsWith("DAVU Admin - B "));
}

void DispatcherTest::unknownTagIsNotPassedOnButRearmsWatchdog() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeLocal("DAVU", "RefreshConnection", "-1");
  h.storeLocal("DAVU", "RefreshConnectionTimer", "2");
  // A text from which nothing is taken would recurse without end if it were
  // passed on again.
  dispatch(w, Reply("RETOKANT", "x") + "  \r\n");
  QVERIFY(w.ReconnectTimer->isActive());
  QCOMPARE(w.ReconnectTimer->interval(), 120000);
  QVERIFY(h.fake.dialogs->balloons.empty());
  QVERIFY(h.fake.dialogs->infoMessages.isEmpty());
}

void DispatcherTest::clinicNameSetsTheTitle_data() {
  QTest::addColumn<QByteArray>("name");
  QTest::addColumn<QString>("title");
  QTest::newRow("plain") << QByteArray("Kliniken") << "DAVU Admin - Kliniken  version: ";
  QTest::newRow("Windows-1252 letters") << QByteArray("V\xE5rdcentralen \xD6ster") << "DAVU Admin - Vårdcentralen Öster  version: ";
  QTest::newRow("empty") << QByteArray("") << "DAVU Admin -   version: ";
}

void DispatcherTest::clinicNameSetsTheTitle() {
  QFETCH(QByteArray, name);
  QFETCH(QString, title);
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  dispatch(w, Reply("RETKLINIKNAMN", name.toStdString()));
  QCOMPARE(w.windowTitle(), title + ProgramProductVersion());
}

void DispatcherTest::clientDataAndCallListAreTakenOut() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  // Their payloads hold "ERROR:": had they stayed in the text, it would be
  // shown as an error reply.
  dispatch(w, Reply("DAVUCLIENTDATA", "ERROR: x") + "\xA4RETCALLLIST~1~ERROR: y~~RETCALLLIST\xA4" +
                  Reply("RETKLINIKNAMN", "K"));
  QVERIFY(h.fake.dialogs->balloons.empty());
  QVERIFY(w.windowTitle().startsWith("DAVU Admin - K "));
}

void DispatcherTest::listsGoToStatisticsOnlyWhileItTakesThem() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  w.FormActivate();  // creates the register
  {
    TfrmDAVUStatistik stats(&w);
    QCOMPARE(ReplyTarget, rtStatistics);
    w.frmSystreg->ResourceListTarget = TfrmSystreg::TResourceListTarget::ListBox3;
    dispatch(w, Reply("RETALLMACHINES", kMachine) + Reply("RETALLCALLABLES", kCallable));
    QCOMPARE(Control<QListWidget>(&stats, "CheckListBox2")->count(), 1);
    QCOMPARE(Control<QListWidget>(&stats, "CheckListBox1")->count(), 1);
    QCOMPARE(Control<ResourcesTab>(w.frmSystreg, "tsResurser")->lbResurserItems->rowCount(), 0);
    QCOMPARE(Control<StationsTab>(w.frmSystreg, "tsStations")->allResourcesModel->rowCount(), 0);
    // A resource list taken by the statistics also ends the register's choice of list.
    QVERIFY(w.frmSystreg->ResourceListTarget == TfrmSystreg::TResourceListTarget::None);
    ReplyTarget = rtNone;
    dispatch(w, Reply("RETALLMACHINES", kTwoMachines) + Reply("RETALLCALLABLES", kTwoCallables));
    // The register's turn: the statistics lists are left alone.
    QCOMPARE(Control<QListWidget>(&stats, "CheckListBox2")->count(), 1);
    QCOMPARE(Control<QListWidget>(&stats, "CheckListBox1")->count(), 1);
    QCOMPARE(Control<ResourcesTab>(w.frmSystreg, "tsResurser")->lbResurserItems->rowCount(), 2);
    QCOMPARE(Control<StationsTab>(w.frmSystreg, "tsStations")->allResourcesModel->rowCount(), 2);
  }
}

void DispatcherTest::queryRowsGoToTheWaitingWindow() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  const std::string rows =
      "\xA4RETSQL:\xA4%FULLNAME|Rum 1~LOPNR|17~%\xA4:\xA4%FULLNAME|Rum 2~LOPNR|18~%\xA4:RETSQL\xA4";
  {
    TfrmDAVUActiveCalls calls(&w);
    dispatch(w, rows + Reply("RETKLINIKNAMN", "K"));
    QCOMPARE(Control<QLabel>(&calls, "Label3")->text(), QString("Antal poster: 2"));
    QVERIFY(w.windowTitle().startsWith("DAVU Admin - K "));
  }
  // No window waits: taken out and dropped.
  QCOMPARE(ReplyTarget, rtNone);
  dispatch(w, rows + Reply("RETKLINIKNAMN", "L"));
  QVERIFY(w.windowTitle().startsWith("DAVU Admin - L "));
  QVERIFY(h.fake.dialogs->infoMessages.isEmpty());
}

void DispatcherTest::failureInAReplyIsReportedAndEndsTheText() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeLocal("DAVU", "RefreshConnection", "-1");
  TfrmDAVUActiveCalls calls(&w);
  const QString before = w.windowTitle();
  dispatch(w, "\xA4RETSQL:\xA4%OKAND|x~%\xA4:RETSQL\xA4" + Reply("RETKLINIKNAMN", "K"));
  QCOMPARE(h.fake.dialogs->infoMessages.size(), 1);
  QVERIFY2(h.fake.dialogs->infoMessages[0].startsWith("Error in ClientSocket1Read!\r\r"),
           qPrintable(h.fake.dialogs->infoMessages[0]));
  QVERIFY(h.fake.dialogs->infoMessages[0].size() > QString("Error in ClientSocket1Read!\r\r").size());
  // The rest of that text is skipped; the next text is handled as usual.
  QCOMPARE(w.windowTitle(), before);
  QVERIFY(!w.ReconnectTimer->isActive());
  dispatch(w, Reply("RETKLINIKNAMN", "K"));
  QVERIFY(w.windowTitle().startsWith("DAVU Admin - K "));
}

void DispatcherTest::versionReplyReloadsVisibleRegister() {
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  h.storeLocal("DAVU", "RefreshConnection", "0");
  h.duringModal = [&](QDialog* d) {
    // While the register is open a connection comes up: its version reply
    // shows the new versions on the server tab, and leaves what the
    // administrator is typing there, so that "Spara" saves it.
    d->show();
    ServerSettingsTab* tab = Control<ServerSettingsTab>(w.frmSystreg, "tsServersettings");
    QCOMPARE(Control<QLineEdit>(tab, "edServerver")->text(), QString());
    Control<QLineEdit>(tab, "edServername")->setText("nyserver");
    Control<QLineEdit>(tab, "edServerport")->setText("4711");
    UpdateServerVersion = "2.0.1";
    QVERIFY(h.acceptVersion("1.10.7"));
    QCOMPARE(Control<QLineEdit>(tab, "edServerver")->text(), QString("1.10.7"));
    QCOMPARE(Control<QLineEdit>(tab, "edUpdateServerver")->text(), QString("2.0.1"));
    QCOMPARE(Control<QLineEdit>(tab, "edServername")->text(), QString("nyserver"));
    QCOMPARE(Control<QLineEdit>(tab, "edServerport")->text(), QString("4711"));
    d->hide();
  };
  QVERIFY(h.connectAndIntroduce());
  w.btnSettingsClick();
  QCOMPARE(int(h.modals.size()), 1);
}

void DispatcherTest::splitAndFramedRepliesAreReassembled_data() {
  QTest::addColumn<QByteArrayList>("chunks");
  QTest::newRow("split plain reply") << QByteArrayList{"\xA4RETSERVERVER", "SION:1.10.6:RETSERVERVERSION\xA4"};
  QTest::newRow("framed, split") << QByteArrayList{"#DATASTART#\xA4RETSERVERVERSION:1.1",
                                                   "0.6:RETSERVERVERSION\xA4#DATAEND#"};
  QTest::newRow("end marker split") << QByteArrayList{"#DATASTART#\xA4RETSERVERVERSION:1.10.6:RETSERVERVERSION\xA4#DATA",
                                                      "END#"};
  QTest::newRow("blank chunk inside frame")
      << QByteArrayList{"#DATASTART#\xA4RETSERVERVERSION:1.10.6", "\r\n ", ":RETSERVERVERSION\xA4#DATAEND#"};
}

void DispatcherTest::splitAndFramedRepliesAreReassembled() {
  QFETCH(QByteArrayList, chunks);
  AppHarness h;
  TfrmDAVUAdmin& w = h.create();
  h.storeServer();
  QVERIFY(h.connectAndIntroduce());
  int reads = 0;
  QObject::connect(w.ClientSocket1, &ClientSocket::readReady, w.ClientSocket1, [&] { ++reads; });
  for (const QByteArray& c : chunks) {
    // Each chunk arrives as a read of its own.
    const int before = reads;
    h.server.send(c.toStdString());
    QVERIFY(WaitUntil([&] { return reads > before; }));
  }
  QVERIFY(WaitUntil([&] { return h.status() == QString("Ansluten"); }));
  QCOMPARE(h.state(), ConnectionState::Connected);
  QCOMPARE(ServerVersion, QString("1.10.6"));
}

void DispatcherTest::resultBrokenOffByAnErrorIsNotShown_data() {
  QTest::addColumn<QByteArray>("tail");  // what follows the rows' closing marker
  QTest::addColumn<int>("rows");         // shown afterwards
  QTest::addColumn<QString>("balloon");
  QTest::newRow("error right behind") << QByteArray("#DATAEND#ERROR: disk I/O error") << 2
                                      << "Servern svarade med följande fel: disk I/O error";
  QTest::newRow("blanks, then the error") << QByteArray("#DATAEND#\r\nERROR: avbruten") << 2
                                          << "Servern svarade med följande fel: avbruten";
  QTest::newRow("finished result") << QByteArray("#DATAEND#") << 1 << "";
  QTest::newRow("suppressed error") << QByteArray("#DATAEND#ERROR: 001") << 1 << "";
}

// A query that fails after rows went out ends in a well-formed reply and the
// error: the window keeps the rows it showed and the error is told, however
// the bytes were cut into reads.
void DispatcherTest::resultBrokenOffByAnErrorIsNotShown() {
  QFETCH(QByteArray, tail);
  QFETCH(int, rows);
  QFETCH(QString, balloon);
  const QByteArray cut = "#DATASTART#\xA4RETSQL:\xA4%FULLNAME|Rum 3~%\xA4:RETSQL\xA4" + tail;
  // Every split in front of the error text: an error runs to the end of its
  // read, and one that comes in a read of its own follows a finished reply.
  const qsizetype last = tail.size() > 9 ? cut.size() - (tail.size() - 9) - 1 : cut.size();
  ActiveCallsOpen a;
  QVERIFY(a.open());
  for (qsizetype i = 1; i <= last; ++i) {
    QVERIFY(a.showTwoRows());
    QByteArrayList reads{cut.left(i)};
    if (i < cut.size()) reads << cut.mid(i);
    QVERIFY(SendReads(a.h, reads));
    if (rows == 1) QVERIFY(WaitUntil([&] { return a.table->RecordCount() == 1; }));
    QCOMPARE(a.table->RecordCount(), rows);
    QCOMPARE(a.table->value(0, "FULLNAME"), rows == 2 ? QString("Rum 1") : QString("Rum 3"));
    if (balloon.isEmpty()) {
      QVERIFY(a.h.fake.dialogs->balloons.empty());
    } else {
      QCOMPARE(int(a.h.fake.dialogs->balloons.size()), 1);
      QCOMPARE(a.h.fake.dialogs->balloons[0].text, balloon);
    }
  }
}

// davu-server ends the frame of a query that failed after rows went out, but
// not its reply: wherever the reads cut, the error in a read of its own
// included, the window keeps the rows it showed and the error is told.
void DispatcherTest::replyThatNeverEndsIsNotShownWhereverTheErrorFalls() {
  const QByteArray cut = "#DATASTART#\xA4RETSQL:\xA4%FULLNAME|Rum 3~%\xA4:#DATAEND#ERROR: disk I/O error";
  const qsizetype errorAt = cut.indexOf("ERROR:");
  ActiveCallsOpen a;
  QVERIFY(a.open());
  for (qsizetype i = 1; i <= errorAt; ++i) {
    QVERIFY(a.showTwoRows());
    QVERIFY(SendReads(a.h, {cut.left(i), cut.mid(i)}));
    QVERIFY(WaitUntil([&] { return !a.h.fake.dialogs->balloons.empty(); }));
    QCOMPARE(a.table->RecordCount(), 2);
    QCOMPARE(a.table->value(0, "FULLNAME"), QString("Rum 1"));
    QCOMPARE(int(a.h.fake.dialogs->balloons.size()), 1);
    QCOMPARE(a.h.fake.dialogs->balloons[0].text, QString("Servern svarade med följande fel: disk I/O error"));
  }
}

QTEST_MAIN(DispatcherTest)
#include "dispatcher_test.moc"
