#pragma once
// The report on paper: the clinic's name, the range and choices, the
// summary table, the charts and the rows, on A4 pages with the column
// titles repeated at the top of each page and "Sida n av m" at the foot.
// Paints on any paged device, so the print preview, a printer and a PDF
// file all get the same pages.
#include <QHash>
#include <QString>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "calllog/ReportFile.h"

class QFontMetricsF;
class QPagedPaintDevice;
class QPainter;
namespace davu {

class ReportRows;
struct ReportFigures;

class ReportPrinter {
 public:
  ReportPrinter(const ReportRows& rows, const ReportFigures& figures);

  // Paints every page; returns the number of pages.
  int paint(QPagedPaintDevice& device, const davu::reportfile::Progress& progress = {});
  // The pages that paint() makes on `device`, without painting.
  int pageCount(QPagedPaintDevice& device);
  // paint() paints the first `pages` pages only (0: all); their feet still
  // count all pages.
  void setPageLimit(int pages) { pageLimit_ = pages; }

  // A4 with the report's margins.
  static void preparePage(QPagedPaintDevice& device);
  // Writes a PDF file (see davu::reportfile::Save).
  static bool writePdf(const ReportRows& rows, const ReportFigures& figures, const QString& path,
                       QString* error, const davu::reportfile::Progress& progress = {});

 private:
  struct Column {
    QString title;
    double width;  // share of the page's width
    bool right;    // right-aligned (numbers)
  };
  using CellText = std::function<QString(int row, int column)>;

  int run(QPagedPaintDevice& device, QPainter* painter, const davu::reportfile::Progress& progress);
  void startPage();
  void endPage();
  void ensureRoom(double height);
  void line(const QString& text, bool bold, double scale = 1.0);
  void table(const std::vector<Column>& columns, int rowCount, const CellText& text,
             const std::function<bool(int row)>& bold, const davu::reportfile::Progress& progress);
  void tableHeader(const std::vector<Column>& columns);
  void rows(const std::vector<Column>& columns, int first, int end, const CellText& text,
            const std::function<bool(int row)>& bold);
  void charts();
  // A cell's text as printed in `width`: whole, or shortened with "…".
  QString fitted(const QFontMetricsF& metrics, bool bold, double width, const QString& text);

  const ReportRows& rows_;
  const ReportFigures& figures_;

  // Paging state of one run; painter_ is null when only counting.
  QPagedPaintDevice* device_ = nullptr;
  QPainter* painter_ = nullptr;
  double width_ = 0, height_ = 0, footer_ = 0, rowHeight_ = 0, y_ = 0;
  int page_ = 0, pages_ = 0;
  int pageLimit_ = 0;
  const std::vector<Column>* repeat_ = nullptr;  // the table whose titles a new page repeats
  // Measuring is most of a row's cost and names repeat from row to row: the
  // fitted texts of each column width and weight, a bounded number of each.
  std::map<std::pair<double, bool>, QHash<QString, QString>> fitted_;
};

}  // namespace davu
