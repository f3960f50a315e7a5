#include "widgets/GridAccessible.h"

#include <QAccessibleWidget>
#include <QHeaderView>
#include <QListView>
#include <QPointer>
#include <map>
#include <utility>

#include "widgets/ShownCellsGrid.h"
#include "widgets/ShownTabsAccessible.h"

namespace davu::a11y {

namespace {

QRect Global(const QWidget* w, const QRect& r) { return r.translated(w->mapToGlobal(QPoint(0, 0))); }

// A tick is a check box: Qt's AT-SPI bridge (6.4) passes on "checked" but
// not "checkable", so an item or cell would say nothing while unticked.
bool IsTick(const QModelIndex& i) {
  return i.isValid() && (i.flags() & Qt::ItemIsUserCheckable) && i.data(Qt::CheckStateRole).isValid();
}

QString ItemText(const QModelIndex& i, QAccessible::Text t) {
  if (!i.isValid()) return {};
  const auto own = [&](int role, int otherwise) {
    const QVariant v = i.data(role);
    return v.isValid() ? v.toString() : i.data(otherwise).toString();
  };
  if (t == QAccessible::Name) return own(Qt::AccessibleTextRole, Qt::DisplayRole);
  if (t == QAccessible::Description) return own(Qt::AccessibleDescriptionRole, Qt::ToolTipRole);
  return {};
}

QAccessible::State ItemState(const QAbstractItemView* view, const QModelIndex& i) {
  QAccessible::State s;
  if (!view || !i.isValid()) {
    s.invalid = true;
    return s;
  }
  // Scrolled out of sight: there, but not on screen.
  s.invisible = !view->isVisible() || !view->viewport()->rect().intersects(view->visualRect(i));
  const Qt::ItemFlags flags = i.flags();
  s.disabled = !(flags & Qt::ItemIsEnabled) || !view->isEnabled();
  s.focusable = true;
  s.focused = view->currentIndex() == i;
  s.selectable = (flags & Qt::ItemIsSelectable) && view->selectionMode() != QAbstractItemView::NoSelection;
  s.selected = view->selectionModel() && view->selectionModel()->isSelected(i);
  if (IsTick(i)) {
    const int check = i.data(Qt::CheckStateRole).toInt();
    s.checkable = true;
    s.checked = check == Qt::Checked;
    s.checkStateMixed = check == Qt::PartiallyChecked;
  }
  return s;
}

// Focus to the item, and a tick set or cleared.
void ItemAction(QAbstractItemView* view, const QModelIndex& i, const QString& name) {
  if (!view || !i.isValid()) return;
  const QAccessible::State s = ItemState(view, i);
  if (name == QAccessibleActionInterface::setFocusAction()) view->setCurrentIndex(i);
  if (name == QAccessibleActionInterface::toggleAction() && s.checkable && !s.disabled)
    view->model()->setData(i, s.checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

QStringList ItemActions(const QAbstractItemView* view, const QModelIndex& i) {
  QStringList names{QAccessibleActionInterface::setFocusAction()};
  if (ItemState(view, i).checkable) names << QAccessibleActionInterface::toggleAction();
  return names;
}

// What items and titles share: the view they belong to, no children.
template <typename View>
class ViewPart : public QAccessibleInterface {
 public:
  explicit ViewPart(View* view) : view_(view) {}

  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return view_ ? view_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(view_.data()); }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  void setText(QAccessible::Text, const QString&) override {}

 protected:
  QPointer<View> view_;
};

// An item of a view, by its model index: a check box where it carries a
// tick, else `plain`.
template <typename View>
class ItemPart : public ViewPart<View>, public QAccessibleActionInterface {
 public:
  ItemPart(View* view, QAccessible::Role plain) : ViewPart<View>(view), plain_(plain) {}

  virtual QModelIndex index() const = 0;
  bool isValid() const override { return index().isValid(); }
  QAccessible::Role role() const override { return IsTick(index()) ? QAccessible::CheckBox : plain_; }
  QString text(QAccessible::Text t) const override { return ItemText(index(), t); }
  QRect rect() const override {
    const QModelIndex i = index();
    return i.isValid() ? Global(this->view_->viewport(), this->view_->visualRect(i)) : QRect();
  }
  QAccessible::State state() const override { return ItemState(this->view_, index()); }

  void* interface_cast(QAccessible::InterfaceType t) override {
    return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
  }
  QStringList actionNames() const override { return ItemActions(this->view_, index()); }
  void doAction(const QString& name) override { ItemAction(this->view_, index(), name); }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 private:
  QAccessible::Role plain_;
};

// The title of a shown column (or of a shown row, while row titles show).
class TitleCell final : public ViewPart<ShownCellsGrid> {
 public:
  TitleCell(ShownCellsGrid* grid, Qt::Orientation o, int section) : ViewPart(grid), o_(o), section_(section) {}

  QHeaderView* header() const { return o_ == Qt::Horizontal ? view_->horizontalHeader() : view_->verticalHeader(); }
  bool isValid() const override { return view_ && view_->model() && section_ < header()->count(); }
  QAccessible::Role role() const override {
    return o_ == Qt::Horizontal ? QAccessible::ColumnHeader : QAccessible::RowHeader;
  }
  QString text(QAccessible::Text t) const override {
    if (!isValid()) return {};
    if (t == QAccessible::Name) return view_->model()->headerData(section_, o_, Qt::DisplayRole).toString();
    if (t == QAccessible::Description) return view_->model()->headerData(section_, o_, Qt::ToolTipRole).toString();
    return {};
  }
  QRect rect() const override {
    if (!isValid()) return {};
    QHeaderView* h = header();
    const int pos = h->sectionViewportPosition(section_), size = h->sectionSize(section_);
    return Global(h->viewport(), o_ == Qt::Horizontal ? QRect(pos, 0, size, h->height()) : QRect(0, pos, h->width(), size));
  }
  QAccessible::State state() const override {
    QAccessible::State s;
    if (!isValid()) {
      s.invalid = true;
      return s;
    }
    s.invisible = !header()->isVisible();
    s.disabled = !header()->isEnabled();
    return s;
  }

 private:
  Qt::Orientation o_;
  int section_;
};

// One cell of a shown column and row, by the model's row and column.
class GridCell final : public ItemPart<ShownCellsGrid>, public QAccessibleTableCellInterface {
 public:
  GridCell(ShownCellsGrid* grid, int row, int column) : ItemPart(grid, QAccessible::Cell), row_(row), column_(column) {}

  QModelIndex index() const override {
    return view_ && view_->model() ? view_->model()->index(row_, column_, view_->rootIndex()) : QModelIndex();
  }
  void* interface_cast(QAccessible::InterfaceType t) override {
    if (t == QAccessible::TableCellInterface) return static_cast<QAccessibleTableCellInterface*>(this);
    return ItemPart::interface_cast(t);
  }

  // The cell in the grid's shown numbering.
  bool isSelected() const override { return state().selected; }
  int columnExtent() const override { return 1; }
  int rowExtent() const override { return 1; }
  int columnIndex() const override { return view_ ? view_->shownColumn(column_) : -1; }
  int rowIndex() const override { return view_ ? view_->shownRow(row_) : -1; }
  QList<QAccessibleInterface*> columnHeaderCells() const override {
    if (!view_ || !view_->titleRowShows()) return {};
    QAccessibleInterface* grid = parent();
    QAccessibleInterface* title = grid ? grid->child(columnIndex()) : nullptr;
    return title ? QList<QAccessibleInterface*>{title} : QList<QAccessibleInterface*>{};
  }
  QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
  QAccessibleInterface* table() const override { return parent(); }

 private:
  int row_, column_;
};

class GridInterface final : public QAccessibleWidget, public QAccessibleTableInterface {
 public:
  explicit GridInterface(ShownCellsGrid* grid) : QAccessibleWidget(grid, QAccessible::Table) {}
  ~GridInterface() override { forget(); }

  ShownCellsGrid* grid() const { return static_cast<ShownCellsGrid*>(widget()); }

  void* interface_cast(QAccessible::InterfaceType t) override {
    if (t == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
  }

  int childCount() const override {
    const int columns = columnCount();
    return (grid()->titleRowShows() ? columns : 0) + rowCount() * (columns + (grid()->rowTitlesShow() ? 1 : 0));
  }
  QAccessibleInterface* child(int index) const override {
    const std::vector<int> columns = grid()->shownColumns();
    const int n = static_cast<int>(columns.size());
    if (index < 0 || n == 0) return nullptr;
    if (grid()->titleRowShows()) {
      if (index < n) return part({-1, columns[index]}, [&] { return new TitleCell(grid(), Qt::Horizontal, columns[index]); });
      index -= n;
    }
    const int rowTitle = grid()->rowTitlesShow() ? 1 : 0;
    const int row = grid()->logicalRow(index / (n + rowTitle));
    const int column = index % (n + rowTitle) - rowTitle;
    if (row < 0) return nullptr;
    if (column < 0) return part({row, -1}, [&] { return new TitleCell(grid(), Qt::Vertical, row); });
    return part({row, columns[column]}, [&] { return new GridCell(grid(), row, columns[column]); });
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    for (const auto& [at, id] : parts_)
      if (QAccessible::accessibleInterface(id) == child) return indexOf(at);
    return -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const QPoint p = grid()->viewport()->mapFromGlobal(QPoint(x, y));
    const int child = grid()->accessibleChildOf(grid()->indexAt(p));
    return child >= 0 ? this->child(child) : nullptr;
  }

  // The table in the shown numbering.
  QAccessibleInterface* caption() const override { return nullptr; }
  QAccessibleInterface* summary() const override { return nullptr; }
  int columnCount() const override { return static_cast<int>(grid()->shownColumns().size()); }
  int rowCount() const override { return grid()->shownRowCount(); }
  QAccessibleInterface* cellAt(int row, int column) const override {
    const std::vector<int> columns = grid()->shownColumns();
    const int r = grid()->logicalRow(row);
    if (r < 0 || column < 0 || column >= static_cast<int>(columns.size())) return nullptr;
    return child(grid()->accessibleChildOf(grid()->model()->index(r, columns[column], grid()->rootIndex())));
  }
  QString columnDescription(int column) const override {
    const std::vector<int> columns = grid()->shownColumns();
    if (column < 0 || column >= static_cast<int>(columns.size())) return {};
    return grid()->model()->headerData(columns[column], Qt::Horizontal).toString();
  }
  QString rowDescription(int row) const override {
    const int r = grid()->logicalRow(row);
    return r < 0 ? QString() : grid()->model()->headerData(r, Qt::Vertical).toString();
  }
  int selectedCellCount() const override { return static_cast<int>(selectedCells().size()); }
  QList<QAccessibleInterface*> selectedCells() const override {
    QList<QAccessibleInterface*> cells;
    if (!grid()->selectionModel()) return cells;
    for (const QModelIndex& i : grid()->selectionModel()->selectedIndexes())
      if (QAccessibleInterface* c = child(grid()->accessibleChildOf(i))) cells << c;
    return cells;
  }
  int selectedColumnCount() const override { return static_cast<int>(selectedColumns().size()); }
  int selectedRowCount() const override { return static_cast<int>(selectedRows().size()); }
  QList<int> selectedColumns() const override {
    QList<int> shown;
    if (!grid()->selectionModel()) return shown;
    for (const QModelIndex& i : grid()->selectionModel()->selectedColumns(0))
      if (const int c = grid()->shownColumn(i.column()); c >= 0) shown << c;
    return shown;
  }
  QList<int> selectedRows() const override {
    QList<int> shown;
    if (!grid()->selectionModel()) return shown;
    for (const QModelIndex& i : grid()->selectionModel()->selectedRows(0))
      if (const int r = grid()->shownRow(i.row()); r >= 0) shown << r;
    return shown;
  }
  bool isColumnSelected(int column) const override { return selectedColumns().contains(column); }
  bool isRowSelected(int row) const override { return selectedRows().contains(row); }
  bool selectRow(int row) override { return selectLine(grid()->logicalRow(row), -1, QItemSelectionModel::Select); }
  bool selectColumn(int column) override { return selectLine(-1, logicalColumn(column), QItemSelectionModel::Select); }
  bool unselectRow(int row) override { return selectLine(grid()->logicalRow(row), -1, QItemSelectionModel::Deselect); }
  bool unselectColumn(int column) override {
    return selectLine(-1, logicalColumn(column), QItemSelectionModel::Deselect);
  }

  // Rows come and go with the model: the parts are made again as asked for.
  void modelChange(QAccessibleTableModelChangeEvent* event) override {
    if (event->modelChangeType() != QAccessibleTableModelChangeEvent::DataChanged) forget();
  }

 private:
  using At = std::pair<int, int>;  // model row (-1: title row), model column (-1: row title)

  template <typename Make>
  QAccessibleInterface* part(At at, Make make) const {
    auto it = parts_.find(at);
    if (it == parts_.end()) it = parts_.emplace(at, QAccessible::registerAccessibleInterface(make())).first;
    return QAccessible::accessibleInterface(it->second);
  }
  int indexOf(At at) const {
    const auto [row, column] = at;
    if (row < 0) return grid()->titleRowShows() ? grid()->shownColumn(column) : -1;
    if (column < 0) {
      const int r = grid()->shownRow(row);
      if (r < 0 || !grid()->rowTitlesShow()) return -1;
      return (grid()->titleRowShows() ? columnCount() : 0) + r * (columnCount() + 1);
    }
    return grid()->model() ? grid()->accessibleChildOf(grid()->model()->index(row, column, grid()->rootIndex())) : -1;
  }
  int logicalColumn(int shown) const {
    const std::vector<int> columns = grid()->shownColumns();
    return shown >= 0 && shown < static_cast<int>(columns.size()) ? columns[shown] : -1;
  }
  bool selectLine(int row, int column, QItemSelectionModel::SelectionFlag how) {
    QItemSelectionModel* s = grid()->selectionModel();
    if (!s || !grid()->model() || (row < 0 && column < 0)) return false;
    if (grid()->selectionMode() == QAbstractItemView::NoSelection) return false;
    const QModelIndex at = grid()->model()->index(std::max(row, 0), std::max(column, 0), grid()->rootIndex());
    s->select(at, how | (row >= 0 ? QItemSelectionModel::Rows : QItemSelectionModel::Columns));
    return true;
  }
  void forget() {
    for (const auto& [at, id] : parts_) QAccessible::deleteAccessibleInterface(id);
    parts_.clear();
  }

  mutable std::map<At, QAccessible::Id> parts_;
};

// One item of a tick list, by its row.
class ListEntry final : public ItemPart<QListView> {
 public:
  ListEntry(QListView* list, int row) : ItemPart(list, QAccessible::ListItem), row_(row) {}

  QModelIndex index() const override {
    return view_ && view_->model() ? view_->model()->index(row_, view_->modelColumn(), view_->rootIndex()) : QModelIndex();
  }

 private:
  int row_;
};

// A list of ticks, its items in row order (the order of QListView's own
// focus events), ticked or not.
class TickListInterface final : public QAccessibleWidget {
 public:
  explicit TickListInterface(QListView* list) : QAccessibleWidget(list, QAccessible::List) {}
  ~TickListInterface() override {
    for (const auto& [row, id] : entries_) QAccessible::deleteAccessibleInterface(id);
  }

  QListView* list() const { return static_cast<QListView*>(widget()); }

  int childCount() const override { return list()->model() ? list()->model()->rowCount(list()->rootIndex()) : 0; }
  QAccessibleInterface* child(int row) const override {
    if (row < 0 || row >= childCount()) return nullptr;
    auto it = entries_.find(row);
    if (it == entries_.end())
      it = entries_.emplace(row, QAccessible::registerAccessibleInterface(new ListEntry(list(), row))).first;
    return QAccessible::accessibleInterface(it->second);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    for (const auto& [row, id] : entries_)
      if (QAccessible::accessibleInterface(id) == child) return row < childCount() ? row : -1;
    return -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const QModelIndex i = list()->indexAt(list()->viewport()->mapFromGlobal(QPoint(x, y)));
    return i.isValid() ? child(i.row()) : nullptr;
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    const auto mode = list()->selectionMode();
    s.multiSelectable = mode == QAbstractItemView::MultiSelection || mode == QAbstractItemView::ExtendedSelection;
    return s;
  }

 private:
  mutable std::map<int, QAccessible::Id> entries_;
};

constexpr char kTickList[] = "davuTickList";

QAccessibleInterface* TickListFactory(const QString&, QObject* object) {
  auto* list = qobject_cast<QListView*>(object);
  return list && list->property(kTickList).toBool() ? new TickListInterface(list) : nullptr;
}

QAccessibleInterface* GridFactory(const QString& className, QObject* object) {
  if (className != QLatin1String(ShownCellsGrid::staticMetaObject.className())) return nullptr;
  auto* grid = qobject_cast<ShownCellsGrid*>(object);
  return grid ? new GridInterface(grid) : nullptr;
}

}  // namespace

void ExposeShownCellsOnly() { InstallFactoryOnce(GridFactory); }

void TellTicksAsCheckBoxes(QListView* list) {
  list->setProperty(kTickList, true);
  InstallFactoryOnce(TickListFactory);
}

}  // namespace davu::a11y
