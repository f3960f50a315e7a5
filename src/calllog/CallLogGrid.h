#pragma once
// The grids of the call-log windows: which columns of the result table they
// show, with which titles and widths (given in characters of the grid's
// font), one-line left-aligned titles that cannot be clicked.
#include <QFont>
#include <QString>
#include <vector>

class QLabel;
class QPushButton;
class QTableView;
class QWidget;
class TSVVirtualTable;

namespace davu::calllog {

struct GridColumn {
  const char* field;
  int widthChars;
  QString title;
};

// Binds `grid` to `table`, shows `columns` in the table's column order and
// hides every other column.
void SetupGrid(QTableView* grid, TSVVirtualTable* table, const std::vector<GridColumn>& columns);

// Tahoma 8 point, the font the windows' fixed sizes are laid out for; where
// Tahoma is missing a condensed face of similar width stands in, so that the
// grid's columns still fit the window.
QFont WindowFont();

// "Antal poster: " + count.
QString RecordCountText(int count);

// The bottom row both windows share: `panelName` 31 pixels high with the
// action button BitBtn1 at the left, the record count Label3 beside it and
// "Återgå" (Avbryt) at the right.
struct BottomPanel {
  QWidget* panel;
  QPushButton* action;
  QLabel* count;
  QPushButton* back;
};
BottomPanel MakeBottomPanel(QWidget* parent, const QString& panelName, const QString& actionCaption);

}  // namespace davu::calllog
