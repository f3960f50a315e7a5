// A new version travels from davu-server --update-dir to a running davu-admin
// process: downloaded into its local data folder, checked, installed and
// started with "RESTARTING=1" and the admin's own arguments in the admin's
// start folder, and the admin ends. A second start finds the local copy and
// starts it without downloading.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include "FakeServer.h"
#include "ServerProcess.h"
#include "SettingsStore.h"
#include "SharedState.h"
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

}  // namespace

class E2eUpdateTest : public QObject {
  Q_OBJECT

 private slots:
  void newVersionIsDownloadedStartedAndThenStartedFromTheLocalCopy() {
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString updates = home.filePath("updates");
    const QString start = home.filePath("start folder");
    QVERIFY(QDir().mkpath(updates) && QDir().mkpath(start) && QDir().mkpath(home.filePath("server")));
    QVERIFY(QFile::copy(QStringLiteral(DAVU_PROBE_1107), updates + "/davu-admin"));

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

    // The admin's own settings, under the root its start folder gives.
    for (const QString& name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "DAVU_MACHINE_CONFIG_DIR"})
      qputenv(name.toLatin1(), QFile::encodeName(env.value(name)));
    const QString here = QDir::currentPath();
    QVERIFY(QDir::setCurrent(start));
    InitLocalPaths();
    WriteSetting("ServerSettings", "ServerName", "127.0.0.1");
    WriteSetting("ServerSettings", "ServerPort", QString::number(server.port()));
    const QString localCopy = LocalDataFolder + "davu-admin";
    QDir::setCurrent(here);

    const QStringList args{"--färg", "två ord", ""};
    auto runAdmin = [&] {
      QFile::remove(report);
      QProcess admin;
      admin.setProcessEnvironment(env);
      admin.setWorkingDirectory(start);
      admin.setProcessChannelMode(QProcess::ForwardedChannels);
      admin.start(QStringLiteral(DAVU_ADMIN_PROGRAM), args);
      if (!admin.waitForFinished(60000)) {
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

    QCOMPARE(runAdmin(), 1);
    QList<QByteArray> got = reported();
    if (!got.isEmpty()) got[0] = QFile::encodeName(QDir(QFile::decodeName(got[0])).canonicalPath());
    QCOMPARE(got, expected);
    QCOMPARE(Contents(localCopy), Contents(QStringLiteral(DAVU_PROBE_1107)));
    QVERIFY(QFileInfo(localCopy).isExecutable());

    // Without the file on the update server, a download would fail: the
    // start shows that the local copy was used as it is.
    QVERIFY(QFile::remove(updates + "/davu-admin"));
    QCOMPARE(runAdmin(), 1);
    got = reported();
    if (!got.isEmpty()) got[0] = QFile::encodeName(QDir(QFile::decodeName(got[0])).canonicalPath());
    QCOMPARE(got, expected);
    QCOMPARE(Contents(localCopy), Contents(QStringLiteral(DAVU_PROBE_1107)));
  }
};

QTEST_GUILESS_MAIN(E2eUpdateTest)
#include "e2e_update_test.moc"
