#include "calllog/ReportPages.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <algorithm>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>

#include "calllog/ReportCharts.h"
#include "calllog/ReportFigures.h"
#include "calllog/ReportRows.h"
#include "calllog/ReportText.h"
#include "calllog/SummaryModel.h"
#include "widgets/ChoiceListAccessible.h"
#include "widgets/ShownCellsGrid.h"

namespace davu {

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

  gridSammanfattning = new davu::ShownCellsGrid(this);
  gridSammanfattning->setObjectName(QStringLiteral("gridSammanfattning"));
  gridSammanfattning->setModel(sorted);
  gridSammanfattning->setSortingEnabled(true);
  gridSammanfattning->sortByColumn(-1, Qt::AscendingOrder);  // the model's order until a title is clicked
  gridSammanfattning->setSelectionBehavior(QAbstractItemView::SelectRows);
  gridSammanfattning->setEditTriggers(QAbstractItemView::NoEditTriggers);
  gridSammanfattning->setWordWrap(false);
  gridSammanfattning->setAccessibleName(QStringLiteral("Sammanfattning"));
  gridSammanfattning->setTabKeyNavigation(false);
  gridSammanfattning->verticalHeader()->hide();
  gridSammanfattning->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  QHeaderView* header = gridSammanfattning->horizontalHeader();
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setSectionResizeMode(QHeaderView::Interactive);
  // The figures' columns are as wide as their titles or a long time; the
  // name takes what they leave.
  const QFontMetrics fm(gridSammanfattning->font());
  for (int c = 0; c < SummaryModel::ColumnCount; ++c) {
    if (c == SummaryModel::Name) {
      header->setSectionResizeMode(c, QHeaderView::Stretch);
      continue;
    }
    const int text = std::max(fm.horizontalAdvance(SummaryModel::title(c)), fm.horizontalAdvance(QStringLiteral("2:00:00")));
    gridSammanfattning->setColumnWidth(c, text + 10);
  }

  lblForklaring = new QLabel(SummaryModel::note(), this);
  lblForklaring->setObjectName(QStringLiteral("lblForklaring"));
  lblForklaring->setWordWrap(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(3);
  layout->addWidget(lblUrval);
  layout->addWidget(gridSammanfattning, 1);
  layout->addWidget(lblForklaring);
}

void SummaryPage::setReport(const ReportRows& rows, std::shared_ptr<const ReportFigures> figures) {
  lblUrval->setText(davu::reporttext::Choices(rows.choices()));
  model->setFigures(std::move(figures));
}

ChartsPage::ChartsPage(QWidget* parent) : QWidget(parent) {
  davu::a11y::NameChoiceListsByCaption();
  const auto view = [this](const char* name) {
    auto* v = new QChartView(this);
    v->setObjectName(QLatin1String(name));
    v->setRenderHint(QPainter::Antialiasing);
    v->setFrameShape(QFrame::NoFrame);
    // A picture: the choice above it is what the keyboard reaches.
    v->setFocusPolicy(Qt::NoFocus);
    v->viewport()->setFocusPolicy(Qt::NoFocus);
    return v;
  };
  chartPerDag = view("chartPerDag");
  chartPerTimme = view("chartPerTimme");
  chartResurser = view("chartResurser");
  stDiagram = new QStackedWidget(this);
  stDiagram->setObjectName(QStringLiteral("stDiagram"));
  cbDiagram = new QComboBox(this);
  cbDiagram->setObjectName(QStringLiteral("cbDiagram"));
  for (QChartView* v : {chartPerDag, chartPerTimme, chartResurser}) stDiagram->addWidget(v);
  cbDiagram->addItems({QStringLiteral("Kallelser per dag"), QStringLiteral("Kallelser per timme"),
                       QStringLiteral("De tio mest kallade resurserna")});
  for (int i = 0; i < stDiagram->count(); ++i) stDiagram->widget(i)->setAccessibleName(cbDiagram->itemText(i));
  connect(cbDiagram, &QComboBox::currentIndexChanged, stDiagram, &QStackedWidget::setCurrentIndex);
  auto* label = new QLabel(QStringLiteral("&Diagram:"), this);
  label->setObjectName(QStringLiteral("lblDiagram"));
  label->setBuddy(cbDiagram);

  auto* choice = new QHBoxLayout;
  choice->addWidget(label);
  choice->addWidget(cbDiagram);
  choice->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(3);
  layout->addLayout(choice);
  layout->addWidget(stDiagram, 1);
}

void ChartsPage::setFigures(std::shared_ptr<const ReportFigures> figures) {
  figures_ = std::move(figures);
  rebuild(true);
}

void ChartsPage::rebuild(bool keepShape) {
  if (!figures_) return;
  const QPalette p = palette();
  const struct {
    QChartView* view;
    QChart* (*make)(const ReportFigures&, const QPalette&);
  } charts[] = {{chartPerDag, davu::reportcharts::CallsPerDay},
                {chartPerTimme, davu::reportcharts::CallsPerHour},
                {chartResurser, davu::reportcharts::TopResources}};
  for (const auto& c : charts) {
    QChart* old = c.view->chart();
    QChart* chart = c.make(*figures_, p);
    // A chart of the same shape takes the new values where it stands.
    if (keepShape && built_ && davu::reportcharts::TakeValues(old, chart)) {
      delete chart;
      continue;
    }
    davu::reportcharts::SetFont(chart, font());
    c.view->setChart(chart);
    c.view->setBackgroundBrush(p.color(QPalette::Base));
    delete old;  // the view gives up the chart it held
  }
  built_ = true;
}

void ChartsPage::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) rebuild(false);
}

}  // namespace davu
