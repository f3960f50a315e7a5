// A new version travels from davu-server --update-dir to a running davu-admin
// process: downloaded into its local data folder, checked, installed and
// started with "RESTARTING=1" and the admin's own arguments in the admin's
// start folder, and the admin ends. A second start finds the local copy and
// starts it without downloading. Releases carry a minisign signature made
// with a test key that the admin processes trust; one signed by another key
// is never started.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include "FakeServer.h"
#include "ServerProcess.h"
#include "TestSigner.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "protocol/Catalogue.h"

namespace {

QByteArray Contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Stores a setting on the server and waits until the server answers with it.
bool StoreOnServer(int port, const std::string& section, const std::string& key, const std::string& value) {
  QTcpSocket s;
  s.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
  if (!s.waitForConnected(5000)) return false;
  const std::string out = davu::proto::SetIniTextGlobal(section, key, value) +
                          davu::proto::GetIniTextGlobal(section, key);
  s.write(out.data(), qint64(out.size()));
  const QByteArray expected = QByteArray("\xA4RETINITEXT:") + value.c_str();
  QByteArray got;
  while (!got.contains(expected) && s.waitForReadyRead(5000)) got += s.readAll();
  return got.contains(expected);
}

// Puts `program` into the update folder as davu-admin with its signature by `key`.
bool PutRelease(const QString& updates, const QString& program, const TestKey& key) {
  const std::string bytes = ReadWhole(program);
  return QFile::copy(program, updates + "/davu-admin") &&
         WriteWhole(updates + "/davu-admin.minisig", key.sign(bytes, "davu-admin 1.10.7"));
}

}  // namespace

class E2eUpdateTest : public QObject {
  Q_OBJECT

 private slots:
  void newVersionIsDownloadedStartedAndThenStartedFromTheLocalCopy() { run(true); }
  // A release signed by a key the admin does not trust is refused: nothing is
  // installed or started, and the admin goes on with its main connection.
  void releaseSignedByAnotherKeyIsNeverStarted() { run(false); }

 private:
  void run(bool trustedSigner) {
    const TestKey releaseKey(21), otherKey(22);
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString updates = home.filePath("updates");
    const QString start = home.filePath("start folder");
    QVERIFY(QDir().mkpath(updates) && QDir().mkpath(start) && QDir().mkpath(home.filePath("server")));
    QVERIFY(PutRelease(updates, QStringLiteral(DAVU_PROBE_1107), trustedSigner ? releaseKey : otherKey));
    const TrustedKeyFolder keys({&releaseKey});

    ServerProcess server(home.filePath("server"), {"--update-dir", updates});
    QVERIFY2(server.port() > 0, "davu-server did not start");
    QVERIFY(StoreOnServer(server.port(), "CHECKVERSION", "davu-admin", "1107"));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.insert("XDG_DATA_HOME", home.filePath("data"));
    env.insert("DAVU_MACHINE_CONFIG_DIR", home.filePath("machine"));
    const QString report = home.filePath("report");
    env.insert("DAVU_PROBE_REPORT", report);
    env.insert("DAVU_UPDATE_KEYS_DIR", keys.path());

    // The admin's own settings, under the root its start folder gives.
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "DAVU_MACHINE_CONFIG_DIR"})
      qputenv(name, QFile::encodeName(env.value(QString::fromLatin1(name))));
    const QString here = QDir::currentPath();
    QVERIFY(QDir::setCurrent(start));
    InitLocalPaths();
    WriteSetting("ServerSettings", "ServerName", "127.0.0.1");
    WriteSetting("ServerSettings", "ServerPort", QString::number(server.port()));
    const QString localCopy = LocalDataFolder + "davu-admin";
    QDir::setCurrent(here);

    const QStringList args{"--färg", "två ord", ""};
    auto runAdmin = [&](int waitMs) {
      QFile::remove(report);
      QProcess admin;
      admin.setProcessEnvironment(env);
      admin.setWorkingDirectory(start);
      admin.setProcessChannelMode(QProcess::ForwardedChannels);
      admin.start(QStringLiteral(DAVU_ADMIN_PROGRAM), args);
      if (!admin.waitForFinished(waitMs)) {
        admin.kill();
        admin.waitForFinished();
        return -1;
      }
      return admin.exitCode();
    };
    auto reported = [&] {
      WaitUntil([&] { return QFile::exists(report); }, 20000);
      return Contents(report).split('\0');
    };
    const QList<QByteArray> expected{QFile::encodeName(QDir(start).canonicalPath()), "RESTARTING=1",
                                     "--färg", "två ord", "", ""};

    if (!trustedSigner) {
      // The refusal is a message the offscreen admin cannot close: it is
      // ended by the wait, never having started the probe.
      runAdmin(15000);
      QVERIFY(!QFile::exists(report));
      QVERIFY(!QFile::exists(localCopy));
      QVERIFY(!QFile::exists(localCopy + ".minisig"));
      return;
    }
    QCOMPARE(runAdmin(60000), 1);
    QList<QByteArray> got = reported();
    if (!got.isEmpty()) got[0] = QFile::encodeName(QDir(QFile::decodeName(got[0])).canonicalPath());
    QCOMPARE(got, expected);
    QCOMPARE(Contents(localCopy), Contents(QStringLiteral(DAVU_PROBE_1107)));
    QVERIFY(QFileInfo(localCopy).isExecutable());

    // Without the file on the update server, a download would fail: the
    // start shows that the local copy was used as it is.
    QVERIFY(QFile::remove(updates + "/davu-admin"));
    QCOMPARE(runAdmin(60000), 1);
    got = reported();
    if (!got.isEmpty()) got[0] = QFile::encodeName(QDir(QFile::decodeName(got[0])).canonicalPath());
    QCOMPARE(got, expected);
    QCOMPARE(Contents(localCopy), Contents(QStringLiteral(DAVU_PROBE_1107)));
  }
};

QTEST_GUILESS_MAIN(E2eUpdateTest)
#include "e2e_update_test.moc"
