// Installing a downloaded program file: never in place, never a wrong one.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "TestSigner.h"
#include "update/ProgramInstaller.h"
#include "update/UpdateKeys.h"

using namespace davu;

namespace {

QByteArray Contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

const TestKey kTrusted(1);
const TestKey kStranger(2);
const QString kName = QStringLiteral("davu-admin");

std::vector<davu::update::PublicKey> trustedKeys() {
  return {*davu::update::ParsePublicKey(kTrusted.publicKeyFile())};
}

QByteArray signedBy(const TestKey& key, const QByteArray& file, const std::string& comment) {
  return QByteArray::fromStdString(key.sign(file.toStdString(), comment));
}

ProgramInstaller::Result install(const QByteArray& file, const QString& target, int expected,
                                 const QByteArray& signature) {
  return ProgramInstaller::install(file.toStdString(), target, expected, signature, trustedKeys(), kName);
}

// The same program, but an object file rather than an executable.
QByteArray asObjectFile(QByteArray elf) {
  elf[16] = 1;  // ET_REL
  elf[17] = 0;
  return elf;
}

}  // namespace

class ProgramInstallerTest : public QObject {
  Q_OBJECT

 private slots:
  // A program running from the local copy keeps its file: the new one takes
  // its name, the open file still holds the old bytes.
  void replacesTheNameNotTheRunningFile() {
    QTemporaryDir dir;
    const QString target = dir.filePath("davu-admin");
    QVERIFY(QFile::copy(QStringLiteral(DAVU_PROBE_1106), target));
    QFile running(target);
    QVERIFY(running.open(QIODevice::ReadOnly));
    const QByteArray newFile = Contents(QStringLiteral(DAVU_PROBE_1107));

    const QByteArray signature = signedBy(kTrusted, newFile, "davu-admin 1.10.7");
    const auto r = install(newFile, target, 1107, signature);
    QCOMPARE(r.outcome, ProgramInstaller::Outcome::Installed);
    QCOMPARE(Contents(target), newFile);
    QCOMPARE(Contents(target + ".minisig"), signature);
    QCOMPARE(ProgramInstaller::checkInstalled(target, trustedKeys(), kName), QString());
    QCOMPARE(running.readAll(), Contents(QStringLiteral(DAVU_PROBE_1106)));
    QVERIFY(QFileInfo(target).isExecutable());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"davu-admin", "davu-admin.minisig"}));
  }

  // Each refusal leaves the local copy as it was and says what was wrong.
  void refusesWhatNoTrustedKeySigned_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("signature");
    QTest::addColumn<QString>("reason");
    const QByteArray newFile = Contents(QStringLiteral(DAVU_PROBE_1107));
    const QByteArray good = signedBy(kTrusted, newFile, "davu-admin 1.10.7");
    QTest::newRow("no signature") << newFile << QByteArray() << "signatur saknas";
    QTest::newRow("untrusted key") << newFile << signedBy(kStranger, newFile, "davu-admin 1.10.7")
                                   << "inte signerad med en betrodd nyckel";
    QTest::newRow("signature of another file")
        << newFile << signedBy(kTrusted, Contents(QStringLiteral(DAVU_PROBE_1106)), "davu-admin 1.10.7")
        << "signaturen stämmer inte med filen";
    QTest::newRow("another version") << newFile << signedBy(kTrusted, newFile, "davu-admin 1.10.6")
                                     << "signaturen gäller en annan fil eller version";
    QTest::newRow("another program name") << newFile << signedBy(kTrusted, newFile, "davu-server 1.10.7")
                                          << "signaturen gäller en annan fil eller version";
    QTest::newRow("truncated signature") << newFile << good.left(good.size() - 20)
                                         << "signatur saknas eller är ogiltig";
    QTest::newRow("signature file of 1 MB") << newFile << good + QByteArray(1 << 20, '\n')
                                            << "signatur saknas eller är ogiltig";
    QByteArray changed = newFile;
    changed[changed.size() - 1] = char(changed.back() ^ 1);
    QTest::newRow("bytes changed after signing") << changed << good << "signaturen stämmer inte med filen";
    QByteArray forged = good;
    forged.replace("davu-admin 1.10.7", "davu-admin 1.10.8");
    QTest::newRow("trusted comment changed after signing") << newFile << forged
                                                           << "signaturen stämmer inte med filen";
    const QByteArray object = asObjectFile(newFile);
    QTest::newRow("not an executable, signed properly")
        << object << signedBy(kTrusted, object, "davu-admin 1.10.7")
        << "filen är inte ett program för den här datorn";
  }
  void refusesWhatNoTrustedKeySigned() {
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, signature);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString target = dir.filePath("davu-admin");
    QVERIFY(QFile::copy(QStringLiteral(DAVU_PROBE_1106), target));
    const auto r = install(file, target, 1107, signature);
    QCOMPARE(r.outcome, ProgramInstaller::Outcome::Refused);
    QCOMPARE(r.detail, reason);
    QCOMPARE(Contents(target), Contents(QStringLiteral(DAVU_PROBE_1106)));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"davu-admin"});
  }

  // A local copy is checked again before it is started: changed bytes, a
  // lost signature or a key no longer trusted fail; it is moved aside.
  void installedCopyIsCheckedAgain_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("reason");
    QTest::newRow("bytes changed") << "bytes" << "signaturen stämmer inte med filen";
    QTest::newRow("signature removed") << "signature" << "signatur saknas";
    QTest::newRow("key no longer trusted") << "key" << "inte signerad med en betrodd nyckel";
  }
  void installedCopyIsCheckedAgain() {
    QFETCH(QString, change);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString target = dir.filePath("davu-admin");
    const QByteArray newFile = Contents(QStringLiteral(DAVU_PROBE_1107));
    QCOMPARE(install(newFile, target, 1107, signedBy(kTrusted, newFile, "davu-admin 1.10.7")).outcome,
             ProgramInstaller::Outcome::Installed);
    std::vector<davu::update::PublicKey> keys = trustedKeys();
    if (change == "bytes") {
      QFile f(target);
      QVERIFY(f.open(QIODevice::ReadWrite));
      f.seek(f.size() - 1);
      f.write("!");
    }
    if (change == "signature") QVERIFY(QFile::remove(target + ".minisig"));
    if (change == "key") keys = {*davu::update::ParsePublicKey(kStranger.publicKeyFile())};
    QCOMPARE(ProgramInstaller::checkInstalled(target, keys, kName), reason);
    QCOMPARE(ProgramInstaller::moveAside(target), target + ".avvisad");
    QVERIFY(!QFile::exists(target));
    QVERIFY(!QFileInfo(target + ".avvisad").isExecutable());
  }

  void turnsAwayWhatIsNotTheAnnouncedVersion_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("found");
    const QByteArray newFile = Contents(QStringLiteral(DAVU_PROBE_1107));
    QTest::newRow("older version") << Contents(QStringLiteral(DAVU_PROBE_1106)) << 1107 << "1.10.6";
    QTest::newRow("newer than announced") << newFile << 1108 << "1.10.7";
    QTest::newRow("cut") << newFile.left(newFile.size() - 100) << 1107 << "<info not available>";
    QTest::newRow("not a program") << QByteArray("1.10.7") << 1107 << "<info not available>";
    QTest::newRow("empty") << QByteArray() << 1000 << "<info not available>";
  }
  void turnsAwayWhatIsNotTheAnnouncedVersion() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, expected);
    QFETCH(QString, found);
    QTemporaryDir dir;
    const QString target = dir.filePath("davu-admin");
    QVERIFY(QFile::copy(QStringLiteral(DAVU_PROBE_1106), target));
    // Signed for the version it carries: the version check turns it away.
    const auto r = install(bytes, target, expected, signedBy(kTrusted, bytes, "davu-admin " + found.toStdString()));
    QCOMPARE(r.outcome, ProgramInstaller::Outcome::WrongVersion);
    QCOMPARE(r.detail, found);
    QCOMPARE(Contents(target), Contents(QStringLiteral(DAVU_PROBE_1106)));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"davu-admin"});
  }

  void missingFolderIsNotStored() {
    QTemporaryDir dir;
    const auto r = install("x", dir.filePath("gone/davu-admin"), 1107, "x");
    QCOMPARE(r.outcome, ProgramInstaller::Outcome::NotStored);
    QVERIFY(!r.detail.isEmpty());
  }
};

QTEST_GUILESS_MAIN(ProgramInstallerTest)
#include "programinstaller_test.moc"
