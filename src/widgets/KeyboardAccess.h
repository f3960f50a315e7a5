#pragma once
// What makes every window usable by keyboard alone: access keys on buttons
// whose captions are fixed letter for letter, Return on the focused push
// button, and Ctrl+PageDown/PageUp through a window's tabs from anywhere in
// it.
#include <QChar>
#include <QKeySequence>
#include <QPushButton>
#include <QString>

class QAbstractButton;
class QTabWidget;
class QWidget;

namespace davu::keys {

// `caption` with its access key's letter marked ("&") for drawing: the first
// letter that matches the Alt+letter of `key`, case-insensitively. A caption
// that marks its own letter, or a key without a letter, leaves it as it is.
QString MarkedCaption(const QString& caption, const QKeySequence& key);

// Alt+`letter` presses `button` from anywhere in its window; the caption's
// text stays as it is, and the letter is drawn underlined by buttons that
// draw through MarkedCaption (AccessKeyButton, the main window's buttons).
void SetAccessKey(QAbstractButton* button, QChar letter);

// Return and Enter press the push button that has the focus, in `window`
// and everything below it; once per window, after its buttons are made.
// Without this a dialog's Return goes to its
// default button whatever has the focus, and outside a dialog to none.
void PressFocusedButtonOnReturn(QWidget* window);

// Ctrl+PageDown and Ctrl+PageUp move to the next and previous shown tab of
// `tabs`, from any control of `window`, wrapping at the ends.
void SwitchTabsFromAnywhere(QWidget* window, QTabWidget* tabs);

}  // namespace davu::keys

namespace davu {

// A push button that draws its access key's letter underlined while its
// caption, the text the program and a screen reader see, stays unmarked.
class AccessKeyButton : public QPushButton {
  Q_OBJECT

 public:
  explicit AccessKeyButton(const QString& caption, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* e) override;
};

}  // namespace davu
