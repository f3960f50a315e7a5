#pragma once
// The grids of the call-log windows: which columns of the result table they
// show, with which titles and widths (given in characters of the grid's
// font), one-line left-aligned titles that cannot be clicked.
#include <QFont>
#include <QString>
#include <vector>

class QTableView;
class TSVVirtualTable;

namespace calllog {

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

}  // namespace calllog
