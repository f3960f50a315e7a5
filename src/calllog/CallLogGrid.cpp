#include "calllog/CallLogGrid.h"

#include <algorithm>

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTableView>

#include "calllog/TSVVirtualTable.h"

namespace davu::calllog {

namespace {
// Room for the cell's margins around the characters.
constexpr int kCellPadding = 4;
}  // namespace

void SetupGrid(QTableView* grid, TSVVirtualTable* table, const std::vector<GridColumn>& columns) {
  grid->setModel(table);
  grid->setWordWrap(false);
  grid->setCornerButtonEnabled(false);
  grid->setSortingEnabled(false);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Rows all have the same height: scrolling a long result never measures rows.
  QHeaderView* rows = grid->verticalHeader();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(grid->fontMetrics().height() + 6);
  rows->hide();

  QHeaderView* header = grid->horizontalHeader();
  header->setSectionsClickable(false);
  header->setSectionsMovable(false);
  header->setHighlightSections(false);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setStretchLastSection(false);
  header->setSectionResizeMode(QHeaderView::Interactive);

  const int charWidth = grid->fontMetrics().horizontalAdvance(QLatin1Char('0'));
  // A column is at least as wide as its title: "SMS skickat" over a
  // five-character value would otherwise read "SMS s".
  const QFontMetrics titleMetrics(header->font());
  const int titleRoom = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header) + kCellPadding;
  for (int c = 0; c < table->columnCount(); ++c) grid->setColumnHidden(c, true);
  for (const GridColumn& col : columns) {
    const int c = table->fieldIndex(QLatin1String(col.field));
    if (c < 0) continue;
    table->setColumnTitle(QLatin1String(col.field), col.title);
    grid->setColumnHidden(c, false);
    grid->setColumnWidth(c, std::max(col.widthChars * charWidth + kCellPadding,
                                     titleMetrics.horizontalAdvance(col.title) + titleRoom));
  }
}

QFont WindowFont() {
  QFont font(QStringLiteral("Tahoma"), 8);
  font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed"),
                    QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Arial Narrow")});
  return font;
}

QString RecordCountText(int count) { return QStringLiteral("Antal poster: ") + QString::number(count); }

BottomPanel MakeBottomPanel(QWidget* parent, const QString& panelName, const QString& actionCaption) {
  BottomPanel p;
  p.panel = new QWidget(parent);
  p.panel->setObjectName(panelName);
  p.panel->setFixedHeight(31);
  p.action = new QPushButton(actionCaption, p.panel);
  p.action->setObjectName(QStringLiteral("BitBtn1"));
  p.action->setAutoDefault(false);
  p.count = new QLabel(RecordCountText(0), p.panel);
  p.count->setObjectName(QStringLiteral("Label3"));
  p.back = new QPushButton(QStringLiteral("Återgå"), p.panel);
  p.back->setObjectName(QStringLiteral("Avbryt"));
  p.back->setAutoDefault(false);
  auto* row = new QHBoxLayout(p.panel);
  row->setContentsMargins(4, 2, 4, 2);
  row->addWidget(p.action);
  row->addSpacing(12);
  row->addWidget(p.count);
  row->addStretch(1);
  row->addWidget(p.back);
  return p;
}

}  // namespace davu::calllog
