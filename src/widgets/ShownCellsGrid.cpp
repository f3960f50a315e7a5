#include "widgets/ShownCellsGrid.h"

#include <QHeaderView>

#include "widgets/GridAccessible.h"

namespace davu {

ShownCellsGrid::ShownCellsGrid(QWidget* parent) : QTableView(parent) { a11y::ExposeShownCellsOnly(); }

std::vector<int> ShownCellsGrid::shownColumns() const {
  std::vector<int> shown;
  if (!model()) return shown;
  const QHeaderView* header = horizontalHeader();
  for (int v = 0; v < header->count(); ++v) {
    const int logical = header->logicalIndex(v);
    if (!isColumnHidden(logical)) shown.push_back(logical);
  }
  return shown;
}

// Rows are hidden seldom and grids may hold many: the count and the mapping
// walk the rows only while some are hidden.
int ShownCellsGrid::shownRowCount() const {
  if (!model()) return 0;
  const QHeaderView* header = verticalHeader();
  return header->count() - header->hiddenSectionCount();
}

int ShownCellsGrid::logicalRow(int shown) const {
  if (shown < 0 || shown >= shownRowCount()) return -1;
  const QHeaderView* header = verticalHeader();
  if (header->hiddenSectionCount() == 0) return header->logicalIndex(shown);
  for (int v = 0; v < header->count(); ++v) {
    const int logical = header->logicalIndex(v);
    if (!isRowHidden(logical) && shown-- == 0) return logical;
  }
  return -1;
}

int ShownCellsGrid::shownRow(int logical) const {
  if (!model() || logical < 0 || logical >= model()->rowCount(rootIndex()) || isRowHidden(logical)) return -1;
  const QHeaderView* header = verticalHeader();
  const int visual = header->visualIndex(logical);
  if (header->hiddenSectionCount() == 0) return visual;
  int shown = 0;
  for (int v = 0; v < visual; ++v) shown += isRowHidden(header->logicalIndex(v)) ? 0 : 1;
  return shown;
}

int ShownCellsGrid::shownColumn(int logical) const {
  const std::vector<int> shown = shownColumns();
  for (size_t i = 0; i < shown.size(); ++i)
    if (shown[i] == logical) return static_cast<int>(i);
  return -1;
}

bool ShownCellsGrid::titleRowShows() const { return !horizontalHeader()->isHidden(); }
bool ShownCellsGrid::rowTitlesShow() const { return !verticalHeader()->isHidden(); }

int ShownCellsGrid::accessibleChildOf(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != model()) return -1;
  const int row = shownRow(index.row()), column = shownColumn(index.column());
  if (row < 0 || column < 0) return -1;
  const int columns = static_cast<int>(shownColumns().size());
  const int titles = titleRowShows() ? columns : 0;
  const int perRow = columns + (rowTitlesShow() ? 1 : 0);
  return titles + row * perRow + (rowTitlesShow() ? 1 : 0) + column;
}

void ShownCellsGrid::tell(QAccessible::Event what, const QModelIndex& index) {
  const int child = accessibleChildOf(index);
  if (child < 0) return;
  QAccessibleEvent event(this, what);
  event.setChild(child);
  QAccessible::updateAccessibility(&event);
}

// QTableView's own events would count the hidden columns; these skip its
// part and tell the same by the shown numbering.
void ShownCellsGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  if (QAccessible::isActive() && hasFocus()) tell(QAccessible::Focus, current);
  QAbstractItemView::currentChanged(current, previous);
}

void ShownCellsGrid::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
  if (QAccessible::isActive()) {
    const auto firstShown = [this](const QItemSelection& s) {
      for (const QModelIndex& i : s.indexes())
        if (accessibleChildOf(i) >= 0) return i;
      return QModelIndex();
    };
    tell(QAccessible::SelectionAdd, firstShown(selected));
    tell(QAccessible::SelectionRemove, firstShown(deselected));
  }
  QAbstractItemView::selectionChanged(selected, deselected);
}

// A tick set or cleared is told as the cell's change of state, so that a
// reader says "checked" or "not checked" when Space ticks.
void ShownCellsGrid::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
  QTableView::dataChanged(topLeft, bottomRight, roles);
  if (!QAccessible::isActive() || topLeft != bottomRight) return;
  if (!roles.isEmpty() && !roles.contains(Qt::CheckStateRole)) return;
  if (!(model()->flags(topLeft) & Qt::ItemIsUserCheckable)) return;
  const int child = accessibleChildOf(topLeft);
  QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(this);
  QAccessibleInterface* cell = child >= 0 && grid ? grid->child(child) : nullptr;
  if (!cell) return;
  QAccessible::State changed;
  changed.checked = true;
  QAccessibleStateChangeEvent event(cell, changed);
  QAccessible::updateAccessibility(&event);
}

}  // namespace davu
