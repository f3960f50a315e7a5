#include "widgets/ChoiceListAccessible.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>

#include "widgets/ShownTabsAccessible.h"

namespace davu::a11y {

namespace {

// Name from the widget (its accessible name, else its label's caption
// without the access mark), value the chosen entry; the drop-down list (and
// the edit field of an editable one) as children, as Qt's own interface has.
class ChoiceListInterface final : public QAccessibleWidget {
 public:
  explicit ChoiceListInterface(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {
    addControllingSignal(QLatin1String("currentIndexChanged(int)"));
  }

  QComboBox* box() const { return static_cast<QComboBox*>(widget()); }

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return box()->isEditable() ? box()->lineEdit()->text() : box()->currentText();
    return QAccessibleWidget::text(t);
  }

  int childCount() const override { return box()->isEditable() ? 2 : 1; }
  QAccessibleInterface* child(int index) const override {
    if (index == 0) return QAccessible::queryAccessibleInterface(box()->view());
    if (index == 1 && box()->isEditable()) return QAccessible::queryAccessibleInterface(box()->lineEdit());
    return nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    if (!child) return -1;
    if (child->object() == box()->view()) return 0;
    if (box()->isEditable() && child->object() == box()->lineEdit()) return 1;
    return -1;
  }

  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.expandable = true;
    s.expanded = box()->view()->isVisible();
    s.editable = box()->isEditable();
    return s;
  }

  QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
  void doAction(const QString& name) override {
    if (name != showMenuAction() && name != pressAction()) return;
    if (box()->view()->isVisible())
      box()->hidePopup();
    else
      box()->showPopup();
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }
};

QAccessibleInterface* ChoiceListFactory(const QString& className, QObject* object) {
  if (className != QLatin1String("QComboBox")) return nullptr;
  auto* box = qobject_cast<QComboBox*>(object);
  return box ? new ChoiceListInterface(box) : nullptr;
}

}  // namespace

void NameChoiceListsByCaption() { InstallFactoryOnce(ChoiceListFactory); }

}  // namespace davu::a11y
