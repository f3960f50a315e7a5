// The print preview of a statistics report of 100,000 rows: from
// "Förhandsgranska och skriv ut..." to the preview showing its pages, against
// the one second a person waits for a window to open. Also the count of the
// report's pages, worked out without drawing them.
//
//   preview_bench [rows]     (default 100000)
#include <QApplication>
#include <QElapsedTimer>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QAction>

#include <cstdio>
#include <cstdlib>

#include "BenchReply.h"
#include "calllog/ReportPrinter.h"
#include "calllog/StatistikReports.h"
#include "calllog/UfrmDAVUStatistik.h"

using namespace davu;

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  TfrmDAVUStatistik w;
  w.LoadSqlReply(MakeReply(rows));
  StatistikReports* r = w.Reports;
  if (!r->rows() || r->rows()->size() != rows) {
    std::fprintf(stderr, "the report holds no %d rows\n", rows);
    return 1;
  }

  QPrinter printer(QPrinter::HighResolution);
  ReportPrinter::preparePage(printer);
  QElapsedTimer count;
  count.start();
  const int pages = ReportPrinter(*r->rows(), *r->figures()).pageCount(printer);
  const double countMs = count.nsecsElapsed() / 1e6;

  double best = 1e9;
  int shown = 0;
  for (int run = 0; run < 3; ++run) {
    QElapsedTimer t;
    r->ShowPreview = [&](QPrintPreviewDialog* d) {
      d->show();
      auto* preview = d->findChild<QPrintPreviewWidget*>();
      while (preview->pageCount() == 0) QCoreApplication::processEvents();
      d->grab();  // the pages in view are drawn
      best = std::min(best, t.nsecsElapsed() / 1e9);
      shown = preview->pageCount();
      d->close();
    };
    t.start();
    r->actForhandsgranska->trigger();
    std::printf("  run %d: %.0f ms\n", run + 1, t.nsecsElapsed() / 1e6);
  }
  std::printf("report of %d rows: %d pages (counted in %.0f ms); the preview shows %d of them\n", rows, pages,
              countMs, shown);
  std::printf("preview open with its pages: %.0f ms (best of 3) = %.2f x the 1 s a window may take\n", best * 1e3,
              best);
  return 0;
}
