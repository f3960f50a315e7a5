// The figures of a report (summary and chart series), how they read, their
// sorting, the CSV file byte for byte, and saving without losing a file.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "ReportFixture.h"
#include "calllog/CsvWriter.h"
#include "calllog/ReportFigures.h"
#include "calllog/ReportFile.h"
#include "calllog/ReportRows.h"
#include "calllog/ReportText.h"
#include "calllog/SummaryModel.h"

using namespace davu;

namespace {

// Name, calls, confirmed, share, SMS, median, 90th percentile, longest: the
// summary's texts from "Namn" on.
QStringList Line(const GroupFigures& g) {
  QStringList s;
  for (int c = SummaryModel::Name; c < SummaryModel::ColumnCount; ++c) s << SummaryModel::text(g, c);
  return s;
}

QStringList Column(const QAbstractItemModel& m, int column) {
  QStringList s;
  for (int r = 0; r < m.rowCount(); ++r) s << m.index(r, column).data().toString();
  return s;
}

}  // namespace

class ReportFiguresTest : public QObject {
  Q_OBJECT

 private slots:
  void momentsFromText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("moment");  // invalid: unreadable
    const QDateTime none;
    QTest::newRow("date and time") << "2024-05-31 23:59:07" << QDateTime(QDate(2024, 5, 31), QTime(23, 59, 7));
    QTest::newRow("T between") << "2024-06-01T00:00:01" << QDateTime(QDate(2024, 6, 1), QTime(0, 0, 1));
    QTest::newRow("no seconds") << "2024-06-01 08:30" << QDateTime(QDate(2024, 6, 1), QTime(8, 30));
    QTest::newRow("date alone") << "2024-02-29" << QDateTime(QDate(2024, 2, 29), QTime(0, 0));
    QTest::newRow("blanks around") << "  2024-01-02 03:04:05 " << QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5));
    QTest::newRow("before 1970") << "1969-12-31 23:00:00" << QDateTime(QDate(1969, 12, 31), QTime(23, 0));
    QTest::newRow("no 30 February") << "2024-02-30" << none;
    QTest::newRow("hour 24") << "2024-05-01 24:00:00" << none;
    QTest::newRow("empty") << "" << none;
    QTest::newRow("words") << "igår" << none;
    QTest::newRow("trailing text") << "2024-05-01 10:00:00x" << none;
  }
  void momentsFromText() {
    QFETCH(QString, text);
    QFETCH(QDateTime, moment);
    const std::int64_t m = MomentFromText(text.toStdString());
    if (!moment.isValid()) {
      QCOMPARE(m, kNoTime);
      return;
    }
    QVERIFY(m != kNoTime);
    QCOMPARE(DayOfMoment(m), moment.date());
    QCOMPARE(HourOfMoment(m), moment.time().hour());
    const QDateTime epoch(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC);
    QCOMPARE(m, epoch.secsTo(QDateTime(moment.date(), moment.time(), Qt::UTC)));
  }

  void medianAndPercentile_data() {
    QTest::addColumn<QList<int>>("values");
    QTest::addColumn<double>("median");
    QTest::addColumn<int>("p90");
    QTest::newRow("none") << QList<int>{} << -1.0 << -1;
    QTest::newRow("one") << QList<int>{7} << 7.0 << 7;
    QTest::newRow("odd") << QList<int>{600, 60, 120, 300, 120} << 120.0 << 600;
    QTest::newRow("even") << QList<int>{245, 30, 90, 60} << 75.0 << 245;
    QTest::newRow("even, half second") << QList<int>{1, 2} << 1.5 << 2;
    QTest::newRow("ten") << QList<int>{100, 90, 80, 70, 60, 50, 40, 30, 20, 10} << 55.0 << 90;
  }
  void medianAndPercentile() {
    QFETCH(QList<int>, values);
    QFETCH(double, median);
    QFETCH(int, p90);
    std::vector<int> v(values.begin(), values.end());
    QCOMPARE(Median(v), median);
    QCOMPARE(Percentile(v, 90), p90);
  }

  void summaryWorkedOutByHand() {
    const ReportFigures f = ReportFigures::compute(*fixture::Rows());
    QCOMPARE(f.resources.size(), std::size_t(4));
    QCOMPARE(f.clients.size(), std::size_t(2));
    // By name; the names as sent, '"' and ';' included.
    QCOMPARE(Line(f.resources[0]), (QStringList{fixture::kDr, "2", "0", "0,0 %", "0", "–", "–", "–"}));
    QCOMPARE(Line(f.resources[1]), (QStringList{"Rum 1", "6", "5", "83,3 %", "2", "2:00", "10:00", "10:00"}));
    QCOMPARE(Line(f.resources[2]), (QStringList{"Rum 2", "6", "4", "66,7 %", "3", "1:15", "4:05", "4:05"}));
    QCOMPARE(Line(f.resources[3]), (QStringList{"Rum 3", "10", "10", "100,0 %", "0", "0:55", "1:30", "1:40"}));
    QCOMPARE(Line(f.clients[0]), (QStringList{"Lab", "12", "9", "75,0 %", "3", "1:00", "5:00", "5:00"}));
    QCOMPARE(Line(f.clients[1]), (QStringList{"Reception", "12", "10", "83,3 %", "2", "1:20", "4:05", "10:00"}));
    QCOMPARE(Line(f.total), (QStringList{"", "24", "19", "79,2 %", "5", "1:10", "5:00", "10:00"}));
    QCOMPARE(f.resources[2].medianSeconds, 75.0);
  }

  void seriesWorkedOutByHand() {
    const ReportFigures f = ReportFigures::compute(*fixture::Rows());
    // Every day of the range; the call at 23:59 on 31 May counts on its day.
    QList<QDate> days;
    QList<int> confirmed, unconfirmed;
    for (const DayCalls& d : f.days) {
      days << d.day;
      confirmed << d.confirmed;
      unconfirmed << d.unconfirmed;
    }
    QCOMPARE(days, (QList<QDate>{QDate(2024, 5, 30), QDate(2024, 5, 31), QDate(2024, 6, 1), QDate(2024, 6, 2)}));
    QCOMPARE(confirmed, (QList<int>{4, 2, 11, 2}));
    QCOMPARE(unconfirmed, (QList<int>{0, 2, 1, 2}));
    std::array<int, 24> hours{};
    hours[8] = 4, hours[9] = 1, hours[10] = 2, hours[11] = 10, hours[13] = 2, hours[14] = 2, hours[15] = 2,
    hours[23] = 1;
    QCOMPARE(f.hours, hours);
    QStringList top;
    for (const GroupFigures* g : f.topResources()) top << g->name + ' ' + QString::number(g->calls);
    QCOMPARE(top, (QStringList{"Rum 3 10", "Rum 1 6", "Rum 2 6", fixture::kDr + " 2"}));
  }

  // A wider range shows its empty days; calls outside it are not charted
  // but still counted in the summary.
  void daysFollowTheChosenRange() {
    ReportChoices c = fixture::Choices();
    c.from = QDate(2024, 5, 31);
    c.to = QDate(2024, 6, 5);
    const ReportFigures f = ReportFigures::compute(*fixture::Rows(fixture::Calls(), c));
    QCOMPARE(f.days.size(), std::size_t(6));
    QCOMPARE(f.days.front().confirmed + f.days.front().unconfirmed, 4);
    QCOMPARE(f.days.back().day, QDate(2024, 6, 5));
    QCOMPARE(f.days.back().confirmed + f.days.back().unconfirmed, 0);
    QCOMPARE(f.total.calls, 24);
  }

  void topTenOfMany() {
    std::vector<fixture::Call> calls;
    for (int r = 0; r < 12; ++r)
      for (int n = 0; n <= r; ++n)
        calls.push_back({"K", QStringLiteral("R%1").arg(r, 2, 10, QLatin1Char('0')), "2024-05-30 08:00:00", "", "0"});
    const ReportFigures f = ReportFigures::compute(*fixture::Rows(calls));
    const auto top = f.topResources();
    QCOMPARE(top.size(), std::size_t(10));
    QCOMPARE(top.front()->name, QStringLiteral("R11"));
    QCOMPARE(top.back()->name, QStringLiteral("R02"));
  }

  void emptyReport() {
    const ReportFigures f = ReportFigures::compute(*fixture::Rows({}));
    QVERIFY(f.resources.empty() && f.clients.empty());
    QCOMPARE(Line(f.total), (QStringList{"", "0", "0", "–", "0", "–", "–", "–"}));
    QCOMPARE(f.days.size(), std::size_t(4));
    QVERIFY(f.topResources().empty());
  }

  // Resources stay above clients and the total stays last, whichever column
  // is sorted and which way.
  void sortingKeepsGroupsAndTotal() {
    SummaryModel model;
    model.setFigures(std::make_shared<const ReportFigures>(ReportFigures::compute(*fixture::Rows())));
    SummarySortProxy proxy;
    proxy.setSourceModel(&model);
    proxy.setSortRole(SummaryModel::SortRole);
    QCOMPARE(Column(proxy, SummaryModel::Name),
             (QStringList{fixture::kDr, "Rum 1", "Rum 2", "Rum 3", "Lab", "Reception", ""}));

    proxy.sort(SummaryModel::Calls, Qt::DescendingOrder);
    QCOMPARE(Column(proxy, SummaryModel::Calls), (QStringList{"10", "6", "6", "2", "12", "12", "24"}));
    QCOMPARE(Column(proxy, SummaryModel::Kind).last(), QStringLiteral("Totalt"));
    proxy.sort(SummaryModel::Median, Qt::AscendingOrder);
    QCOMPARE(Column(proxy, SummaryModel::Median), (QStringList{"–", "0:55", "1:15", "2:00", "1:00", "1:20", "1:10"}));
    proxy.sort(SummaryModel::Share, Qt::DescendingOrder);
    QCOMPARE(Column(proxy, SummaryModel::Name),
             (QStringList{"Rum 3", "Rum 1", "Rum 2", fixture::kDr, "Reception", "Lab", ""}));
    proxy.sort(SummaryModel::Name, Qt::DescendingOrder);
    QCOMPARE(Column(proxy, SummaryModel::Name),
             (QStringList{"Rum 3", "Rum 2", "Rum 1", fixture::kDr, "Reception", "Lab", ""}));
  }

  void texts_data() {
    QTest::addColumn<QString>("got");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no time") << davu::reporttext::Duration(-1) << "–";
    QTest::newRow("zero") << davu::reporttext::Duration(0) << "0:00";
    QTest::newRow("half second up") << davu::reporttext::Duration(74.5) << "1:15";
    QTest::newRow("under an hour") << davu::reporttext::Duration(3599) << "59:59";
    QTest::newRow("hours") << davu::reporttext::Duration(3723) << "1:02:03";
    QTest::newRow("share") << davu::reporttext::Share(19, 24) << "79,2 %";
    QTest::newRow("whole share keeps its decimal") << davu::reporttext::Share(19, 20) << "95,0 %";
    QTest::newRow("no calls") << davu::reporttext::Share(0, 0) << "–";
    QTest::newRow("choices, all")
        << davu::reporttext::Choices(fixture::Choices())
        << "2024-05-30 – 2024-06-02 · Klienter: alla · Resurser: alla · Alla kallelser";
    ReportChoices some = fixture::Choices();
    some.clients = QStringList{"Lab"};
    some.resources = QStringList{"Rum 1", "Rum 2"};
    some.confirmedOnly = true;
    QTest::newRow("choices, some")
        << davu::reporttext::Choices(some)
        << "2024-05-30 – 2024-06-02 · Klienter: Lab · Resurser: Rum 1, Rum 2 · Endast bekräftade kallelser";
    QTest::newRow("file name") << davu::reporttext::FileName(fixture::Choices(), "xlsx")
                               << "DAVU statistik 2024-05-30–2024-06-02.xlsx";
  }
  void texts() {
    QFETCH(QString, got);
    QFETCH(QString, expected);
    QCOMPARE(got, expected);
  }

  void csvByteForByte() {
    const std::vector<fixture::Call> calls = {
        {"Reception", fixture::kDr, "2024-05-31 08:00:00", "", "0"},
        {"Lab två", "Rum\r\n1", "2024-05-31 23:59:00", "2024-06-01 00:01:00", "1"},
        {"\"Citat\"", "Plain", "x", "", ""},
    };
    const std::string expected =
        "\xEF\xBB\xBF"
        "Klientnamn;Resursnamn;P\xC3\xA5kallad;Bekr\xC3\xA4"
        "ftad;SMS skickat\r\n"
        "Reception;\"Dr \"\"Bo\"\"; Ek\";2024-05-31 08:00:00;;0\r\n"
        "Lab tv\xC3\xA5;\"Rum\r\n1\";2024-05-31 23:59:00;2024-06-01 00:01:00;1\r\n"
        "\"\"\"Citat\"\"\";Plain;x;;\r\n";
    QCOMPARE(QByteArray::fromStdString(CsvWriter::text(*fixture::Rows(calls))), QByteArray::fromStdString(expected));

    QTemporaryDir dir;
    const QString path = dir.filePath("r.csv");
    QString error;
    QVERIFY2(CsvWriter::write(*fixture::Rows(calls), path, &error), qPrintable(error));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray::fromStdString(expected));
  }

  // A failed write leaves the earlier file as it was, leaves no temporary
  // file behind and says why.
  void failedSaveLosesNothing() {
    QTemporaryDir dir;
    const QString path = dir.filePath("rapport.csv");
    {
      QFile old(path);
      QVERIFY(old.open(QIODevice::WriteOnly));
      old.write("old report");
    }
    QString error;
    const bool ok = davu::reportfile::Save(
        path,
        [](const QString& temp, QString* reason) {
          QFile f(temp);
          f.open(QIODevice::WriteOnly);
          f.write("half a new rep");
          *reason = QStringLiteral("Det finns inte plats på disken.");
          return false;
        },
        &error);
    QVERIFY(!ok);
    QCOMPARE(error, "Rapporten kunde inte sparas som\r" + path + "\r\rDet finns inte plats på disken.");
    QFile old(path);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old report"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"rapport.csv"});

    // A folder that does not exist.
    const QString nowhere = dir.filePath("saknas/rapport.csv");
    QVERIFY(!CsvWriter::write(*fixture::Rows(), nowhere, &error));
    QCOMPARE(error, "Rapporten kunde inte sparas som\r" + nowhere + "\r\rMappen finns inte.");

    // A success replaces the file whole.
    QVERIFY2(CsvWriter::write(*fixture::Rows(), path, &error), qPrintable(error));
    QCOMPARE(QFile(path).size(), qint64(CsvWriter::text(*fixture::Rows()).size()));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"rapport.csv"});
  }
};

QTEST_GUILESS_MAIN(ReportFiguresTest)
#include "reportfigures_test.moc"
