#include "widgets/platform/RealDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QMessageBox>
#include <QPushButton>

namespace davu::platform {
namespace {

// The standard boxes with the Swedish captions and buttons, "OK" resp. "Ja"
// as the default button. Closing a question without choosing counts as "Nej".
class QtDialogs final : public Dialogs {
 public:
  explicit QtDialogs(BalloonShow showBalloon) : showBalloon_(std::move(showBalloon)) {}
  void showInfoMessage(const QString& text) override {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), text, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("InfoMessage"));
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
  }
  int askYesNo(const QString& text) override {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Fråga"), text,
                    QMessageBox::Yes | QMessageBox::No);
    box.setObjectName(QStringLiteral("AskYesNo"));
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Ja"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Nej"));
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    box.exec();
    return box.clickedButton() == box.button(QMessageBox::Yes) ? 6 : 7;
  }
  void showBalloon(const QString& title, const QString& text, QPoint screenPos, int displayMs,
                   int kind) override {
    showBalloon_(title, text, screenPos, displayMs, kind);
  }
  bool pickColour(QColor& colour) override {
    const QColor chosen = QColorDialog::getColor(colour, QApplication::activeWindow());
    if (!chosen.isValid()) return false;
    colour = chosen;
    return true;
  }

 private:
  BalloonShow showBalloon_;
};

}  // namespace

std::unique_ptr<Dialogs> MakeRealDialogs(BalloonShow showBalloon) {
  return std::make_unique<QtDialogs>(std::move(showBalloon));
}

}  // namespace davu::platform
