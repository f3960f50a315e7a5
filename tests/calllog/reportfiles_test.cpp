// The report's files as other programs read them: the Excel workbook read
// back with openpyxl, and the PDF rendered with pdftoppm and read with
// pdftotext (page count, repeated column titles, page numbers).
#include <QApplication>
#include <QDir>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "ReportFixture.h"
#include "calllog/ReportFigures.h"
#include "calllog/ReportPrinter.h"
#include "calllog/XlsxWriter.h"

using namespace davu;

namespace {

// Runs a tool; its standard output, or a failure naming what it said.
QByteArray Run(const QString& program, const QStringList& args, bool* ok) {
  QProcess p;
  p.start(program, args);
  *ok = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
  if (!*ok) qWarning() << program << args << p.readAllStandardError() << p.readAllStandardOutput();
  return p.readAllStandardOutput();
}

int RenderedPages(const QString& pdf, const QString& dir) {
  bool ok = false;
  Run("pdftoppm", {"-r", "20", "-png", pdf, QDir(dir).filePath("page")}, &ok);
  return ok ? int(QDir(dir).entryList({"page*.png"}, QDir::Files).size()) : -1;
}

// Many calls on one day, to fill several pages of rows.
std::vector<fixture::Call> ManyCalls(int n) {
  std::vector<fixture::Call> calls;
  for (int i = 0; i < n; ++i)
    calls.push_back({"Klient " + QString::number(i % 7), "Resurs " + QString::number(i % 13),
                     QDateTime(QDate(2024, 5, 30), QTime(0, 0)).addSecs(i * 37).toString("yyyy-MM-dd HH:mm:ss"),
                     "", "0"});
  return calls;
}

}  // namespace

class ReportFilesTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir;

 private slots:
  void workbookReadsBack() {
    const auto rows = fixture::Rows();
    const ReportFigures figures = ReportFigures::compute(*rows);
    const QString path = dir.filePath("rapport.xlsx");
    QString error;
    QVERIFY2(XlsxWriter::write(*rows, figures, path, &error), qPrintable(error));
    bool ok = false;
    const QByteArray out = Run(QStringLiteral(DAVU_PYTHON3), {QStringLiteral(DAVU_XLSX_CHECK), path}, &ok);
    QVERIFY2(ok, out.constData());
    QCOMPARE(out.trimmed(), QByteArray("ok"));
  }

  void workbookInAMissingFolderFails() {
    const auto rows = fixture::Rows();
    QString error;
    QVERIFY(!XlsxWriter::write(*rows, ReportFigures::compute(*rows), dir.filePath("saknas/r.xlsx"), &error));
    QVERIFY2(error.startsWith("Rapporten kunde inte sparas som\r"), qPrintable(error));
  }

  // The hand-made report: summary, charts, rows; one page each.
  void pdfOfTheHandMadeReport() {
    const auto rows = fixture::Rows();
    const ReportFigures figures = ReportFigures::compute(*rows);
    const QString path = dir.filePath("rapport.pdf");
    QString error;
    QVERIFY2(ReportPrinter::writePdf(*rows, figures, path, &error), qPrintable(error));
    QTemporaryDir pages;
    QCOMPARE(RenderedPages(path, pages.path()), 3);
    bool ok = false;
    const QString text = QString::fromUtf8(Run("pdftotext", {"-layout", path, "-"}, &ok));
    QVERIFY(ok);
    for (const char* s : {"Vårdcentralen Norr", "Kallelser per dag", "Kallelser per timme",
                          "De tio mest kallade resurserna", "Sida 1 av 3", "Sida 3 av 3", "79,2 %"})
      QVERIFY2(text.contains(QString::fromUtf8(s)), s);
  }

  // A name longer than its column is printed shortened with "…", in the
  // summary and in the rows, never cut off at the column's edge: cut there,
  // "... rum 12" can print as "... rum 1", another room.
  void pdfShortensLongNamesWithAnEllipsis() {
    const QString room = QStringLiteral("Barnavårdscentralen Södra, mottagningsrum 12");
    const QString client = QStringLiteral("Barnmorskemottagningens väntrum, entréplan 3");
    std::vector<fixture::Call> calls = fixture::Calls();
    calls.push_back({client, room, "2024-06-02 16:00:00", "2024-06-02 16:01:00", "0"});
    const auto rows = fixture::Rows(calls);
    const QString path = dir.filePath("langa-namn.pdf");
    QString error;
    QVERIFY2(ReportPrinter::writePdf(*rows, ReportFigures::compute(*rows), path, &error), qPrintable(error));
    bool ok = false;
    const QString text = QString::fromUtf8(Run("pdftotext", {"-layout", path, "-"}, &ok));
    QVERIFY(ok);
    const QStringList pages = text.split(QChar('\f'), Qt::SkipEmptyParts);
    QCOMPARE(pages.size(), 3);
    // Every place a name starts, it is shown up to "…", and what is shown is
    // where the name begins; the summary (page 1) and the rows (page 3)
    // each show both names.
    for (const QString& name : {room, client}) {
      const QString start = name.left(12);
      for (int p : {0, 2}) {
        int shown = 0;
        for (const QString& line : pages[p].split(QChar('\n'))) {
          const int at = line.indexOf(start);
          if (at < 0) continue;
          const int dots = line.indexOf(QChar(0x2026), at);
          QVERIFY2(dots > at, qPrintable(line));
          QVERIFY2(name.startsWith(line.mid(at, dots - at).trimmed()), qPrintable(line));
          ++shown;
        }
        QVERIFY2(shown == 1, qPrintable(pages[p]));
      }
    }
    QVERIFY(!text.contains(room));
    QVERIFY(!text.contains(client));
    QVERIFY(text.contains(QStringLiteral("Rum 1 ")));  // a short name stays whole
    // Every column title has the room to be read whole.
    for (const QString& title : ReportRows::titles() + QStringList{"Bekräftade", "90:e perc.", "Längsta"})
      QVERIFY2(text.contains(title), qPrintable(title));
  }

  // Rows over many pages: every page of rows repeats the column titles and
  // every page says which it is of how many.
  void pdfRepeatsTitlesOnEveryPage() {
    const auto rows = fixture::Rows(ManyCalls(400));
    const ReportFigures figures = ReportFigures::compute(*rows);
    const QString path = dir.filePath("lang.pdf");
    QString error;
    QVERIFY2(ReportPrinter::writePdf(*rows, figures, path, &error), qPrintable(error));
    QTemporaryDir pages;
    const int n = RenderedPages(path, pages.path());
    QVERIFY2(n >= 8, qPrintable(QString::number(n)));  // 400 rows do not fit on 5 pages
    QPdfWriter probe(dir.filePath("probe.pdf"));
    ReportPrinter::preparePage(probe);
    probe.setResolution(300);
    QCOMPARE(ReportPrinter(*rows, figures).pageCount(probe), n);

    bool ok = false;
    const QString text = QString::fromUtf8(Run("pdftotext", {"-layout", path, "-"}, &ok));
    QVERIFY(ok);
    const QStringList pageTexts = text.split(QChar('\f'), Qt::SkipEmptyParts);
    QCOMPARE(pageTexts.size(), n);
    for (int p = 0; p < n; ++p) {
      QVERIFY2(pageTexts[p].contains(QStringLiteral("Sida %1 av %2").arg(p + 1).arg(n)), qPrintable(pageTexts[p]));
      if (p >= 2) QVERIFY2(pageTexts[p].contains(QStringLiteral("Påkallad")), qPrintable(QString::number(p)));
    }
    QVERIFY(pageTexts.last().contains(QStringLiteral("2024-05-30 04:06:03")));  // the last call
  }
};

QTEST_MAIN(ReportFilesTest)
#include "reportfiles_test.moc"
