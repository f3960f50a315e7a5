#pragma once
// The statistics window's pages beyond the grid: "Sammanfattning", the
// summary of the report on show with the choices it was made with, sortable
// by any column; and "Diagram", its three charts, one at a time so that each
// has the page's room.
#include <QWidget>
#include <memory>

class QChartView;
class QComboBox;
class QLabel;
class QStackedWidget;
class QTableView;
namespace davu {

class ReportRows;
class SummaryModel;
class SummarySortProxy;
struct ReportFigures;

class SummaryPage : public QWidget {
  Q_OBJECT

 public:
  explicit SummaryPage(QWidget* parent = nullptr);
  void setReport(const ReportRows& rows, std::shared_ptr<const ReportFigures> figures);

  QLabel* lblUrval;
  QTableView* gridSammanfattning;
  QLabel* lblForklaring;
  SummaryModel* model;
  SummarySortProxy* sorted;
};

class ChartsPage : public QWidget {
  Q_OBJECT

 public:
  explicit ChartsPage(QWidget* parent = nullptr);
  void setFigures(std::shared_ptr<const ReportFigures> figures);

  QComboBox* cbDiagram;  // which chart is shown
  QStackedWidget* stDiagram;
  QChartView* chartPerDag;
  QChartView* chartPerTimme;
  QChartView* chartResurser;

 protected:
  // A new theme redraws the charts in its colours.
  void changeEvent(QEvent* event) override;

 private:
  // Makes the charts anew; with `keepShape`, a chart whose titles, sets and
  // categories stay only takes the new values.
  void rebuild(bool keepShape);
  std::shared_ptr<const ReportFigures> figures_;
  bool built_ = false;  // the views show charts made here
};

}  // namespace davu
