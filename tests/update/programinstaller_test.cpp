// Installing a downloaded program file: never in place, never a wrong one.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "ProgramInstaller.h"

namespace {

QByteArray Contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
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

    const auto r = ProgramInstaller::install(newFile.toStdString(), target, 1107);
    QCOMPARE(r.outcome, ProgramInstaller::Outcome::Installed);
    QCOMPARE(Contents(target), newFile);
    QCOMPARE(running.readAll(), Contents(QStringLiteral(DAVU_PROBE_1106)));
    QVERIFY(QFileInfo(target).isExecutable());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"davu-admin"});
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
    const auto r = ProgramInstaller::install(bytes.toStdString(), target, expected);
    QCOMPARE(r.outcome, ProgramInstaller::Outcome::WrongVersion);
    QCOMPARE(r.detail, found);
    QCOMPARE(Contents(target), Contents(QStringLiteral(DAVU_PROBE_1106)));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"davu-admin"});
  }

  void missingFolderIsNotStored() {
    QTemporaryDir dir;
    const auto r = ProgramInstaller::install("x", dir.filePath("gone/davu-admin"), 1107);
    QCOMPARE(r.outcome, ProgramInstaller::Outcome::NotStored);
    QVERIFY(!r.detail.isEmpty());
  }
};

QTEST_GUILESS_MAIN(ProgramInstallerTest)
#include "programinstaller_test.moc"
