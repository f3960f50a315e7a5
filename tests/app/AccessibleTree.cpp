#include "AccessibleTree.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QTabBar>
#include <QTableView>
#include <QWidget>

namespace {

bool InteractiveRole(QAccessible::Role role) {
  switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::List:
    case QAccessible::Table:
    case QAccessible::Tree:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::PageTab:
    case QAccessible::Slider:
    case QAccessible::Grip:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::Cell:
    case QAccessible::ListItem:
      return true;
    default:
      return false;
  }
}

struct Walker {
  AccessibleFindings f;

  static QString Label(QAccessibleInterface* i, QAccessibleInterface* parent) {
    if (QObject* o = i->object(); o && !o->objectName().isEmpty()) return o->objectName();
    const QString owner = parent && parent->object() ? parent->object()->objectName() : QString();
    return owner + QStringLiteral("/") + QString::number(parent ? parent->indexOfChild(i) : -1) +
           QStringLiteral(" (") + QString::number(int(i->role()), 16) + QStringLiteral(")");
  }

  // A cell or title of a grid that stands for nothing shown: a hidden
  // column's, a hidden row's, a hidden title row's or column's. Such a part
  // has no room on screen; marked invisible, it is still read out by a reader
  // that walks the table.
  static bool HiddenGridPart(QAccessibleInterface* i, QTableView* table) {
    switch (i->role()) {
      case QAccessible::RowHeader:
        if (table->verticalHeader()->isHidden()) return true;
        break;
      case QAccessible::ColumnHeader:
        if (table->horizontalHeader()->isHidden()) return true;
        break;
      case QAccessible::Cell:
      case QAccessible::CheckBox:
        break;
      default:
        return false;
    }
    return i->rect().isEmpty();
  }

  // A grid's table counts only what shows.
  static QString CountsHidden(QAccessibleInterface* i) {
    auto* table = qobject_cast<QTableView*>(i->object());
    QAccessibleTableInterface* t = i->tableInterface();
    if (!table || !t || !table->model()) return {};
    int columns = 0, rows = 0;
    for (int c = 0; c < table->model()->columnCount(); ++c) columns += table->isColumnHidden(c) ? 0 : 1;
    for (int r = 0; r < table->model()->rowCount(); ++r) rows += table->isRowHidden(r) ? 0 : 1;
    if (t->columnCount() == columns && t->rowCount() == rows) return {};
    return QStringLiteral("the table counts %1 columns and %2 rows, %3 and %4 show")
        .arg(t->columnCount()).arg(t->rowCount()).arg(columns).arg(rows);
  }

  // Hidden though the interface has it in the tree.
  static bool HiddenButShown(QAccessibleInterface* i, QAccessibleInterface* parent) {
    if (parent) {
      if (auto* table = qobject_cast<QTableView*>(parent->object()); table && HiddenGridPart(i, table)) return true;
    }
    if (i->state().invisible) return false;
    if (auto* w = qobject_cast<QWidget*>(i->object())) return !w->isVisible();
    if (!parent) return false;
    if (auto* bar = qobject_cast<QTabBar*>(parent->object()); bar && i->role() == QAccessible::PageTab) {
      const QString name = i->text(QAccessible::Name);
      for (int t = 0; t < bar->count(); ++t)
        if (bar->isTabVisible(t) && QString(bar->tabText(t)).remove(QLatin1Char('&')) == name) return false;
      return true;
    }
    return false;
  }

  void visit(QAccessibleInterface* i, QAccessibleInterface* parent) {
    const QString label = Label(i, parent);
    if (HiddenButShown(i, parent)) {
      f.problems << label + QStringLiteral(": hidden but in the tree as showing");
      return;
    }
    if (const QString counts = CountsHidden(i); !counts.isEmpty()) f.problems << label + QStringLiteral(": ") + counts;
    const QAccessible::State state = i->state();
    if (state.invisible) return;
    const QString name = i->text(QAccessible::Name);
    QObject* o = i->object();
    if (o && !o->objectName().isEmpty()) f.names.insert(o->objectName(), name);
    if (InteractiveRole(i->role()) || state.focusable) {
      // An item is named by its text, which may be empty; a tick has none
      // and is named by its column.
      const bool item = !o && parent && qobject_cast<QAbstractItemView*>(parent->object());
      if (!item) ++f.interactive;
      if (item) f.checkItems[parent->object()->objectName()] << state;
      if (item && state.checkable) f.tickRoles[parent->object()->objectName()] << i->role();
      const bool needsName = !item || state.checkable;
      if (needsName && name.trimmed().isEmpty())
        f.problems << label + QStringLiteral(": no name");
      else if (needsName && o && name == o->objectName())
        f.problems << label + QStringLiteral(": named by its objectName");
    }
    for (int c = 0; c < i->childCount(); ++c)
      if (QAccessibleInterface* child = i->child(c)) visit(child, i);
  }
};

}  // namespace

AccessibleFindings WalkAccessible(QWidget* window) {
  Walker w;
  if (QAccessibleInterface* root = QAccessible::queryAccessibleInterface(window)) w.visit(root, nullptr);
  return w.f;
}
