#pragma once
// What a screen reader finds in a window, read in-process through the same
// QAccessible interfaces that Qt's AT-SPI bridge serves.
#include <QAccessible>
#include <QMap>
#include <QString>
#include <QStringList>

class QWidget;

struct AccessibleFindings {
  int interactive = 0;      // interactive controls reported as showing
  QStringList problems;     // "objectName: what is wrong"
  QMap<QString, QString> names;  // objectName -> accessible name, of what shows
  // The states of the items (and cells) of lists and tables, by the view's
  // objectName, in the order the tree gives them.
  QMap<QString, QList<QAccessible::State>> checkItems;
  // The roles of the items that carry a tick, by the view's objectName.
  QMap<QString, QList<QAccessible::Role>> tickRoles;
};

// Walks everything `window` shows. A problem is: an interactive control
// without a name or named by its objectName; anything that is hidden but
// reported as showing (a widget, a tab of the tab bar); a grid's cell or title
// of a hidden column, row or title row, even marked invisible; a grid's table
// that counts hidden columns or rows.
AccessibleFindings WalkAccessible(QWidget* window);
