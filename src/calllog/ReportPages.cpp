#include "ReportPages.h"

#include <QChart>
#include <QChartView>
#include <QEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

#include "ReportCharts.h"
#include "ReportFigures.h"
#include "ReportRows.h"
#include "ReportText.h"
#include "SummaryModel.h"

SummaryPage::SummaryPage(QWidget* parent) : QWidget(parent) {
  lblUrval = new QLabel(QStringLiteral("Ingen rapport ännu: välj urval och tryck på \"Skapa rapport\"."), this);
  lblUrval->setObjectName(QStringLiteral("lblUrval"));
  lblUrval->setWordWrap(true);
  lblUrval->setTextInteractionFlags(Qt::TextSelectableByMouse);

  model = new SummaryModel(this);
  model->setObjectName(QStringLiteral("SummaryModel"));
  sorted = new SummarySortProxy(this);
  sorted->setSourceModel(model);
  sorted->setSortRole(SummaryModel::SortRole);

  gridSammanfattning = new QTableView(this);
  gridSammanfattning->setObjectName(QStringLiteral("gridSammanfattning"));
  gridSammanfattning->setModel(sorted);
  gridSammanfattning->setSortingEnabled(true);
  gridSammanfattning->sortByColumn(-1, Qt::AscendingOrder);  // the model's order until a title is clicked
  gridSammanfattning->setSelectionBehavior(QAbstractItemView::SelectRows);
  gridSammanfattning->setEditTriggers(QAbstractItemView::NoEditTriggers);
  gridSammanfattning->setWordWrap(false);
  gridSammanfattning->verticalHeader()->hide();
  gridSammanfattning->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  QHeaderView* header = gridSammanfattning->horizontalHeader();
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setSectionResizeMode(QHeaderView::Interactive);
  const int zero = fontMetrics().horizontalAdvance(QLatin1Char('0'));
  const int widths[] = {7, 22, 8, 9, 13, 9, 7, 10, 7};
  for (int c = 0; c < SummaryModel::ColumnCount; ++c) gridSammanfattning->setColumnWidth(c, widths[c] * zero + 8);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(3);
  layout->addWidget(lblUrval);
  layout->addWidget(gridSammanfattning, 1);
}

void SummaryPage::setReport(const ReportRows& rows, std::shared_ptr<const ReportFigures> figures) {
  lblUrval->setText(reporttext::Choices(rows.choices()));
  model->setFigures(std::move(figures));
}

ChartsPage::ChartsPage(QWidget* parent) : QWidget(parent) {
  const auto view = [this](const char* name) {
    auto* v = new QChartView(this);
    v->setObjectName(QLatin1String(name));
    v->setRenderHint(QPainter::Antialiasing);
    v->setFrameShape(QFrame::NoFrame);
    return v;
  };
  chartPerDag = view("chartPerDag");
  chartPerTimme = view("chartPerTimme");
  chartResurser = view("chartResurser");
  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  layout->addWidget(chartPerDag, 0, 0, 1, 2);
  layout->addWidget(chartPerTimme, 1, 0);
  layout->addWidget(chartResurser, 1, 1);
  layout->setColumnStretch(0, 2);
  layout->setColumnStretch(1, 3);
}

void ChartsPage::setFigures(std::shared_ptr<const ReportFigures> figures) {
  figures_ = std::move(figures);
  rebuild();
}

void ChartsPage::rebuild() {
  if (!figures_) return;
  const QPalette p = palette();
  const struct {
    QChartView* view;
    QChart* (*make)(const ReportFigures&, const QPalette&);
  } charts[] = {{chartPerDag, reportcharts::CallsPerDay},
                {chartPerTimme, reportcharts::CallsPerHour},
                {chartResurser, reportcharts::TopResources}};
  for (const auto& c : charts) {
    QChart* old = c.view->chart();
    QChart* chart = c.make(*figures_, p);
    chart->setFont(font());
    c.view->setChart(chart);
    c.view->setBackgroundBrush(p.color(QPalette::Base));
    delete old;  // the view gives up the chart it held
  }
}

void ChartsPage::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) rebuild();
}
