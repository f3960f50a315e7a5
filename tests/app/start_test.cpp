// Program start: the command line, the theme from the settings, and the
// process-wide text formats.
#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <optional>

#include "SettingsSandbox.h"
#include "app/AppStart.h"
#include "app/ProductVersion.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "common/TextFormats.h"
#include "register/Themes.h"

using namespace davu;

using namespace davu::textformats;

class StartTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void arguments_data();
  void arguments();
  void versionAndHelpOfTheProgram_data();
  void versionAndHelpOfTheProgram();
  void shownProductVersion_data();
  void shownProductVersion();
  void strippedProgramShowsItsVersion();
  void startThemeComesFromLocalSettings_data();
  void startThemeComesFromLocalSettings();
  void datesAndTimes_data();
  void datesAndTimes();
  void numbers_data();
  void numbers();
  void textsThatAreNotDates_data();
  void textsThatAreNotDates();

 private:
  std::optional<SettingsSandbox> sandbox_;  // a fresh one for every case
};

void StartTest::init() {
  ResetSharedState();
  sandbox_.reset();
  sandbox_.emplace();
  InitLocalPaths();
  SetProcessTextFormats();
}

void StartTest::arguments_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<int>("request");
  QTest::newRow("none") << QStringList{} << int(StartRequest::Run);
  QTest::newRow("restarted by the update") << QStringList{"RESTARTING=1", "x"} << int(StartRequest::Run);
  QTest::newRow("unknown option") << QStringList{"--debug"} << int(StartRequest::Run);
  QTest::newRow("version") << QStringList{"--version"} << int(StartRequest::ShowVersion);
  QTest::newRow("help after others") << QStringList{"RESTARTING=1", "--help"} << int(StartRequest::ShowHelp);
  QTest::newRow("short help") << QStringList{"-h"} << int(StartRequest::ShowHelp);
}

void StartTest::arguments() {
  QFETCH(QStringList, args);
  QFETCH(int, request);
  QCOMPARE(int(ParseStartArguments(args)), request);
}

void StartTest::versionAndHelpOfTheProgram_data() {
  QTest::addColumn<QString>("arg");
  QTest::addColumn<QString>("expected");
  QTest::newRow("--version") << "--version" << QString("davu-admin " DAVU_PROJECT_VERSION "\n");
  QTest::newRow("--help") << "--help" << HelpText();
}

void StartTest::versionAndHelpOfTheProgram() {
  QFETCH(QString, arg);
  QFETCH(QString, expected);
  // The real program, with its embedded version block; no window opens.
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("QT_QPA_PLATFORM");
  env.insert("DISPLAY", "");
  p.setProcessEnvironment(env);
  p.start(DAVU_ADMIN_PROGRAM, {arg});
  QVERIFY(p.waitForFinished(20000));
  QCOMPARE(p.exitCode(), 0);
  QCOMPARE(QString::fromLocal8Bit(p.readAllStandardOutput()), expected);
}

void StartTest::shownProductVersion_data() {
  QTest::addColumn<QString>("fromBlock");
  QTest::addColumn<QString>("shown");
  QTest::newRow("from the block") << "1.10.7" << "1.10.7";
  // What the reader returns, also when it found no block.
  QTest::newRow("no block") << "<info not available>" << "<info not available>";
  QTest::newRow("empty entry") << "" << "";
}

void StartTest::shownProductVersion() {
  QFETCH(QString, fromBlock);
  QFETCH(QString, shown);
  QCOMPARE(ShownProductVersion(fromBlock), shown);
}

// The program as installed: stripped of symbols, it still carries its
// version block, and --version shows the version the build was made with.
void StartTest::strippedProgramShowsItsVersion() {
  const QString objcopy = QStandardPaths::findExecutable(QStringLiteral("objcopy"));
  QVERIFY2(!objcopy.isEmpty(), "objcopy (binutils) is needed");
  QTemporaryDir dir;
  const QString stripped = dir.filePath(QStringLiteral("davu-admin"));
  QCOMPARE(QProcess::execute(objcopy, {QStringLiteral("--strip-all"), QStringLiteral(DAVU_ADMIN_PROGRAM), stripped}),
           0);
  QVERIFY(QFileInfo(stripped).size() < QFileInfo(QStringLiteral(DAVU_ADMIN_PROGRAM)).size());
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_CONFIG_HOME", dir.filePath("user"));
  env.insert("DAVU_MACHINE_CONFIG_DIR", dir.filePath("machine"));
  p.setProcessEnvironment(env);
  p.start(stripped, {QStringLiteral("--version")});
  QVERIFY(p.waitForFinished(20000));
  QCOMPARE(p.exitCode(), 0);
  QCOMPARE(QString::fromLocal8Bit(p.readAllStandardOutput()), QStringLiteral("davu-admin " DAVU_PROJECT_VERSION "\n"));
}

void StartTest::startThemeComesFromLocalSettings_data() {
  QTest::addColumn<QString>("stored");  // "-" means not stored
  QTest::addColumn<bool>("applied");
  QTest::newRow("not stored") << "-" << false;
  QTest::newRow("stored ERROR") << "ERROR" << false;
  QTest::newRow("unknown name") << "Finns inte" << false;
  QTest::newRow("a carried theme") << ThemeNames().value(1) << true;
}

void StartTest::startThemeComesFromLocalSettings() {
  QFETCH(QString, stored);
  QFETCH(bool, applied);
  const QString before = ActiveThemeName();
  if (stored != "-") WriteSetting("KlientSettings", "Style", stored);
  QCOMPARE(ApplyStartTheme(), applied);
  QCOMPARE(ActiveThemeName(), applied ? stored : before);
  ApplyTheme(PlainThemeName());
}

void StartTest::datesAndTimes_data() {
  QTest::addColumn<QDateTime>("moment");
  QTest::addColumn<QString>("date");
  QTest::addColumn<QString>("dateTime");
  QTest::newRow("afternoon") << QDateTime(QDate(2024, 5, 3), QTime(14, 2, 3)) << "2024-05-03" << "2024-05-03 14:02:03";
  QTest::newRow("midnight is the date alone") << QDateTime(QDate(2024, 12, 31), QTime(0, 0)) << "2024-12-31" << "2024-12-31";
  QTest::newRow("one second past") << QDateTime(QDate(2024, 1, 1), QTime(0, 0, 1)) << "2024-01-01" << "2024-01-01 00:00:01";
}

void StartTest::datesAndTimes() {
  QFETCH(QDateTime, moment);
  QFETCH(QString, date);
  QFETCH(QString, dateTime);
  QCOMPARE(DateText(moment.date()), date);
  QCOMPARE(DateTimeText(moment), dateTime);
  QCOMPARE(SqlDateLiteral(moment.date()), "#" + date + "#");
  QCOMPARE(SqlDateTimeLiteral(moment), "#" + dateTime + "#");
  QCOMPARE(DateFromText(date), std::optional<QDate>(moment.date()));
  QCOMPARE(DateTimeFromText(dateTime), std::optional<QDateTime>(moment));
  // The process default agrees: the same date, a 24-hour clock.
  QCOMPARE(QLocale().toString(moment.date(), QLocale::ShortFormat), date);
  QVERIFY(!QLocale().timeFormat(QLocale::ShortFormat).contains("ap", Qt::CaseInsensitive));
  QCOMPARE(TimeText(QTime(23, 59, 58)), QString("23:59:58"));
}

void StartTest::numbers_data() {
  QTest::addColumn<double>("value");
  QTest::addColumn<QString>("text");
  QTest::newRow("fraction") << 3.5 << "3,5";
  QTest::newRow("whole") << 17.0 << "17";
  QTest::newRow("negative") << -0.25 << "-0,25";
  QTest::newRow("large, no grouping") << 1234567.0 << "1234567";
}

void StartTest::numbers() {
  QFETCH(double, value);
  QFETCH(QString, text);
  QCOMPARE(NumberText(value), text);
  QCOMPARE(NumberFromText(text), std::optional<double>(value));
  // The process default reads them back; it writes a Unicode minus sign,
  // which is why texts for the server come from NumberText.
  QCOMPARE(QLocale().toDouble(text), value);
  if (value >= 0) QCOMPARE(QLocale().toString(value, 'g', 15), text);
}

void StartTest::textsThatAreNotDates_data() {
  QTest::addColumn<QString>("text");
  QTest::newRow("empty") << "";
  QTest::newRow("day first") << "03-05-2024";
  QTest::newRow("no such day") << "2024-02-30";
  QTest::newRow("bad time") << "2024-02-03 25:00:00";
  QTest::newRow("junk after date") << "2024-02-03x";
}

void StartTest::textsThatAreNotDates() {
  QFETCH(QString, text);
  QVERIFY(!DateFromText(text));
  QVERIFY(!DateTimeFromText(text));
  QVERIFY(!NumberFromText(text + "z"));
}

QTEST_MAIN(StartTest)
#include "start_test.moc"
