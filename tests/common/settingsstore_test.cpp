// The layered settings store: per-user file, per-machine file, then the
// server under this computer's address and globally, against an in-process
// server through a real connection.
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "FakePlatform.h"
#include "FakeServer.h"
#include "SettingsSandbox.h"
#include "common/ClientSocket.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "common/WireText.h"
#include "protocol/ReplyCutter.h"
#include "widgets/UDAVUcommon.h"

using namespace davu;

using davu::platform::Hive;

namespace {
const QString kRoot = QStringLiteral("_opt_davu_admin\\");
const QString kSub = QStringLiteral("SOFTWARE\\Solvarn\\_opt_davu_admin\\S");
const std::string kMachineRead = ToWire(QStringLiteral("¤GETINITEXT:RECEPTION01\\"));
const std::string kGlobalRead = ToWire(QStringLiteral("¤GETINITEXT:\\"));

std::string reply(const QString& value) { return ToWire(QStringLiteral("¤RETINITEXT:%1:RETINITEXT¤").arg(value)); }
}  // namespace

class SettingsStoreTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void readOrder_data();
  void readOrder();
  void defaultVariants_data();
  void defaultVariants();
  void serverReadSkipsLocalLayers();
  void writeGoesEverywhere();
  void machineLayerFailureLeavesErrorRecord();
  void lengthLimits();
  void nestedReadEndsBothWaits();
  void lostConnectionEndsWait();
  void initLocalPaths_data();
  void initLocalPaths();

 private:
  // Connects ServerSocket to the fake server; its read handler feeds every
  // settings reply to the store as the dispatcher does.
  void connectToServer();
  // The server answers this computer's and the global request: "-" means no
  // answer (the reply timer is made to fire), anything else is the reply.
  void scriptServer(const QString& machineAnswer, const QString& globalAnswer);

  std::unique_ptr<SettingsSandbox> settings_;
  std::unique_ptr<QTemporaryDir> tmp_;  // folders and files besides the settings
  std::unique_ptr<FakePlatform> fakes_;
  std::unique_ptr<TfrmDAVUcommon> common_;
  std::unique_ptr<FakeServer> server_;
  std::unique_ptr<ClientSocket> socket_;
  std::string pending_;
  QStringList asked_;  // "M" computer-specific, "G" global, in order
};

void SettingsStoreTest::init() {
  ResetSharedState();
  settings_ = std::make_unique<SettingsSandbox>();
  tmp_ = std::make_unique<QTemporaryDir>();
  fakes_ = std::make_unique<FakePlatform>();
  SettingsRootName = kRoot;
  PendingSettingValue.clear();
  SettingReplyArrived = SettingReplyTimedOut = false;
  LastRegistryError.clear();
  common_ = std::make_unique<TfrmDAVUcommon>(false);
  asked_.clear();
  pending_.clear();
}

void SettingsStoreTest::cleanup() {
  ServerSocket = nullptr;
  socket_.reset();
  server_.reset();
  common_.reset();
  fakes_.reset();
  tmp_.reset();
  settings_.reset();
}

void SettingsStoreTest::connectToServer() {
  server_ = std::make_unique<FakeServer>();
  socket_ = std::make_unique<ClientSocket>();
  connect(socket_.get(), &ClientSocket::readReady, this, [this] {
    pending_ += socket_->takeBytes();
    while (auto payload = davu::proto::CutTaggedReply(pending_, "RETINITEXT")) SettingReplyReceived(*payload);
  });
  QVERIFY(server_->connectClient(*socket_));
  ServerSocket = socket_.get();
}

void SettingsStoreTest::scriptServer(const QString& machineAnswer, const QString& globalAnswer) {
  server_->onReceive = [this, machineAnswer, globalAnswer](const std::string& chunk) {
    for (auto [marker, name, answer] : {std::tuple{kMachineRead, "M", machineAnswer}, std::tuple{kGlobalRead, "G", globalAnswer}}) {
      if (chunk.find(marker) == std::string::npos) continue;
      asked_ << QString::fromLatin1(name);
      if (answer == QLatin1String("-")) common_->SocketTimerTimer();
      else server_->send(reply(answer));
    }
  };
}

void SettingsStoreTest::readOrder_data() {
  QTest::addColumn<QString>("user");     // "-": not stored
  QTest::addColumn<QString>("machine");
  QTest::addColumn<bool>("connected");
  QTest::addColumn<QString>("machineAnswer");  // "-": no answer
  QTest::addColumn<QString>("globalAnswer");
  QTest::addColumn<QString>("expected");
  QTest::addColumn<QStringList>("asked");
  const QStringList none, m{"M"}, mg{"M", "G"};
  QTest::newRow("user wins") << "u" << "m" << true << "s" << "g" << "u" << none;
  QTest::newRow("user value kept as stored") << " u " << "m" << true << "s" << "g" << " u " << none;
  QTest::newRow("machine next") << "-" << "m" << true << "s" << "g" << "m" << none;
  QTest::newRow("blank user counts as missing") << "  " << "m" << false << "-" << "-" << "m" << none;
  QTest::newRow("blanks everywhere, offline") << " " << "\t" << false << "-" << "-" << "ERROR" << none;
  QTest::newRow("nothing, offline") << "-" << "-" << false << "-" << "-" << "ERROR" << none;
  QTest::newRow("this computer's server value") << "-" << "-" << true << "s" << "g" << "s" << m;
  QTest::newRow("empty answer asks globally") << "-" << "-" << true << "" << "g" << "g" << mg;
  QTest::newRow("no answer asks globally") << "-" << "-" << true << "-" << "g" << "g" << mg;
  QTest::newRow("no answers at all") << "-" << "-" << true << "-" << "-" << "ERROR" << mg;
  QTest::newRow("blank answers") << " " << "-" << true << "  " << " " << "ERROR" << mg;
  QTest::newRow("server value trimmed") << "-" << "-" << true << "  s1  " << "g" << "s1" << m;
  QTest::newRow("server value cut at colon") << "-" << "-" << true << "a:b" << "g" << "a" << m;
  QTest::newRow("swedish server value") << "-" << "-" << true << "Väntrum Ö" << "g" << "Väntrum Ö" << m;
}

void SettingsStoreTest::readOrder() {
  QFETCH(QString, user);
  QFETCH(QString, machine);
  QFETCH(bool, connected);
  QFETCH(QString, machineAnswer);
  QFETCH(QString, globalAnswer);
  QFETCH(QString, expected);
  QFETCH(QStringList, asked);
  if (user != QLatin1String("-")) QVERIFY(RegWriteText(Hive::CurrentUser, kSub, QStringLiteral("K"), user));
  if (machine != QLatin1String("-")) QVERIFY(RegWriteText(Hive::LocalMachine, kSub, QStringLiteral("K"), machine));
  if (connected) {
    connectToServer();
    scriptServer(machineAnswer, globalAnswer);
  }
  QCOMPARE(ReadSetting(QStringLiteral("S"), QStringLiteral("K")), expected);
  QCOMPARE(asked_, asked);
  if (connected && !asked.isEmpty()) {
    QVERIFY(server_->received().find(ToWire(QStringLiteral("¤GETINITEXT:RECEPTION01\\S:K:GETINITEXT¤"))) == 0);
    if (asked.size() == 2)
      QVERIFY(server_->received().find(ToWire(QStringLiteral("¤GETINITEXT:\\S:K:GETINITEXT¤"))) != std::string::npos);
  }
  // A server value is not copied into the files.
  QCOMPARE(RegReadText(Hive::CurrentUser, kSub, QStringLiteral("K")), user == QLatin1String("-") ? QString() : user);
  QVERIFY(!common_->SocketTimer->isActive());
}

void SettingsStoreTest::defaultVariants_data() {
  QTest::addColumn<QString>("stored");  // "-": nothing
  QTest::addColumn<QString>("expected");
  QTest::newRow("missing") << "-" << "def";
  QTest::newRow("stored ERROR") << "ERROR" << "def";
  QTest::newRow("stored ERROR with blanks") << " ERROR\t" << "def";
  QTest::newRow("stored error in small letters") << "error" << "error";
  QTest::newRow("value") << "x" << "x";
}

void SettingsStoreTest::defaultVariants() {
  QFETCH(QString, stored);
  QFETCH(QString, expected);
  if (stored != QLatin1String("-")) QVERIFY(RegWriteText(Hive::CurrentUser, kSub, QStringLiteral("K"), stored));
  QCOMPARE(ReadSettingDef(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("def")), expected);
  // Offline the server-only read always gives the default.
  QCOMPARE(ReadServerSettingDef(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("def")), QStringLiteral("def"));
  QCOMPARE(ReadServerSetting(QStringLiteral("S"), QStringLiteral("K")), QStringLiteral("ERROR"));
}

void SettingsStoreTest::serverReadSkipsLocalLayers() {
  QVERIFY(RegWriteText(Hive::CurrentUser, kSub, QStringLiteral("K"), QStringLiteral("local")));
  connectToServer();
  scriptServer(QStringLiteral(""), QStringLiteral("global"));
  QCOMPARE(ReadServerSetting(QStringLiteral("S"), QStringLiteral("K")), QStringLiteral("global"));
  QCOMPARE(asked_, (QStringList{"M", "G"}));
}

void SettingsStoreTest::writeGoesEverywhere() {
  // Offline: both files, nothing else.
  WriteSetting(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v1"));
  QCOMPARE(RegReadText(Hive::CurrentUser, kSub, QStringLiteral("K")), QStringLiteral("v1"));
  QCOMPARE(RegReadText(Hive::LocalMachine, kSub, QStringLiteral("K")), QStringLiteral("v1"));
  WriteServerSetting(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("lost"));

  connectToServer();
  WriteSetting(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("Kö 2"));
  const std::string both = ToWire(QStringLiteral("¤SETINITEXT:RECEPTION01\\S:K:Kö 2:SETINITEXT¤¤SETINITEXT:S:K:Kö 2:SETINITEXT¤"));
  QVERIFY(server_->waitForReceived(both));
  QCOMPARE(server_->received(), both);
  QCOMPARE(RegReadText(Hive::LocalMachine, kSub, QStringLiteral("K")), QStringLiteral("Kö 2"));

  server_->clearReceived();
  WriteServerSetting(QStringLiteral("ServerSettings"), QStringLiteral("UpdateServerPort"), QStringLiteral("4001"));
  const std::string server = ToWire(QStringLiteral(
      "¤SETINITEXT:RECEPTION01\\ServerSettings:UpdateServerPort:4001:SETINITEXT¤"
      "¤SETINITEXT:ServerSettings:UpdateServerPort:4001:SETINITEXT¤"));
  QVERIFY(server_->waitForReceived(server));
  QCOMPARE(server_->received(), server);
  // Server-only writes leave the files alone.
  QCOMPARE(RegReadText(Hive::CurrentUser, QStringLiteral("SOFTWARE\\Solvarn\\_opt_davu_admin\\ServerSettings"),
                       QStringLiteral("UpdateServerPort")), QString());
}

void SettingsStoreTest::machineLayerFailureLeavesErrorRecord() {
  // The per-machine folder lies below a plain file: it cannot be created.
  const QString blocker = tmp_->filePath(QStringLiteral("plainfile"));
  QFile f(blocker);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.close();
  qputenv("DAVU_MACHINE_CONFIG_DIR", QFile::encodeName(blocker + QStringLiteral("/Solvarn")));
  WriteSetting(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v"));
  QCOMPARE(ReadSetting(QStringLiteral("S"), QStringLiteral("K")), QStringLiteral("v"));
  QCOMPARE(LastRegistryError, qt_error_string(ENOTDIR));
  QCOMPARE(RegReadText(Hive::CurrentUser, QStringLiteral("SOFTWARE\\Solvarn\\ERROR_WRITING_TO_LOCAL_MACHINE"),
                       QStringLiteral("ErrorMsg")), qt_error_string(ENOTDIR));
}

void SettingsStoreTest::lengthLimits() {
  const QString max(1024, QChar(u'x')), over(1025, QChar(u'x'));
  WriteSetting(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("old"));
  WriteSetting(QStringLiteral("S"), QStringLiteral("K"), over);  // refused everywhere
  QCOMPARE(ReadSetting(QStringLiteral("S"), QStringLiteral("K")), QStringLiteral("old"));
  QCOMPARE(RegReadText(Hive::LocalMachine, kSub, QStringLiteral("K")), QStringLiteral("old"));
  WriteSetting(QStringLiteral("S"), QStringLiteral("K"), max);
  QCOMPARE(ReadSetting(QStringLiteral("S"), QStringLiteral("K")), max);
  QVERIFY(!RegWriteText(Hive::CurrentUser, kSub, over, QStringLiteral("v")));
  QVERIFY(!RegWriteText(Hive::CurrentUser, kSub + over.left(1024 - kSub.size() + 1), QStringLiteral("K"), QStringLiteral("v")));
  QCOMPARE(LastRegistryError, QString());  // refused, not failed

  // A hand-edited value longer than the limit counts as not found there.
  QVERIFY(davu::platform::HiveFile(Hive::CurrentUser).write(kSub, QStringLiteral("L"), over));
  QVERIFY(RegWriteText(Hive::LocalMachine, kSub, QStringLiteral("L"), QStringLiteral("machine")));
  QCOMPARE(ReadSetting(QStringLiteral("S"), QStringLiteral("L")), QStringLiteral("machine"));

  // Connected, the refused write sends nothing either.
  connectToServer();
  WriteSetting(QStringLiteral("S"), QStringLiteral("K"), over);
  WriteSetting(QStringLiteral("S"), QStringLiteral("Z"), QStringLiteral("z"));
  QVERIFY(server_->waitForReceived(ToWire(QStringLiteral(":Z:z:SETINITEXT¤¤"))));
  QCOMPARE(server_->countReceived("SETINITEXT\xA4"), 2);
}

// A read that runs inside another read's wait takes the first reply after
// its own request; that reply also ends the outer wait, with the same value.
void SettingsStoreTest::nestedReadEndsBothWaits() {
  connectToServer();
  QString inner;
  server_->onReceive = [&](const std::string& chunk) {
    if (chunk.find(ToWire(QStringLiteral("RECEPTION01\\S:A:"))) != std::string::npos)
      QTimer::singleShot(0, this, [&] { inner = ReadSetting(QStringLiteral("S"), QStringLiteral("B")); });
    if (chunk.find(ToWire(QStringLiteral("RECEPTION01\\S:B:"))) != std::string::npos) server_->send(reply("b"));
  };
  QCOMPARE(ReadSetting(QStringLiteral("S"), QStringLiteral("A")), QStringLiteral("b"));
  QCOMPARE(inner, QStringLiteral("b"));
  QCOMPARE(server_->countReceived("GETINITEXT\xA4"), 2);  // no global request followed
}

void SettingsStoreTest::lostConnectionEndsWait() {
  connectToServer();
  server_->onReceive = [this](const std::string&) { server_->dropConnection(); };
  QCOMPARE(ReadSetting(QStringLiteral("S"), QStringLiteral("K")), QStringLiteral("ERROR"));
  QVERIFY(!SettingReplyTimedOut);  // ended by the disconnect, not by the 5 s timer
  QVERIFY(!socket_->active());
}

void SettingsStoreTest::initLocalPaths_data() {
  QTest::addColumn<QString>("folder");  // below the temporary folder; "/" for the root
  QTest::addColumn<QString>("rootTail");
  QTest::newRow("blanks") << "davu admin" << "_davu_admin\\";
  QTest::newRow("colon and backslash") << "a:b\\c" << "_ab_c\\";
  QTest::newRow("file system root") << "/" << "\\";
}

void SettingsStoreTest::initLocalPaths() {
  QFETCH(QString, folder);
  QFETCH(QString, rootTail);
  const QString saved = QDir::currentPath();
  QString dir = folder;
  QString expectedRoot = rootTail;
  if (folder != QLatin1String("/")) {
    dir = tmp_->filePath(folder);
    QVERIFY(QDir().mkpath(dir));
    dir = QDir(dir).canonicalPath();
    expectedRoot = QDir(tmp_->path()).canonicalPath().replace(u'/', u'_') + rootTail;
  }
  QVERIFY(QDir::setCurrent(dir));
  InitLocalPaths();
  QDir::setCurrent(saved);
  QCOMPARE(StartFolder, folder == QLatin1String("/") ? QStringLiteral("/") : dir + u'/');
  QCOMPARE(SettingsRootName, expectedRoot);
  QCOMPARE(LocalDataFolder, SettingsSandbox::dataFolder());
  QVERIFY(QDir(LocalDataFolder).exists());

  // A data folder that cannot be made leaves LocalDataFolder empty: a plain
  // file stands where its parent folder would be.
  settings_->clear();
  QFile plain(davu::platform::UserDataFolder() + QStringLiteral("/Solvarn"));
  QVERIFY(plain.open(QIODevice::WriteOnly));
  plain.close();
  InitLocalPaths();
  QCOMPARE(LocalDataFolder, QString());
}

QTEST_MAIN(SettingsStoreTest)
#include "settingsstore_test.moc"
