// TCEVersionInfo against real files: a PE made by a real resource compiler,
// this test program's own embedded block, davu-admin, and files without one.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "update/CEVersionInfo.h"
#include "update/ExecutableImage.h"
#include "update/VersionBlock.h"

using namespace davu;

using namespace davu::version;

class VersionInfoTest : public QObject {
  Q_OBJECT

 private slots:
  void peFixtureReadsFirstTranslation();
  void ownExecutableCarriesTheProjectVersion();
  void davuAdminCarriesTheProjectVersion();
  void filesWithoutBlockAreNotAvailable_data();
  void filesWithoutBlockAreNotAvailable();
  void splitFileVersion_data();
  void splitFileVersion();

 private:
  static void checkNotAvailable(const TCEVersionInfo& v) {
    for (const QString& s : {v.CompanyName(), v.FileDescription(), v.FileVersion(), v.Internalname(),
                             v.LegalCopyright(), v.LegalTradeMarks(), v.OriginalFilename(),
                             v.ProductName(), v.ProductVersion(), v.Comments(), v.MajorVersion(),
                             v.MinorVersion(), v.Release(), v.Build()})
      QCOMPARE(s, QStringLiteral("<info not available>"));
    QCOMPARE(v.SpecialBuild(), QString());
  }
};

void VersionInfoTest::peFixtureReadsFirstTranslation() {
  TCEVersionInfo v;
  v.GetInfo(QStringLiteral(DAVU_FIXTURES "/version-pe64.exe"));
  // The first translation is 0409/04e4; the second table (041d04e4) is ignored.
  QCOMPARE(v.CompanyName(), QStringLiteral("Solvarn Test AB"));
  QCOMPARE(v.FileDescription(), QStringLiteral("DAVU Admin test fixture"));
  QCOMPARE(v.FileVersion(), QStringLiteral("1.10.6.18"));
  QCOMPARE(v.Internalname(), QStringLiteral("fixture"));
  QCOMPARE(v.LegalCopyright(), QStringLiteral("Copyright (C) Solvarn"));
  QCOMPARE(v.OriginalFilename(), QStringLiteral("fixture.exe"));
  QCOMPARE(v.ProductName(), QStringLiteral("DAVU Admin"));
  QCOMPARE(v.ProductVersion(), QStringLiteral("1.10.6"));
  QCOMPARE(v.Comments(), QStringLiteral("Kommentar med åäö"));
  // Entries missing from the block are empty, not "not available".
  QCOMPARE(v.LegalTradeMarks(), QString());
  QCOMPARE(v.SpecialBuild(), QString());
  QCOMPARE(v.MajorVersion(), QStringLiteral("1"));
  QCOMPARE(v.MinorVersion(), QStringLiteral("10"));
  QCOMPARE(v.Release(), QStringLiteral("6"));
  QCOMPARE(v.Build(), QStringLiteral("18"));

  // A later read replaces every value.
  v.GetInfo(QStringLiteral(DAVU_FIXTURES "/no-version-pe64.exe"));
  checkNotAvailable(v);
}

void VersionInfoTest::ownExecutableCarriesTheProjectVersion() {
  const TCEVersionInfo v;  // reads the running program
  QCOMPARE(v.ProductVersion(), QStringLiteral(DAVU_PROJECT_VERSION));
  QCOMPARE(v.FileVersion(), QStringLiteral(DAVU_PROJECT_VERSION ".0"));
  QCOMPARE(v.CompanyName(), QStringLiteral("Solvarn"));
  QCOMPARE(v.ProductName(), QStringLiteral("DAVU Admin"));
  QCOMPARE(v.FileDescription(), QStringLiteral("DAVU Admin"));
  QCOMPARE(v.OriginalFilename(), QStringLiteral("versioninfo_test"));
  QCOMPARE(v.Build(), QStringLiteral("0"));
  QCOMPARE(ProductVersionOfRunningProgram(), QStringLiteral(DAVU_PROJECT_VERSION));

  QFile self(RunningProgramPath());
  QVERIFY(self.open(QIODevice::ReadOnly));
  const QByteArray bytes = self.readAll();
  const auto block = FindElfSection(std::string_view(bytes.constData(), size_t(bytes.size())), kElfSectionName);
  QVERIFY(block);
  const auto tr = QueryTranslation(*block);
  QVERIFY(tr);
  QCOMPARE(tr->language, 0x041D);
  QCOMPARE(tr->codePage, 0x04E4);
}

void VersionInfoTest::davuAdminCarriesTheProjectVersion() {
#ifdef DAVU_ADMIN_PATH
  TCEVersionInfo v;
  v.GetInfo(QStringLiteral(DAVU_ADMIN_PATH));
  QCOMPARE(v.ProductVersion(), QStringLiteral(DAVU_PROJECT_VERSION));
  QCOMPARE(v.OriginalFilename(), QStringLiteral("davu-admin"));
  QCOMPARE(v.ProductName(), QStringLiteral("DAVU Admin"));
#else
  QSKIP("davu-admin is not part of this build");
#endif
}

void VersionInfoTest::filesWithoutBlockAreNotAvailable_data() {
  QTest::addColumn<QByteArray>("contents");  // written to a temporary file; "-" for none
  QTest::addColumn<QString>("path");         // used instead when not empty
  QTest::newRow("missing path") << QByteArray("-") << QStringLiteral("/nonexistent/davu-admin");
  QTest::newRow("directory") << QByteArray("-") << QStringLiteral("/");
  QTest::newRow("empty file") << QByteArray() << QString();
  QTest::newRow("text file") << QByteArray("just some text\n") << QString();
  QTest::newRow("PE without version resource") << QByteArray("-") << QStringLiteral(DAVU_FIXTURES "/no-version-pe64.exe");
  QTest::newRow("ELF without section") << QByteArray("-") << QStringLiteral(DAVU_ELF_WITHOUT_BLOCK);
  QTest::newRow("truncated ELF header") << QByteArray("\x7f" "ELF\x02\x01\x01", 7) << QString();
  QTest::newRow("MZ only") << QByteArray("MZ") << QString();
  // A PE fixture cut in half: the resource section is gone.
  QFile pe(QStringLiteral(DAVU_FIXTURES "/version-pe64.exe"));
  if (pe.open(QIODevice::ReadOnly)) QTest::newRow("truncated PE") << pe.readAll().left(1024) << QString();
}

void VersionInfoTest::filesWithoutBlockAreNotAvailable() {
  QFETCH(QByteArray, contents);
  QFETCH(QString, path);
  QTemporaryDir dir;
  if (path.isEmpty()) {
    path = dir.filePath(QStringLiteral("file"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(contents);
  }
  TCEVersionInfo v;
  QVERIFY(v.ProductVersion() != QStringLiteral("<info not available>"));  // filled before
  v.GetInfo(path);
  checkNotAvailable(v);
}

void VersionInfoTest::splitFileVersion_data() {
  QTest::addColumn<QString>("fileVersion");
  QTest::addColumn<QStringList>("parts");
  const QString na = QStringLiteral("<info not available>");
  QTest::newRow("four parts") << "1.10.6.18" << QStringList{"1", "10", "6", "18"};
  QTest::newRow("three parts") << "1.10.6" << QStringList{"1", "10", "", "6"};
  QTest::newRow("two parts") << "3.4" << QStringList{"3", "", "", "4"};
  QTest::newRow("commas keep blanks") << "2, 5, 0, 1" << QStringList{"2", " 5", " 0", " 1"};
  QTest::newRow("dot wins over comma") << "1,2.3" << QStringList{"1,2", "", "", "3"};
  QTest::newRow("five parts") << "1.2.3.4.5" << QStringList{"1", "2", "3", "4.5"};
  QTest::newRow("empty parts") << ".." << QStringList{"", "", "", ""};
  QTest::newRow("no separator") << "7" << QStringList{na, na, na, na};
  QTest::newRow("empty") << "" << QStringList{na, na, na, na};
}

void VersionInfoTest::splitFileVersion() {
  QFETCH(QString, fileVersion);
  QFETCH(QStringList, parts);
  QString major, minor, release, build;
  TCEVersionInfo::SplitFileVersion(fileVersion, major, minor, release, build);
  QCOMPARE((QStringList{major, minor, release, build}), parts);
}

QTEST_GUILESS_MAIN(VersionInfoTest)
#include "versioninfo_test.moc"
