// The minisign signature reader and check, with keys made by the test and
// with files written by the real minisign tool.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "TestSigner.h"
#include "update/ReleaseSignature.h"

using namespace davu::update;

namespace {

std::array<std::uint8_t, 64> HashOf(std::string_view bytes) {
  FileHash h;
  // In pieces, as a file is read.
  for (std::size_t at = 0; at < bytes.size(); at += 7) h.add(bytes.substr(at, 7));
  return h.finish();
}

PublicKey KeyOf(const TestKey& s) { return *ParsePublicKey(s.publicKeyFile()); }

}  // namespace

class ReleaseSignatureTest : public QObject {
  Q_OBJECT

 private slots:
  void verdicts_data() {
    QTest::addColumn<int>("verdict");
    QTest::addColumn<int>("kase");
    QTest::newRow("signed rightly") << int(SignatureVerdict::Good) << 0;
    QTest::newRow("no signature") << int(SignatureVerdict::Malformed) << 1;
    QTest::newRow("untrusted key") << int(SignatureVerdict::UntrustedKey) << 2;
    QTest::newRow("signature of another file") << int(SignatureVerdict::BadSignature) << 3;
    QTest::newRow("another version") << int(SignatureVerdict::OtherRelease) << 4;
    QTest::newRow("another file name") << int(SignatureVerdict::OtherRelease) << 5;
    QTest::newRow("truncated") << int(SignatureVerdict::Malformed) << 6;
    QTest::newRow("1 MB") << int(SignatureVerdict::Malformed) << 7;
    QTest::newRow("bytes changed after signing") << int(SignatureVerdict::BadSignature) << 8;
    QTest::newRow("trusted comment changed") << int(SignatureVerdict::BadSignature) << 9;
    QTest::newRow("legacy Ed form") << int(SignatureVerdict::Malformed) << 10;
  }
  void verdicts() {
    QFETCH(int, verdict);
    QFETCH(int, kase);
    const TestKey trusted(1), alsoTrusted(2), other(3);
    const std::string file = "\x7f" "ELF the program bytes";
    const std::string comment = "davu-admin 1.10.7";
    std::string sig = trusted.sign(file, comment);
    std::string signedFile = file;
    switch (kase) {
      case 1: sig.clear(); break;
      case 2: sig = other.sign(file, comment); break;
      case 3: sig = trusted.sign("another file", comment); break;
      case 4: sig = trusted.sign(file, "davu-admin 1.10.8"); break;
      case 5: sig = trusted.sign(file, "davu-server 1.10.7"); break;
      case 6: sig.resize(sig.size() / 2); break;
      case 7: sig += std::string(1024 * 1024, '\n'); break;
      case 8: signedFile[5] ^= 1; break;
      case 9: {
        const auto at = sig.find("1.10.7");
        sig.replace(at, 6, "1.10.8");
        break;
      }
      case 10: {
        // "ED" -> "Ed" in the decoded signature line: base64 of "ED" starts "RU", of "Ed" "RW".
        const auto at = sig.find('\n') + 1;
        QCOMPARE(sig.substr(at, 2), std::string("RU"));
        sig[at + 1] = 'W';
        break;
      }
    }
    QCOMPARE(int(VerifySignature(sig, HashOf(signedFile), {KeyOf(alsoTrusted), KeyOf(trusted)}, comment)), verdict);
  }

  // Several keys at once: a release signed by any of them holds.
  void anyTrustedKeyHolds() {
    const TestKey a(4), b(5);
    const std::string file = "x";
    QCOMPARE(VerifySignature(b.sign(file, "p 1"), HashOf(file), {KeyOf(a), KeyOf(b)}, "p 1"), SignatureVerdict::Good);
    QCOMPARE(VerifySignature(b.sign(file, "p 1"), HashOf(file), {}, "p 1"), SignatureVerdict::UntrustedKey);
  }

  // What the real tool writes is read and holds.
  void readsMinisignsOwnFiles() {
    if (QStandardPaths::findExecutable("minisign").isEmpty()) QSKIP("minisign is not installed");
    QTemporaryDir dir;
    const QString pub = dir.filePath("k.pub"), sec = dir.filePath("k.key"), file = dir.filePath("davu-admin");
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("program bytes");
    f.close();
    QProcess gen;
    gen.start("minisign", {"-G", "-W", "-p", pub, "-s", sec});
    QVERIFY(gen.waitForFinished() && gen.exitCode() == 0);
    QProcess sign;
    sign.start("minisign", {"-S", "-s", sec, "-m", file, "-t", "davu-admin 1.10.7"});
    QVERIFY(sign.waitForFinished() && sign.exitCode() == 0);
    QFile p(pub), s(file + ".minisig");
    QVERIFY(p.open(QIODevice::ReadOnly) && s.open(QIODevice::ReadOnly));
    const auto key = ParsePublicKey(p.readAll().toStdString());
    QVERIFY(key);
    QCOMPARE(VerifySignature(s.readAll().toStdString(), HashOf("program bytes"), {*key}, "davu-admin 1.10.7"),
             SignatureVerdict::Good);
  }
};

QTEST_GUILESS_MAIN(ReleaseSignatureTest)
#include "releasesignature_test.moc"
