#include "RealDialogs.h"

#include <QMessageBox>
#include <QPushButton>
#include <QToolTip>

namespace platform {
namespace {

class QtDialogs final : public Dialogs {
 public:
  void showInfoMessage(const QString& text) override {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), text);
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
  }
  int askYesNo(const QString& text) override {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Fråga"), text);
    QPushButton* yes = box.addButton(QStringLiteral("Ja"), QMessageBox::YesRole);
    box.addButton(QStringLiteral("Nej"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.exec();
    return box.clickedButton() == yes ? 6 : 7;
  }
  void showBalloon(const QString& title, const QString& text, QPoint screenPos, int displayMs,
                   int /*kind*/) override {
    QToolTip::showText(screenPos, QStringLiteral("<b>%1</b><br>%2").arg(title.toHtmlEscaped(), text.toHtmlEscaped()),
                       nullptr, {}, displayMs);
  }
};

}  // namespace

std::unique_ptr<Dialogs> MakeRealDialogs() { return std::make_unique<QtDialogs>(); }

}  // namespace platform
