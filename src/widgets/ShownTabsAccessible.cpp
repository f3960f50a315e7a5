#include "widgets/ShownTabsAccessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QTabBar>
#include <map>
#include <set>

namespace davu::a11y {

namespace {

QString WithoutAccessMark(QString text) {
  // "&&" is a drawn '&'; a single '&' marks the access key.
  text.replace(QLatin1String("&&"), QStringLiteral("\x01"));
  text.remove(QLatin1Char('&'));
  text.replace(QChar(1), QLatin1Char('&'));
  return text;
}

// One tab of the bar, by its index among all tabs.
class TabInterface final : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  TabInterface(QTabBar* bar, int index) : bar_(bar), index_(index) {}

  bool isValid() const override { return bar_ && index_ < bar_->count(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return bar_ ? bar_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(bar_.data()); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessible::Role role() const override { return QAccessible::PageTab; }
  void setText(QAccessible::Text, const QString&) override {}

  QString text(QAccessible::Text t) const override {
    if (!isValid()) return {};
    if (t == QAccessible::Name) return WithoutAccessMark(bar_->tabText(index_));
    if (t == QAccessible::Description) return bar_->tabToolTip(index_);
    return {};
  }
  QRect rect() const override {
    if (!isValid() || !bar_->isTabVisible(index_)) return {};
    return bar_->tabRect(index_).translated(bar_->mapToGlobal(QPoint(0, 0)));
  }
  QAccessible::State state() const override {
    QAccessible::State s;
    if (!isValid()) {
      s.invalid = true;
      return s;
    }
    if (QAccessibleInterface* p = parent()) s = p->state();
    s.focused = s.focused && index_ == bar_->currentIndex();
    s.selectable = true;
    s.selected = index_ == bar_->currentIndex();
    s.disabled = s.disabled || !bar_->isTabEnabled(index_);
    s.invisible = s.invisible || !bar_->isTabVisible(index_);
    return s;
  }

  void* interface_cast(QAccessible::InterfaceType t) override {
    return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
  }
  QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& name) override {
    if (name == pressAction() && isValid() && bar_->isTabVisible(index_)) bar_->setCurrentIndex(index_);
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

  int index() const { return index_; }

 private:
  QPointer<QTabBar> bar_;
  int index_;
};

// The bar's current tab as its currentChanged signal last told it. QTabBar
// changes its current index, sends its own focus and selection events (naming
// the tab by its index among all tabs) and only then sends currentChanged:
// while the two differ, the bar is inside those events.
constexpr char kToldCurrent[] = "davuToldCurrentTab";

void FollowToldCurrent(QTabBar* bar) {
  if (bar->property(kToldCurrent).isValid()) return;
  bar->setProperty(kToldCurrent, bar->currentIndex());
  QObject::connect(bar, &QTabBar::currentChanged, bar, [bar](int index) { bar->setProperty(kToldCurrent, index); });
}

// The bar: its children are the shown tabs, in order.
class TabBarInterface final : public QAccessibleWidget {
 public:
  explicit TabBarInterface(QTabBar* bar) : QAccessibleWidget(bar, QAccessible::PageTabList) { FollowToldCurrent(bar); }
  ~TabBarInterface() override {
    for (const auto& [index, id] : tabs_) QAccessible::deleteAccessibleInterface(id);
  }

  QTabBar* bar() const { return static_cast<QTabBar*>(widget()); }

  int childCount() const override {
    int n = 0;
    for (int i = 0; i < bar()->count(); ++i) n += bar()->isTabVisible(i) ? 1 : 0;
    return n;
  }
  QAccessibleInterface* child(int shown) const override {
    // The bar's own event for a new current tab names it by its index among
    // all tabs, while the bar has not yet told its change.
    const int current = bar()->currentIndex();
    if (shown == current && current != bar()->property(kToldCurrent).toInt() && bar()->isTabVisible(current))
      return tab(current);
    // QTabBar's own focus and selection events name a tab by its index among
    // all tabs; past the shown ones such an index is taken as that, so that
    // the event for a shown tab behind hidden ones is not lost.
    if (shown >= childCount() && shown < bar()->count() && bar()->isTabVisible(shown)) return tab(shown);
    for (int i = 0; i < bar()->count(); ++i) {
      if (!bar()->isTabVisible(i)) continue;
      if (shown-- > 0) continue;
      return tab(i);
    }
    return nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto* tab = dynamic_cast<const TabInterface*>(child);
    if (!tab || !bar()->isTabVisible(tab->index())) return -1;
    int shown = 0;
    for (int i = 0; i < tab->index(); ++i) shown += bar()->isTabVisible(i) ? 1 : 0;
    return shown;
  }
  QString text(QAccessible::Text t) const override {
    QString s = QAccessibleWidget::text(t);
    // Unnamed, the bar says which tab is open, as Qt's own bar does.
    if (t == QAccessible::Name && s.isEmpty() && bar()->currentIndex() >= 0)
      s = WithoutAccessMark(bar()->tabText(bar()->currentIndex()));
    return s;
  }

 private:
  QAccessibleInterface* tab(int index) const {
    auto it = tabs_.find(index);
    if (it == tabs_.end())
      it = tabs_.emplace(index, QAccessible::registerAccessibleInterface(new TabInterface(bar(), index))).first;
    return QAccessible::accessibleInterface(it->second);
  }

  mutable std::map<int, QAccessible::Id> tabs_;
};

QAccessibleInterface* ShownTabsFactory(const QString& className, QObject* object) {
  if (className != QLatin1String("QTabBar")) return nullptr;
  auto* bar = qobject_cast<QTabBar*>(object);
  return bar ? new TabBarInterface(bar) : nullptr;
}

}  // namespace

void InstallFactoryOnce(QAccessible::InterfaceFactory factory) {
  static std::set<QAccessible::InterfaceFactory> installed;
  if (installed.insert(factory).second) QAccessible::installFactory(factory);
}

void ExposeShownTabsOnly() { InstallFactoryOnce(ShownTabsFactory); }

}  // namespace davu::a11y
