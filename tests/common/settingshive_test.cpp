// The settings files: format, hand edits, atomic replacement under a full
// disk and a killed writer, and two writers at once.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

#include "common/platform/SettingsHive.h"

using namespace davu::platform;

namespace {

const QString kSub = QStringLiteral("SOFTWARE\\Solvarn\\T\\S");

QByteArray readFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList leftovers(const QString& dir) {
  return QDir(dir).entryList({QStringLiteral("registry.ini.tmp-*")}, QDir::Files | QDir::Hidden);
}

// Sets environment variables ("-": unset) for one case and restores them.
class Environment {
 public:
  void set(const char* name, const QString& value) {
    saved_.push_back({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
    if (value == QLatin1String("-")) qunsetenv(name);
    else qputenv(name, QFile::encodeName(value));
  }
  ~Environment() {
    for (const auto& [name, value, wasSet] : saved_) {
      if (wasSet) qputenv(name, value);
      else qunsetenv(name);
    }
  }

 private:
  struct Saved {
    const char* name;
    QByteArray value;
    bool wasSet;
  };
  std::vector<Saved> saved_;
};

}  // namespace

class SettingsHiveTest : public QObject {
  Q_OBJECT

 private slots:
  void writeKeepsOtherLines_data();
  void writeKeepsOtherLines();
  void valuesRoundTrip_data();
  void valuesRoundTrip();
  void handEditedFile();
  void filesLieInTheXdgFolders_data();
  void filesLieInTheXdgFolders();
  void sharedLayerIsWritableByEveryone();
  void fullDiskKeepsOldFile();
  void killedWriterLeavesWholeFile();
  void twoWritersLoseNothing();
};

void SettingsHiveTest::writeKeepsOtherLines_data() {
  QTest::addColumn<QByteArray>("before");
  QTest::addColumn<QString>("subKey");
  QTest::addColumn<QString>("name");
  QTest::addColumn<QByteArray>("after");
  QTest::newRow("empty file") << QByteArray() << "A\\B" << "K" << QByteArray("[A\\B]\nK=v\n");
  QTest::newRow("new section after old ones")
      << QByteArray("; note\n[X]\nk=1\n") << "A" << "K" << QByteArray("; note\n[X]\nk=1\n\n[A]\nK=v\n");
  QTest::newRow("no final line feed") << QByteArray("[X]\nk=1") << "X" << "Z" << QByteArray("[X]\nk=1\nZ=v");
  QTest::newRow("new value at the end of its section")
      << QByteArray("[A]\na=1\n# kept\n\n[B]\nb=2\n") << "A" << "K"
      << QByteArray("[A]\na=1\n# kept\nK=v\n\n[B]\nb=2\n");
  QTest::newRow("replaced in place, garbage kept")
      << QByteArray("garbage line\n[A]\nK=old\nnot a value\n") << "A" << "K"
      << QByteArray("garbage line\n[A]\nK=v\nnot a value\n");
  QTest::newRow("names without regard to case")
      << QByteArray("[software\\A]\nk = old\n") << "SOFTWARE\\a" << "K" << QByteArray("[software\\A]\nK=v\n");
  QTest::newRow("Windows line ends kept")
      << QByteArray("[A]\r\nK=old\r\nz=1\r\n") << "A" << "K" << QByteArray("[A]\r\nK=v\r\nz=1\r\n");
  QTest::newRow("first of two equal names")
      << QByteArray("[A]\nK=1\n[A]\nK=2\n") << "A" << "K" << QByteArray("[A]\nK=v\n[A]\nK=2\n");
}

void SettingsHiveTest::writeKeepsOtherLines() {
  QFETCH(QByteArray, before);
  QFETCH(QString, subKey);
  QFETCH(QString, name);
  QFETCH(QByteArray, after);
  QCOMPARE(SetHiveValue(before, subKey, name, QStringLiteral("v")), after);
  QCOMPARE(FindHiveValue(after, subKey, name), std::optional<QString>(QStringLiteral("v")));
}

void SettingsHiveTest::valuesRoundTrip_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("value");
  QTest::newRow("plain") << "ServerName" << "server1";
  QTest::newRow("empty") << "K" << "";
  QTest::newRow("outer blanks") << "K" << "  two  ";
  QTest::newRow("only a blank") << "K" << " ";
  QTest::newRow("backslash and escapes") << "K" << "C:\\new\\x41\\s";
  QTest::newRow("line breaks") << "K" << "one\r\ntwo\nthree\r";
  QTest::newRow("controls") << "K" << QStringLiteral("a\tb\x01" "c\x7f");
  QTest::newRow("equals and brackets") << "K" << "a=b [c] ;d #e";
  QTest::newRow("swedish") << "Ämne" << "Kö på vårdcentralen €";
  QTest::newRow("name with equals") << "a=b" << "1";
  QTest::newRow("name like a section") << "[A]" << "1";
  QTest::newRow("name like a comment") << ";K" << "1";
  QTest::newRow("name with blanks") << " K " << "1";
  QTest::newRow("byte order mark first") << QStringLiteral("\uFEFFK") << QStringLiteral("\uFEFFv");
  QTest::newRow("file name key") << "davu-admin.exe" << "1.10.6";
}

void SettingsHiveTest::valuesRoundTrip() {
  QFETCH(QString, name);
  QFETCH(QString, value);
  const QByteArray before("[A]\nother=1\n");
  const QByteArray file = SetHiveValue(before, QStringLiteral("A"), name, value);
  QCOMPARE(FindHiveValue(file, QStringLiteral("A"), name), std::optional<QString>(value));
  QCOMPARE(FindHiveValue(file, QStringLiteral("A"), QStringLiteral("other")),
           std::optional<QString>(QStringLiteral("1")));
  QCOMPARE(file.count('\n'), before.count('\n') + 1);  // one line per value
}

void SettingsHiveTest::handEditedFile() {
  const QByteArray file(
      "\xEF\xBB\xBF[SOFTWARE\\Solvarn\\X\\ServerSettings]\n"
      "  ServerName =  server1  \n"
      "ServerPort=4000=5\n"
      "no equals sign\n"
      "[ software\\solvarn\\x\\KlientSettings ]\n"
      "Style=Windows\n");
  auto find = [&](const char* sub, const char* name) {
    return FindHiveValue(file, QString::fromLatin1(sub), QString::fromLatin1(name));
  };
  QCOMPARE(find("SOFTWARE\\Solvarn\\X\\ServerSettings", "ServerName"), std::optional<QString>("server1"));
  QCOMPARE(find("SOFTWARE\\Solvarn\\X\\ServerSettings", "serverport"), std::optional<QString>("4000=5"));
  QCOMPARE(find("SOFTWARE\\Solvarn\\X\\KlientSettings", "Style"), std::optional<QString>("Windows"));
  QCOMPARE(find("SOFTWARE\\Solvarn\\X\\ServerSettings", "no equals sign"), std::nullopt);
  QCOMPARE(find("SOFTWARE\\Solvarn\\X", "ServerName"), std::nullopt);
}

// Where the program, not in a test, keeps its files.
void SettingsHiveTest::filesLieInTheXdgFolders_data() {
  QTest::addColumn<QString>("configHome");  // "-": unset
  QTest::addColumn<QString>("dataHome");
  QTest::addColumn<QString>("machineDir");
  QTest::addColumn<QStringList>("expected");  // user file, data folder, machine file
  const QStringList defaults{"/home/u/.config/Solvarn/registry.ini", "/home/u/.local/share",
                             "/var/lib/Solvarn/registry.ini"};
  QTest::newRow("set") << "/x/config" << "/x/data" << "/m"
                       << QStringList{"/x/config/Solvarn/registry.ini", "/x/data", "/m/registry.ini"};
  QTest::newRow("unset") << "-" << "-" << "-" << defaults;
  QTest::newRow("empty") << "" << "" << "" << defaults;
  QTest::newRow("relative XDG folders are ignored")
      << "x/config" << "x/data" << "-" << defaults;
}

void SettingsHiveTest::filesLieInTheXdgFolders() {
  QFETCH(QString, configHome);
  QFETCH(QString, dataHome);
  QFETCH(QString, machineDir);
  QFETCH(QStringList, expected);
  Environment env;
  env.set("HOME", QStringLiteral("/home/u"));
  env.set("XDG_CONFIG_HOME", configHome);
  env.set("XDG_DATA_HOME", dataHome);
  env.set("DAVU_MACHINE_CONFIG_DIR", machineDir);
  QCOMPARE((QStringList{HiveFilePath(Hive::CurrentUser), UserDataFolder(), HiveFilePath(Hive::LocalMachine)}),
           expected);
}

void SettingsHiveTest::sharedLayerIsWritableByEveryone() {
  QTemporaryDir tmp;
  const QString dir = tmp.filePath(QStringLiteral("machine"));
  const mode_t old = ::umask(022);
  const SettingsHiveFile hive(dir + QStringLiteral("/registry.ini"), true);
  const bool ok = hive.write(kSub, QStringLiteral("K"), QStringLiteral("v"));
  ::umask(old);
  QVERIFY(ok);
  struct stat st {};
  QCOMPARE(::stat(QFile::encodeName(dir).constData(), &st), 0);
  QCOMPARE(st.st_mode & 0777, 0777u);
  for (const char* name : {"/registry.ini", "/registry.ini.lock"}) {
    QCOMPARE(::stat(QFile::encodeName(dir + QLatin1String(name)).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0666u);
  }
}

// A write that cannot finish its temporary file (here: the file size limit,
// as on a full disk) reports the system's error and leaves the old file.
void SettingsHiveTest::fullDiskKeepsOldFile() {
  QTemporaryDir tmp;
  const QString path = tmp.filePath(QStringLiteral("registry.ini"));
  const SettingsHiveFile hive(path, false);
  QVERIFY(hive.write(kSub, QStringLiteral("ServerName"), QStringLiteral("server1")));
  const QByteArray before = readFile(path);

  struct rlimit saved {};
  QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = rlim_t(before.size() + 10);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
  QString error;
  const bool ok = hive.write(kSub, QStringLiteral("ServerPort"), QString(200, QChar(u'9')), &error);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  QVERIFY(!ok);
  QVERIFY(!error.isEmpty());
  QCOMPARE(readFile(path), before);
  QCOMPARE(leftovers(tmp.path()), QStringList());
}

// Whatever moment another program reads the file, or the writer is killed,
// the file is either the old or the new one, never a cut one; the next
// writer clears away the temporary file of a killed one.
void SettingsHiveTest::killedWriterLeavesWholeFile() {
  QTemporaryDir tmp;
  const QString path = tmp.filePath(QStringLiteral("registry.ini"));
  const QByteArray value(1000, 'v');
  // Every line of a whole file is a section, a value line or the end.
  auto checkWhole = [&](const QByteArray& file, int minValues) {
    if (file.isEmpty() && minValues == 0) return true;
    if (!file.endsWith('\n')) return false;
    int values = 0;
    for (const QByteArray& line : file.split('\n')) {
      if (line.endsWith(value)) ++values;
      else if (!line.isEmpty() && !line.startsWith('[')) return false;
    }
    return values >= minValues;
  };
  int total = 0;  // values known to have landed
  for (int round = 0; round < 6; ++round) {
    QProcess writer;
    writer.start(QStringLiteral(HIVE_WRITER),
                 {path, QStringLiteral("r%1_").arg(round), QStringLiteral("100000"), QStringLiteral("1000")});
    QVERIFY(writer.waitForStarted());
    int reported = -1;
    const int killAfter = 3 + round * 7;
    QDeadlineTimer deadline(30000);
    while (reported < killAfter && !deadline.hasExpired()) {
      const int landed = total + reported + 1;
      QVERIFY2(checkWhole(readFile(path), landed), "a reader saw a cut file");
      if (writer.waitForReadyRead(0))
        while (writer.canReadLine()) reported = writer.readLine().trimmed().toInt();
    }
    writer.kill();
    QVERIFY(writer.waitForFinished());
    total += reported + 1;

    const QByteArray file = readFile(path);
    QVERIFY(checkWhole(file, total));
    for (int i = 0; i <= reported; ++i)
      QVERIFY(FindHiveValue(file, kSub, QStringLiteral("r%1_%2").arg(round).arg(i)));
  }
  QVERIFY(SettingsHiveFile(path, false).write(kSub, QStringLiteral("after"), QStringLiteral("1")));
  QCOMPARE(leftovers(tmp.path()), QStringList());
}

void SettingsHiveTest::twoWritersLoseNothing() {
  QTemporaryDir tmp;
  const QString path = tmp.filePath(QStringLiteral("registry.ini"));
  const int count = 150;
  QProcess a, b;
  a.start(QStringLiteral(HIVE_WRITER), {path, QStringLiteral("a"), QString::number(count), QStringLiteral("50")});
  b.start(QStringLiteral(HIVE_WRITER), {path, QStringLiteral("b"), QString::number(count), QStringLiteral("50")});
  QVERIFY(a.waitForFinished(60000));
  QVERIFY(b.waitForFinished(60000));
  QCOMPARE(a.exitCode(), 0);
  QCOMPARE(b.exitCode(), 0);
  const QByteArray file = readFile(path);
  for (int i = 0; i < count; ++i) {
    QVERIFY2(FindHiveValue(file, kSub, QStringLiteral("a%1").arg(i)), qPrintable(QString::number(i)));
    QVERIFY2(FindHiveValue(file, kSub, QStringLiteral("b%1").arg(i)), qPrintable(QString::number(i)));
  }
}

QTEST_GUILESS_MAIN(SettingsHiveTest)
#include "settingshive_test.moc"
