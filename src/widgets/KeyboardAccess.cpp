#include "widgets/KeyboardAccess.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPushButton>
#include <QShortcut>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTabWidget>

namespace davu::keys {

namespace {

// The letter of an Alt+letter key; a null QChar for any other key.
QChar AccessLetter(const QKeySequence& key) {
  if (key.count() != 1) return {};
  const QKeyCombination combo = key[0];
  if (combo.keyboardModifiers() != Qt::AltModifier) return {};
  const QString text = QKeySequence(combo.key()).toString();
  return text.size() == 1 ? text.front() : QChar();
}

// Presses the push button it watches on Return or Enter.
class ReturnPresses final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    auto* button = qobject_cast<QPushButton*>(watched);
    if (!enter || mods != Qt::NoModifier || !button || !button->isEnabled()) return false;
    // A button with a menu opens it, as Space does.
    if (button->menu())
      button->showMenu();
    else
      button->click();
    return true;
  }
};

// The next shown and enabled tab from `from` in direction `step`, wrapping;
// -1 when there is none.
int NextShownTab(const QTabWidget* tabs, int from, int step) {
  const int n = tabs->count();
  for (int k = 1; k <= n; ++k) {
    const int i = ((from + k * step) % n + n) % n;
    if (tabs->isTabVisible(i) && tabs->isTabEnabled(i)) return i;
  }
  return -1;
}

}  // namespace

QString MarkedCaption(const QString& caption, const QKeySequence& key) {
  const QChar letter = AccessLetter(key);
  if (letter.isNull() || caption.contains(QLatin1Char('&'))) return caption;
  const qsizetype at = caption.indexOf(letter, 0, Qt::CaseInsensitive);
  if (at < 0) return caption;
  QString marked = caption;
  marked.insert(at, QLatin1Char('&'));
  return marked;
}

void SetAccessKey(QAbstractButton* button, QChar letter) {
  button->setShortcut(QKeySequence(QKeyCombination(Qt::AltModifier, Qt::Key(letter.toUpper().unicode()))));
}

void PressFocusedButtonOnReturn(QWidget* window) {
  auto* filter = new ReturnPresses(window);
  for (QPushButton* b : window->findChildren<QPushButton*>()) b->installEventFilter(filter);
}

void SwitchTabsFromAnywhere(QWidget* window, QTabWidget* tabs) {
  const auto bind = [&](QKeyCombination key, int step) {
    auto* s = new QShortcut(QKeySequence(key), window);
    s->setContext(Qt::WindowShortcut);
    QObject::connect(s, &QShortcut::activated, tabs, [tabs, step] {
      const int next = NextShownTab(tabs, tabs->currentIndex(), step);
      if (next >= 0 && next != tabs->currentIndex()) tabs->setCurrentIndex(next);
    });
  };
  bind(QKeyCombination(Qt::ControlModifier, Qt::Key_PageDown), 1);
  bind(QKeyCombination(Qt::ControlModifier, Qt::Key_PageUp), -1);
}

}  // namespace davu::keys

namespace davu {

AccessKeyButton::AccessKeyButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent) {}

void AccessKeyButton::paintEvent(QPaintEvent*) {
  QStylePainter p(this);
  QStyleOptionButton opt;
  initStyleOption(&opt);
  opt.text = davu::keys::MarkedCaption(text(), shortcut());
  p.drawControl(QStyle::CE_PushButton, opt);
}

}  // namespace davu
