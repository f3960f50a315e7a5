// The statistics reports over a reply of 100,000 rows (and 200,000):
//   - taking the rows from the result table and working out the summary and
//     the chart series in one pass: time, and the 200,000/100,000 ratio
//     (linear work gives about 2);
//   - writing the CSV file: time, and the ratio to writing the same number
//     of bytes with one fwrite (the floor for any writer);
//   - writing the Excel workbook: time, and its ratio to the CSV;
//   - writing the PDF of a tenth of the rows: time.
//
//   report_bench [rows]     (default 100000)
#include <QApplication>
#include <QTemporaryDir>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "BenchReply.h"
#include "calllog/CallLogSql.h"
#include "calllog/CsvWriter.h"
#include "calllog/ReportFigures.h"
#include "calllog/ReportPrinter.h"
#include "calllog/ReportRows.h"
#include "calllog/TSVVirtualTable.h"
#include "calllog/XlsxWriter.h"

using namespace davu;

namespace {

struct Loaded {
  TSVVirtualTable table;
  explicit Loaded(int rows) {
    table.setSQL(QString::fromLatin1(davu::calllog::kStatisticsTableSql));
    table.LoadSqlReply(MakeReply(rows));
  }
};

ReportChoices May() {
  ReportChoices c;
  c.from = QDate(2024, 5, 1);
  c.to = QDate(2024, 5, 31);
  return c;
}

struct Timing {
  double take = -1;     // rows from the table
  double figures = -1;  // summary and chart series from the rows
};

// Each size is measured in a fresh process: the allocator's state after the
// other size (freed blocks of tens of megabytes) must not count for this one.
Timing FiguresSecondsInChild(int n) {
  int fds[2];
  if (pipe(fds) != 0) std::exit(1);
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    Loaded l(n);
    Timing t;
    t.take = BestSeconds(5, [&] { ReportRows::fromTable(l.table, May()); });
    const auto rows = ReportRows::fromTable(l.table, May());
    int calls = 0;
    t.figures = BestSeconds(7, [&] { calls = ReportFigures::compute(*rows).total.calls; });
    if (calls != n) t.figures = -1;
    (void)!write(fds[1], &t, sizeof t);
    _exit(0);
  }
  close(fds[1]);
  Timing t;
  (void)!read(fds[0], &t, sizeof t);
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  if (t.figures < 0) std::exit(1);
  return t;
}

void Check(bool ok, const QString& error) {
  if (ok) return;
  std::fprintf(stderr, "%s\n", qPrintable(error));
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int n = argc > 1 ? std::atoi(argv[1]) : 100000;
  QTemporaryDir dir;

  const Timing one = FiguresSecondsInChild(n);
  const Timing two = FiguresSecondsInChild(2 * n);
  std::printf("summary + chart series from the rows, one pass: %d rows %.1f ms; %d rows %.1f ms; ratio %.2f "
              "(linear: about 2, at most 2.3)\n",
              n, one.figures * 1e3, 2 * n, two.figures * 1e3, two.figures / one.figures);
  std::printf("taking the rows from the table: %d rows %.1f ms; %d rows %.1f ms; ratio %.2f\n", n, one.take * 1e3,
              2 * n, two.take * 1e3, two.take / one.take);

  Loaded l(n);
  const auto rows = ReportRows::fromTable(l.table, May());
  const ReportFigures figures = ReportFigures::compute(*rows);
  QString error;

  const QString csvPath = dir.filePath("r.csv");
  const double csv = BestSeconds(5, [&] { Check(CsvWriter::write(*rows, csvPath, &error), error); });
  const std::string bytes = CsvWriter::text(*rows);
  const QByteArray plainPath = QFile::encodeName(dir.filePath("plain.bin"));
  const double plain = BestSeconds(5, [&] {
    FILE* f = std::fopen(plainPath.constData(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  });
  std::size_t sink = 0;
  const double text = BestSeconds(5, [&] { sink += CsvWriter::text(*rows).size(); });
  std::printf("CSV, %d rows, %.1f MB: %.1f ms (%.1f ms of it making the text); one fwrite of as many bytes: "
              "%.1f ms; ratio %.2f (at most 5)\n",
              n, sink / 5 / 1e6, csv * 1e3, text * 1e3, plain * 1e3, csv / plain);

  const QString xlsxPath = dir.filePath("r.xlsx");
  const double xlsx = BestSeconds(3, [&] { Check(XlsxWriter::write(*rows, figures, xlsxPath, &error), error); });
  std::printf("xlsx, %d rows, %.1f MB: %.1f ms; %.1f times the CSV\n", n, QFile(xlsxPath).size() / 1e6, xlsx * 1e3,
              xlsx / csv);

  Loaded tenth(n / 10);
  const auto fewer = ReportRows::fromTable(tenth.table, May());
  const ReportFigures fewerFigures = ReportFigures::compute(*fewer);
  const QString pdfPath = dir.filePath("r.pdf");
  const double pdf = BestSeconds(1, [&] { Check(ReportPrinter::writePdf(*fewer, fewerFigures, pdfPath, &error), error); });
  std::printf("PDF, %d rows: %.1f ms, %.1f MB\n", n / 10, pdf * 1e3, QFile(pdfPath).size() / 1e6);
  return 0;
}
