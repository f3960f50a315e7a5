#pragma once
// A grid whose hidden columns and rows, and hidden headers, stay out of what
// a screen reader finds. Qt's own table interface lists every cell of the
// model, those of hidden columns too (only marked invisible), and the cells
// of a hidden row header; a reader that walks the table reads them out.
//
// The grid numbers its accessible children over what it shows: the column
// titles first (if the title row shows), then row by row the titles of the
// rows (if shown) and the cells of the shown columns. The focus and
// selection events name the cell by that numbering, which QTableView's own
// events, counting every column, would not.
#include <QAccessible>
#include <QTableView>
#include <vector>

namespace davu {

class ShownCellsGrid : public QTableView {
  Q_OBJECT

 public:
  explicit ShownCellsGrid(QWidget* parent = nullptr);

  // The model's columns and rows that show, in the order shown.
  std::vector<int> shownColumns() const;
  int shownRowCount() const;
  int logicalRow(int shownRow) const;  // -1 if out of range
  int shownRow(int logicalRow) const;  // -1 if hidden
  int shownColumn(int logicalColumn) const;

  // Whether the column titles and the row titles are children.
  bool titleRowShows() const;
  bool rowTitlesShow() const;

  // The accessible child that stands for `index`; -1 if it is hidden.
  int accessibleChildOf(const QModelIndex& index) const;

 protected:
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
  void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) override;

 private:
  void tell(QAccessible::Event what, const QModelIndex& index);
};

}  // namespace davu
