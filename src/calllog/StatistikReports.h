#pragma once
// What the statistics window offers beyond its grid, all worked out from the
// rows the report's reply brought: the "Sammanfattning" and "Diagram" pages,
// and "Exportera..." (Excel workbook or CSV) and "Skriv ut..." (print
// preview or PDF) in the bottom row. The query and the grid are untouched;
// this listens to the window's table and to "Skapa rapport".
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "calllog/ReportFile.h"
#include "calllog/ReportRows.h"

namespace davu {

class ChartsPage;

}  // namespace davu

class QAction;
class QPrintPreviewDialog;
class QProgressBar;
class QPushButton;
namespace davu {

class SummaryPage;

}  // namespace davu

class TfrmDAVUStatistik;
namespace davu {

struct ReportFigures;

class StatistikReports : public QObject {
  Q_OBJECT

 public:
  explicit StatistikReports(TfrmDAVUStatistik* window);
  ~StatistikReports() override;

  std::shared_ptr<const ReportRows> rows() const { return rows_; }
  std::shared_ptr<const ReportFigures> figures() const { return figures_; }

  // Asks where to save: from the proposed path and the file types, the
  // chosen path (empty to cancel) and, in `filter`, the chosen type. Tests
  // replace it.
  std::function<QString(const QString& proposed, const QString& filters, QString* filter)> AskSavePath;
  // Shows the print preview; tests replace it.
  std::function<void(QPrintPreviewDialog*)> ShowPreview;
  // The print preview shows at most this many pages, so that it opens at
  // once however long the report; "Spara som PDF..." in it writes them all,
  // and printing from it prints them all.
  int PreviewPages = 40;

  SummaryPage* tsSummary;  // "Sammanfattning"
  ChartsPage* tsCharts;   // "Diagram"
  // The same members under the names the program has always given them
  // (the controls' objectName), for code that knows them by those names.
  SummaryPage*& TabSheet2 = tsSummary;
  ChartsPage*& TabSheet3 = tsCharts;
  QPushButton* btnExportera;
  QPushButton* btnSkrivUt;
  QAction* actForhandsgranska;
  QAction* actSparaPdf;
  QProgressBar* pbRapport;

  static QString excelFilter();
  static QString csvFilter();

 public slots:
  void btnExporteraClick();
  void actForhandsgranskaTriggered();
  void actSparaPdfTriggered();

 private:
  void takeChoices();
  void reportArrived();
  // Rows of the report's reply are decoded while it still arrives.
  void rowsArriving();
  // Runs `work` with a busy cursor, the buttons off and the progress bar
  // showing; false when it failed, after saying why.
  bool busy(const std::function<bool(const davu::reportfile::Progress&, QString* error)>& work);
  void saved(const QString& path);

  TfrmDAVUStatistik* window_;
  ReportChoices choices_;  // as at the last "Skapa rapport"
  std::shared_ptr<ReportRows> rows_;
  // The report being built from the rows of the reply still arriving, and
  // the table's serial of that stream.
  std::shared_ptr<ReportRows> arriving_;
  std::uint64_t arrivingSerial_ = 0;
  // The report before the shown one: its buffers take the next report
  // unless an export still holds it. Fresh pages cost more than the rows.
  std::shared_ptr<ReportRows> spare_;
  std::shared_ptr<ReportRows> emptyRows();
  std::shared_ptr<const ReportFigures> figures_;
  QString lastFolder_;
  bool working_ = false;
};

}  // namespace davu
