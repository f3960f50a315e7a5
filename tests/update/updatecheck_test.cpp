// The update check against the scripted update server: each phase and its
// wait, the download however it is cut, and the files that are never started.
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include "UpdateHarness.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "protocol/Envelope.h"
#include "protocol/ReplyCutter.h"
#include "protocol/UpdateStream.h"
#include "update/ProgramInstaller.h"
#include "update/RunningProgram.h"
#include "update/UUpdateCheck.h"
#include "update/UpdateState.h"
#include "widgets/UDAVUcommon.h"

using namespace davu;

namespace {

// The two requests, byte for byte.
const std::string kVersionRequest = "\xA4GETSERVERVERSION:RECEPTION01_Admin:2:GETSERVERVERSION\xA4";
const std::string kProgramRequest = "\xA4GETNEWCLIENT:davu-admin:RECEPTION01_Admin:2:GETNEWCLIENT\xA4";
const std::string kSignatureRequest =
    "\xA4GETNEWCLIENT:davu-admin.minisig:RECEPTION01_Admin:2:GETNEWCLIENT\xA4";
const std::string kVersionReply = "\xA4RETSERVERVERSION:1.10.7:RETSERVERVERSION\xA4";
const QString kNew = QStringLiteral(DAVU_PROBE_1107);
const QString kOld = QStringLiteral(DAVU_PROBE_1106);
const QString kTurnedAway = QStringLiteral(
    "Den nya versionen som hämtades från uppdateringsservern var skadad eller av fel version");

void setCheckVersion(const QString& value) {
  WriteSetting(QStringLiteral("CHECKVERSION"), QStringLiteral("davu-admin"), value);
}

// The folder holds the local copy only: no temporary file stays behind.
QStringList folderEntries() {
  return QDir(LocalDataFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

}  // namespace

class UpdateCheckTest : public QObject {
  Q_OBJECT

 private slots:
  void versionNumbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");
    QTest::newRow("three parts") << "1.10.6" << 1106;
    QTest::newRow("four parts") << "1.10.7.0" << 11070;
    QTest::newRow("no version block") << "<info not available>" << 1000;
    QTest::newRow("empty") << "" << 1000;
  }
  void versionNumbers() {
    QFETCH(QString, text);
    QFETCH(int, number);
    QCOMPARE(VersionNumber(text), number);
  }

  // Nothing newer: the version request only, and the connection lingers at
  // most five seconds for the version reply; the reply ends it at once.
  void currentProgramAsksVersionOnlyAndLingers_data() {
    QTest::addColumn<QString>("checkVersion");  // "-": stored nowhere
    QTest::addColumn<bool>("reply");
    QTest::newRow("same version") << "1106" << true;
    QTest::newRow("stored nowhere") << "-" << true;
    QTest::newRow("older") << "1105" << true;
    QTest::newRow("not a number") << "ny" << true;
    QTest::newRow("same version, no reply") << "1106" << false;
  }
  void currentProgramAsksVersionOnlyAndLingers() {
    QFETCH(QString, checkVersion);
    QFETCH(bool, reply);
    UpdateHarness h;
    if (checkVersion != "-") setCheckVersion(checkVersion);
    QVERIFY(!h.run());
    QCOMPARE(UpdateState, 1);
    QCOMPARE(h.sent(), kVersionRequest);
    QVERIFY(h.common->UpdateTimer->isActive());
    QCOMPARE(h.common->UpdateTimer->interval(), 5000);
    if (reply) {
      h.server.send(kVersionReply);
      QTRY_COMPARE(UpdateServerVersion, QStringLiteral("1.10.7"));
      QVERIFY(!h.common->UpdateTimer->isActive());
    } else {
      QVERIFY(!h.pass(4999));
      QVERIFY(h.pass(5000));
    }
    QVERIFY(!h.common->UpdateSocket->active());
    QVERIFY(WaitUntil([&] { return !h.server.hasConnection(); }));
    QVERIFY(h.fake.starter->starts.empty());
    QVERIFY(h.fake.dialogs->infoMessages.isEmpty());
  }

  // A flood of error replies: while a message is open its connection's
  // reads wait, so messages never stack inside each other; what arrived
  // meanwhile is one message that counts the rest. A text of megabytes is
  // cut before it is shown.
  void errorFloodShowsOneMessageAtATime() {
    UpdateHarness h;
    QVERIFY(!h.run());
    QCOMPARE(UpdateState, 1);
    int depth = 0, deepest = 0;
    h.fake.dialogs->whileMessageOpen = [&](const QString&) {
      deepest = std::max(deepest, ++depth);
      if (h.fake.dialogs->infoMessages.size() == 1) {
        for (int i = 0; i < 200; ++i) h.server.send("ERROR: 002 fel nummer " + std::to_string(i));
        h.server.send("ERROR: " + std::string(20 * 1024 * 1024, 'x'));
        // The box's own loop runs for a while: nothing may enter the
        // connection's handler meanwhile (an absence, so a bounded wait).
        WaitUntil([] { return false; }, 500);
      }
      --depth;
    };
    h.server.send("ERROR: 002 fel");
    QVERIFY(WaitUntil([&] { return h.fake.dialogs->infoMessages.size() >= 2; }));
    QCOMPARE(deepest, 1);
    QCOMPARE(h.fake.dialogs->infoMessages[0], QStringLiteral("Servern svarade med följande fel: 002 fel"));
    const QString& rest = h.fake.dialogs->infoMessages[1];
    QVERIFY2(rest.size() < 1200, qPrintable(QString::number(rest.size())));
    QVERIFY(rest.startsWith(QStringLiteral("Servern svarade med följande fel: 002 fel nummer 0")));
    QVERIFY(rest.contains(QStringLiteral(" fel till)")));
  }

  // The newer version is already here: started at once once the update
  // server answers, without a program request; never when it cannot be reached.
  void localCopyOfTheNewVersionStartsAtOnce_data() {
    QTest::addColumn<bool>("reachable");
    QTest::newRow("update server up") << true;
    QTest::newRow("update server unreachable") << false;
  }
  void localCopyOfTheNewVersionStartsAtOnce() {
    QFETCH(bool, reachable);
    UpdateHarness h;
    setCheckVersion("1107");
    h.setLocalCopy(kNew);
    if (!reachable) {
      h.server.stopListening();
      h.then([&] { return !h.fake.dialogs->balloons.empty(); }, [&] { h.pass(5000); });
    }
    QCOMPARE(h.run(), reachable);
    if (!reachable) {
      QVERIFY(h.fake.starter->starts.empty());
      const Balloon& b = h.fake.dialogs->balloons.front();
      QCOMPARE(b.text, QStringLiteral("Error in UpdateSocket: 111"));
      const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
      QCOMPARE(b.pos, QPoint(desktop.width() / 2, desktop.height() / 2));
      return;
    }
    QVERIFY(UpdateStarted);
    QCOMPARE(h.fake.starter->starts.size(), std::size_t(1));
    const auto& s = h.fake.starter->starts.front();
    QCOMPARE(s.program, h.localCopy());
    QCOMPARE(s.args, RestartArguments());
    QCOMPARE(s.args.value(0), QStringLiteral("RESTARTING=1"));
    QCOMPARE(s.workingDir, StartFolder);
    QCOMPARE(h.sent(), kVersionRequest);
  }

  // A download replaces the local copy, whatever it was, and starts it,
  // however the reply is cut into reads.
  void downloadIsInstalledAndStarted_data() {
    QTest::addColumn<QString>("localCopy");  // "-" none, "old" 1.10.6, "junk" no version block
    QTest::addColumn<int>("reads");          // the program reply cut into this many writes
    QTest::addColumn<bool>("versionInFront"); // the version reply in the same write as the start
    QTest::newRow("no local copy, one read") << "-" << 1 << false;
    QTest::newRow("older local copy, a thousand reads") << "old" << 1000 << false;
    QTest::newRow("unreadable local copy, version reply in front") << "junk" << 3 << true;
  }
  void downloadIsInstalledAndStarted() {
    QFETCH(QString, localCopy);
    QFETCH(int, reads);
    QFETCH(bool, versionInFront);
    UpdateHarness h;
    setCheckVersion("1107");
    if (localCopy == "old") h.setLocalCopy(kOld);
    if (localCopy == "junk") {
      QFile f(h.localCopy());
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write("not a program");
    }
    const std::string file = FileBytes(kNew);
    const std::string stream = (versionInFront ? kVersionReply : std::string()) + ProgramReply(file);
    h.then([&] { return h.server.received().find(kProgramRequest) != std::string::npos; }, [&] {
      const std::size_t piece = stream.size() / std::size_t(reads) + 1;
      for (std::size_t p = 0; p < stream.size(); p += piece) h.server.send(std::string_view(stream).substr(p, piece));
    });
    h.serveSignature(h.key.sign(file, "davu-admin 1.10.7"));
    QVERIFY(h.run());
    QVERIFY(h.stepsDone());
    QVERIFY(FileBytes(h.localCopy()) == file);
    QCOMPARE(QFile::permissions(h.localCopy()) & 0x7777,
             QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser | QFile::WriteUser |
                 QFile::ExeUser | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    QCOMPARE(folderEntries(), (QStringList{"davu-admin", "davu-admin.minisig"}));
    QCOMPARE(h.fake.starter->starts.size(), std::size_t(1));
    QCOMPARE(h.fake.starter->starts.front().program, h.localCopy());
    QCOMPARE(h.fake.starter->starts.front().workingDir, StartFolder);
    QCOMPARE(h.fake.sleeper->sleeps, std::vector<int>{100});
    QVERIFY(h.fake.dialogs->infoMessages.isEmpty());
    if (versionInFront) QCOMPARE(UpdateServerVersion, QStringLiteral("1.10.7"));
    QCOMPARE(h.sent(), kVersionRequest + kProgramRequest + kSignatureRequest);
  }

  // A file that is not the announced version is discarded with a message;
  // the local copy stays as it was and nothing is started.
  void wrongOrBrokenDownloadIsTurnedAway_data() {
    QTest::addColumn<QByteArray>("reply");
    // The trusted comment of its signature: each is signed as the version it
    // carries, so that the version is what turns it away.
    QTest::addColumn<QByteArray>("comment");
    const std::string newFile = FileBytes(kNew);
    QTest::newRow("older version") << QByteArray::fromStdString(ProgramReply(FileBytes(kOld)))
                                   << QByteArray("davu-admin 1.10.6");
    QTest::newRow("cut file") << QByteArray::fromStdString(ProgramReply(newFile.substr(0, newFile.size() / 2)))
                              << QByteArray("davu-admin <info not available>");
    QTest::newRow("no closing tag")
        << QByteArray::fromStdString(davu::proto::Frame("\xA4RETNEWCLIENT:" + newFile)) << QByteArray();
  }
  void wrongOrBrokenDownloadIsTurnedAway() {
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, comment);
    UpdateHarness h;
    setCheckVersion("1107");
    {
      QFile f(h.localCopy());
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write("old copy");
    }
    const std::string sent = reply.toStdString();
    const std::string file = sent.substr(sent.find(':') + 1, sent.rfind(":RETNEWCLIENT") - sent.find(':') - 1);
    h.then([&] { return h.server.received().find(kProgramRequest) != std::string::npos; },
           [&] { h.server.send(sent); });
    if (!comment.isEmpty()) h.serveSignature(h.key.sign(file, comment.toStdString()));
    QVERIFY(!h.run());
    QVERIFY(UpdateSaveFailed);
    QVERIFY(h.fake.starter->starts.empty());
    QCOMPARE(h.fake.dialogs->infoMessages.size(), 1);
    QVERIFY2(h.fake.dialogs->infoMessages.front().startsWith(kTurnedAway),
             qPrintable(h.fake.dialogs->infoMessages.front()));
    QCOMPARE(FileBytes(h.localCopy()), std::string("old copy"));
    QCOMPARE(folderEntries(), QStringList{"davu-admin"});
    // A second check against the same server turns it away again: no loop.
    h.then([&] { return h.server.received().find(kProgramRequest) != std::string::npos; },
           [&] { h.server.send(reply.toStdString()); });
    if (!comment.isEmpty()) h.serveSignature(h.key.sign(file, comment.toStdString()));
    QVERIFY(!h.run());
    QVERIFY(h.fake.starter->starts.empty());
  }

  // What the update server sends instead of a good signature: each refused
  // with its reason; nothing renamed, stored or started, the old copy kept.
  void unsignedDownloadIsRefused_data() {
    QTest::addColumn<QByteArray>("program");
    QTest::addColumn<QByteArray>("signatureReply");  // the whole reply to the signature request
    QTest::addColumn<QString>("reason");
    const TestKey stranger(9);
    const TestKey trusted(1);  // the harness's key
    const std::string file = FileBytes(kNew);
    std::string object = file;
    object[16] = 1;  // ET_REL: an object file carrying the same version block
    object[17] = 0;
    auto row = [](const std::string& program, const std::string& reply, const char* reason) {
      return std::make_tuple(QByteArray::fromStdString(program), QByteArray::fromStdString(reply), QString(reason));
    };
    const std::tuple<QByteArray, QByteArray, QString> rows[] = {
        row(file, "ERROR: programfilen davu-admin.minisig finns inte p\xE5 uppdateringsservern.", "signatur saknas"),
        row(file, ProgramReply(stranger.sign(file, "davu-admin 1.10.7")), "inte signerad med en betrodd nyckel"),
        row(file, ProgramReply(trusted.sign(FileBytes(kOld), "davu-admin 1.10.7")), "signaturen stämmer inte med filen"),
        row(file, ProgramReply(trusted.sign(file, "davu-admin 1.10.8")), "signaturen gäller en annan fil eller version"),
        row(file, ProgramReply(trusted.sign(file, "davu-admin 1.10.7").substr(0, 100)), "signatur saknas"),
        row(file, ProgramReply(trusted.sign(file, "davu-admin 1.10.7") + std::string(1 << 20, '\n')),
            "signatur saknas"),
        row(object, ProgramReply(trusted.sign(object, "davu-admin 1.10.7")), "inte ett program"),
    };
    const char* names[] = {"no signature file", "untrusted key", "signature of another file", "another version",
                           "truncated signature", "signature file of 1 MB", "not an executable"};
    for (std::size_t i = 0; i < std::size(rows); ++i)
      QTest::newRow(names[i]) << std::get<0>(rows[i]) << std::get<1>(rows[i]) << std::get<2>(rows[i]);
  }
  void unsignedDownloadIsRefused() {
    QFETCH(QByteArray, program);
    QFETCH(QByteArray, signatureReply);
    QFETCH(QString, reason);
    UpdateHarness h;
    setCheckVersion("1107");
    QVERIFY(WriteWhole(h.localCopy(), "old copy"));
    h.then([&] { return h.server.received().find(kProgramRequest) != std::string::npos; },
           [&] { h.server.send(ProgramReply(program.toStdString())); });
    h.then([&] { return h.server.received().find(kSignatureRequest) != std::string::npos; },
           [&] { h.server.send(signatureReply.toStdString()); });
    QVERIFY(!h.run());
    QVERIFY(h.stepsDone());
    QVERIFY(UpdateSaveFailed);
    QVERIFY(h.fake.starter->starts.empty());
    QCOMPARE(h.fake.dialogs->infoMessages.size(), 1);
    QVERIFY2(h.fake.dialogs->infoMessages.front().contains(reason), qPrintable(h.fake.dialogs->infoMessages.front()));
    QCOMPARE(FileBytes(h.localCopy()), std::string("old copy"));
    QCOMPARE(folderEntries(), QStringList{"davu-admin"});
  }

  // A local copy that changed after its install, or that does not start, is
  // moved aside (its new name in the message) and never tried again: the
  // next check downloads the version anew.
  void failingLocalCopyIsMovedAsideAndDownloadedAnew_data() {
    QTest::addColumn<bool>("changed");  // else: it fails to start
    QTest::newRow("bytes changed after install") << true;
    QTest::newRow("fails to start") << false;
  }
  void failingLocalCopyIsMovedAsideAndDownloadedAnew() {
    QFETCH(bool, changed);
    UpdateHarness h;
    setCheckVersion("1107");
    h.setLocalCopy(kNew);
    if (changed) {
      QFile f(h.localCopy());
      QVERIFY(f.open(QIODevice::Append));
      f.write("x");
    } else {
      h.fake.starter->result = false;
    }
    QVERIFY(!h.run());
    QCOMPARE(h.fake.starter->starts.size(), std::size_t(changed ? 0 : 1));
    QCOMPARE(h.fake.dialogs->infoMessages.size(), 1);
    const QString aside = h.localCopy() + ".avvisad";
    QVERIFY2(h.fake.dialogs->infoMessages.front().contains(aside), qPrintable(h.fake.dialogs->infoMessages.front()));
    QCOMPARE(folderEntries(), (QStringList{"davu-admin.avvisad", "davu-admin.avvisad.minisig"}));

    h.fake.starter->result = true;
    h.fake.dialogs->infoMessages.clear();
    const std::string file = FileBytes(kNew);
    h.then([&] { return h.server.received().find(kProgramRequest) != std::string::npos; },
           [&] { h.server.send(ProgramReply(file)); });
    h.serveSignature(h.key.sign(file, "davu-admin 1.10.7"));
    QVERIFY(h.run());
    QVERIFY(FileBytes(h.localCopy()) == file);
    QCOMPARE(h.fake.starter->starts.back().program, h.localCopy());
  }

  // A download larger than a program of this product can be is turned away
  // as soon as it passes the limit, whether it ever ends or not: the
  // connection holds no more than the limit, and nothing is stored.
  void downloadOverTheLimitIsTurnedAway_data() {
    QTest::addColumn<bool>("ends");
    QTest::newRow("complete frame over the limit") << true;
    QTest::newRow("frame that never ends") << false;
  }
  void downloadOverTheLimitIsTurnedAway() {
    QFETCH(bool, ends);
    UpdateHarness h;
    setCheckVersion("1107");
    h.check->downloadLimitFloor = 0;
    const std::size_t limit = h.check->downloadLimit();
    QCOMPARE(limit, std::size_t(QFileInfo(kOld).size()) * UpdateCheck::kDownloadSizeFactor);
    std::size_t mostHeld = 0;
    h.then([&] { return h.server.received().find(kProgramRequest) != std::string::npos; }, [&] {
      h.server.send(std::string(davu::proto::kFrameStart) + "\xA4RETNEWCLIENT:");
      const std::string piece(limit / 8, 'x');
      // Twice the limit, then the end marker or nothing more.
      for (int i = 0; i < 16; ++i) {
        h.server.send(piece);
        WaitUntil([&] { return h.check->heldBytes() >= std::size_t(i) * piece.size() || UpdateSaveFailed; });
        mostHeld = std::max(mostHeld, h.check->heldBytes());
      }
      if (ends) h.server.send(":RETNEWCLIENT\xA4#DATAEND#");
    });
    QVERIFY(!h.run());
    QVERIFY(UpdateSaveFailed);
    QVERIFY(h.fake.starter->starts.empty());
    QCOMPARE(h.fake.dialogs->infoMessages.size(), 1);
    QVERIFY2(h.fake.dialogs->infoMessages.front().startsWith(kTurnedAway),
             qPrintable(h.fake.dialogs->infoMessages.front()));
    QVERIFY2(mostHeld <= limit + 64, qPrintable(QString::number(mostHeld)));
    QVERIFY(h.check->heldBytes() <= 64);
    QCOMPARE(folderEntries(), QStringList());
    QVERIFY(h.server.received().find("davu-admin.minisig") == std::string::npos);
  }

  // A download goes to the disk as it arrives: the connection never holds
  // more than a spill and a read of it, however large the file is.
  void largeDownloadIsNotHeldInMemory() {
    UpdateHarness h;
    setCheckVersion("1107");
    const std::string file = FileBytes(kNew) + std::string(24u << 20, '\x5a');
    std::size_t mostHeld = 0;
    QObject::connect(h.common->UpdateSocket, &ClientSocket::readReady,
                     [&] { mostHeld = std::max(mostHeld, h.check->heldBytes()); });
    h.then([&] { return h.server.received().find(kProgramRequest) != std::string::npos; }, [&] {
      const std::string reply = ProgramReply(file);
      for (std::size_t p = 0; p < reply.size(); p += 1u << 20) h.server.send(std::string_view(reply).substr(p, 1u << 20));
    });
    h.serveSignature(h.key.sign(file, "davu-admin 1.10.7"));
    QVERIFY(h.run());
    QVERIFY(FileBytes(h.localCopy()) == file);
    QCOMPARE(folderEntries(), (QStringList{"davu-admin", "davu-admin.minisig"}));
    const std::size_t bound = davu::proto::UpdateStream::kSpillBytes + ClientSocket::kHeldReadLimit + 64;
    QVERIFY2(mostHeld <= bound, qPrintable(QStringLiteral("%1 > %2").arg(mostHeld).arg(bound)));
  }

  // With no trusted key the check asks the version only: it never downloads
  // nor starts, not even a local copy, and shows nothing.
  void withoutTrustedKeyOnlyTheVersionIsAsked() {
    UpdateHarness h;
    QTemporaryDir empty;
    qputenv("DAVU_UPDATE_KEYS_DIR", QFile::encodeName(empty.path()));
    setCheckVersion("1107");
    h.setLocalCopy(kNew);
    QVERIFY(!h.run());
    QCOMPARE(UpdateState, 1);
    QVERIFY(UpdateSigningOff);
    QCOMPARE(h.sent(), kVersionRequest);
    h.server.send(kVersionReply);
    QTRY_COMPARE(UpdateServerVersion, QStringLiteral("1.10.7"));
    QVERIFY(h.fake.starter->starts.empty());
    QVERIFY(h.fake.dialogs->infoMessages.isEmpty());
  }

  // Replies that are not the program: the version reply, error texts. The
  // download then waits its 60 seconds and gives up with nothing stored.
  void otherRepliesDuringTheDownload_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("message");  // empty: none
    QTest::addColumn<QString>("version");
    QTest::newRow("framed version reply in one read")
        << QByteArray::fromStdString(davu::proto::Frame(kVersionReply)) << "" << "1.10.7";
    QTest::newRow("error 001") << QByteArray("ERROR: 001") << "" << "";
    QTest::newRow("error") << QByteArray("ERROR: programfilen davu-admin finns inte p\xE5 servern.")
                           << "Servern svarade med följande fel: programfilen davu-admin finns inte på servern."
                           << "";
    QTest::newRow("stalled in the middle of the file")
        << QByteArray::fromStdString(ProgramReply(FileBytes(kNew)).substr(0, 5000)) << "" << "";
  }
  void otherRepliesDuringTheDownload() {
    QFETCH(QByteArray, reply);
    QFETCH(QString, message);
    QFETCH(QString, version);
    UpdateHarness h;
    setCheckVersion("1107");
    bool firedEarly = false;
    h.then([&] { return h.server.received().find(kProgramRequest) != std::string::npos; },
           [&] { h.server.send(reply.toStdString()); });
    h.then([&] { return UpdateServerVersion == version && h.fake.dialogs->infoMessages.size() == !message.isEmpty(); },
           [&] {
             firedEarly = h.pass(59999);
             h.pass(60000);
           });
    QVERIFY(!h.run());
    QVERIFY(!firedEarly);
    QVERIFY(UpdateTimedOut);
    QVERIFY(!h.common->UpdateSocket->active());
    QCOMPARE(h.fake.dialogs->infoMessages, message.isEmpty() ? QStringList() : QStringList{message});
    QVERIFY(h.fake.starter->starts.empty());
    QVERIFY(!QFile::exists(h.localCopy()));
    QCOMPARE(folderEntries(), QStringList());
  }

  // The local copy's place cannot take the file: the message, and no start
  // of whatever is there.
  void downloadThatCannotBeStored() {
    UpdateHarness h;
    setCheckVersion("1107");
    QVERIFY(QDir().mkpath(h.localCopy() + "/in-the-way"));
    h.then([&] { return h.server.received().find(kProgramRequest) != std::string::npos; },
           [&] { h.server.send(ProgramReply(FileBytes(kNew))); });
    h.serveSignature(h.key.sign(FileBytes(kNew), "davu-admin 1.10.7"));
    QVERIFY(!h.run());
    QVERIFY(UpdateSaveFailed);
    QCOMPARE(h.fake.dialogs->infoMessages,
             QStringList{"Det fanns en ny version tillgänglig. Den gick dock inte att spara ner i katalogen \r" +
                         LocalDataFolder + "!"});
    QVERIFY(h.fake.starter->starts.empty());
    QCOMPARE(folderEntries(), QStringList{"davu-admin"});
  }

  // Without a local data folder there is no place for the new version that
  // is not beside the running program or in some working directory.
  void noLocalDataFolderAsksForNoProgram() {
    UpdateHarness h;
    setCheckVersion("1107");
    LocalDataFolder.clear();
    QVERIFY(!h.run());
    QVERIFY(UpdateSaveFailed);
    QCOMPARE(h.fake.dialogs->infoMessages,
             QStringList{"Det fanns en ny version tillgänglig. Den gick dock inte att spara ner i katalogen \r!"});
    QCOMPARE(h.sent(), kVersionRequest);
    QVERIFY(h.fake.starter->starts.empty());
  }

  // The decision waits five seconds. A check that gave up while the current
  // version was still being read from the main server sends nothing and
  // starts nothing when the answer comes late.
  void lateDecisionOfAGivenUpCheckDoesNothing() {
    UpdateHarness h;
    h.setLocalCopy(kNew);
    FakeServer mainServer;
    ClientSocket mainSocket;
    // The main window's dispatcher hands settings replies to the store.
    std::string pending;
    connect(&mainSocket, &ClientSocket::readReady, this, [&] {
      pending += mainSocket.takeBytes();
      while (auto payload = davu::proto::CutTaggedReply(pending, "RETINITEXT")) SettingReplyReceived(*payload);
    });
    QVERIFY(mainServer.connectClient(mainSocket));
    ServerSocket = &mainSocket;
    const std::string empty = "\xA4RETINITEXT::RETINITEXT\xA4";
    mainServer.onReceive = [&](const std::string& chunk) {
      if (chunk.find("UpdateServerName") != std::string::npos)
        mainServer.send("\xA4RETINITEXT:127.0.0.1:RETINITEXT\xA4");
      else if (chunk.find("UpdateServerPort") != std::string::npos)
        mainServer.send("\xA4RETINITEXT:" + std::to_string(h.server.port()) + ":RETINITEXT\xA4");
      else if (chunk.find("CHECKVERSION") == std::string::npos)
        mainServer.send(empty);
    };
    h.main.setPort(1);  // the update server's place comes from the settings
    h.then([&] { return mainServer.received().find("CHECKVERSION") != std::string::npos; }, [&] {
      QVERIFY(h.pass(5000));
      mainServer.send("\xA4RETINITEXT:1107:RETINITEXT\xA4");
    });
    QVERIFY(!h.run());
    QVERIFY(h.stepsDone());
    QCOMPARE(UpdateState, 0);
    QVERIFY(h.fake.starter->starts.empty());
    QCOMPARE(h.server.received(), std::string());
    ServerSocket = nullptr;
  }

  // A program reply that this check did not ask for is never installed.
  void unaskedProgramIsIgnored() {
    UpdateHarness h;
    setCheckVersion("1106");
    QVERIFY(!h.run());
    h.server.send(ProgramReply(FileBytes(kNew)));
    h.server.send(kVersionReply);
    QTRY_COMPARE(UpdateServerVersion, QStringLiteral("1.10.7"));
    QVERIFY(!QFile::exists(h.localCopy()));
    QVERIFY(h.fake.starter->starts.empty());
  }
};

QTEST_MAIN(UpdateCheckTest)
#include "updatecheck_test.moc"
