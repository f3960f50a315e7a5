#include "widgets/Dialogs.h"

#include <QApplication>
#include <QCoreApplication>
#include <QHash>
#include <QLibraryInfo>
#include <QLocale>
#include <QPalette>
#include <QTranslator>
#include <QWidget>

#include "common/ClientSocket.h"
#include "common/platform/Platform.h"
#include "widgets/UDAVUcommon.h"
#include "widgets/platform/BalloonHint.h"
#include "widgets/platform/RealDialogs.h"

using namespace davu;

namespace {

// The seam below cannot make widgets: a program that links these helpers gets
// the real boxes, with the common window's balloon, as the seam's default.
std::unique_ptr<davu::platform::Dialogs> makeRealDialogs() {
  return davu::platform::MakeRealDialogs(
      [](const QString& title, const QString& text, QPoint screenPos, int displayMs, int kind) {
        TfrmDAVUcommon& common = EnsureDAVUcommon();
        common.PrepareBalloonHint(title, text, kind, displayMs);
        common.BalloonHint()->showAt(screenPos);
      });
}

[[maybe_unused]] const bool realDialogsKnown = (davu::platform::setRealDialogs(&makeRealDialogs), true);

}  // namespace

void ShowBalloonHint(const QString& title, const QString& text, QWidget* control, int displayMs,
                     int kind) {
  QPoint pos;
  if (control) pos = control->mapToGlobal(QPoint(control->width() / 2, control->height()));
  davu::platform::dialogs().showBalloon(title, text, pos, displayMs, kind);
}

void ShowBalloonHintAt(const QString& title, const QString& text, QPoint screenPos, int displayMs,
                       int kind) {
  davu::platform::dialogs().showBalloon(title, text, screenPos, displayMs, kind);
}

void ShowInfoHint(const QString& text, QWidget* control) {
  ShowBalloonHint(QStringLiteral("Information"), text, control, 5000, 2);
}

void ShowInfoHintAt(const QString& text, QPoint screenPos) {
  ShowBalloonHintAt(QStringLiteral("Information"), text, screenPos, 5000, 2);
}

void ShowInfoMessage(const QString& text) {
  const ClientSocket::ModalMessageScope noReentry;
  davu::platform::dialogs().showInfoMessage(text);
}

int AskYesNo(const QString& text) {
  const ClientSocket::ModalMessageScope noReentry;
  return davu::platform::dialogs().askYesNo(text);
}

namespace {

// Swedish captions and buttons for every standard box, whatever the system
// language; the buttons carry no accelerator. Also the few texts of Qt's own
// windows that Debian's Swedish catalogue of Qt lacks.
class SwedishDialogTexts final : public QTranslator {
 public:
  QString translate(const char* context, const char* sourceText, const char* /*disambiguation*/,
                    int /*n*/) const override {
    static const QHash<QByteArray, QString> boxTexts = {
        {"Warning", QStringLiteral("Varning")}, {"Error", QStringLiteral("Fel")},
        {"Information", QStringLiteral("Information")}, {"Confirm", QStringLiteral("Fråga")},
        {"&Yes", QStringLiteral("Ja")}, {"&No", QStringLiteral("Nej")},
        {"OK", QStringLiteral("OK")}, {"&OK", QStringLiteral("OK")},
        {"Cancel", QStringLiteral("Avbryt")}, {"&Cancel", QStringLiteral("Avbryt")}};
    static const QHash<QByteArray, QString> qtWindowTexts = {
        {"QColorDialog\nSelect Color", QStringLiteral("Välj färg")},
        {"QColorDialog\n&Pick Screen Color", QStringLiteral("&Hämta färg från skärmen")},
        {"QColorDialog\nCursor at %1, %2\nPress ESC to cancel",
         QStringLiteral("Markören vid %1, %2\nTryck Esc för att avbryta")},
        {"QFileDialog\nLook in:", QStringLiteral("Leta i:")}};
    if (!context || !sourceText) return {};
    const QByteArray ctx(context);
    if (ctx == "QPlatformTheme" || ctx == "QMessageBox" || ctx == "QDialogButtonBox" ||
        ctx == "QGnomeTheme")
      return boxTexts.value(QByteArray(sourceText));
    return qtWindowTexts.value(ctx + '\n' + QByteArray(sourceText));
  }
  bool isEmpty() const override { return false; }
};

}  // namespace

void LocaliseDialogTexts() {
  static SwedishDialogTexts* installed = nullptr;
  if (installed || !QCoreApplication::instance()) return;
  // Qt's own windows (the colour picker, the file dialogs) in the system's
  // language where Qt has a translation for it, in Swedish otherwise.
  auto* qt = new QTranslator(QCoreApplication::instance());
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (qt->load(QLocale::system(), QStringLiteral("qt"), QStringLiteral("_"), folder) ||
      qt->load(QStringLiteral("qt_sv"), folder))
    QCoreApplication::installTranslator(qt);
  // Installed last, so it is asked first: the message boxes' own texts.
  installed = new SwedishDialogTexts;
  installed->setParent(QCoreApplication::instance());
  QCoreApplication::installTranslator(installed);
}

namespace davu {

// Windows system colours (high byte 0xFF, index in the low byte) that the
// register may have stored, mapped to the current palette.
std::uint32_t ResolveColour(std::uint32_t colour) {
  if ((colour >> 24) != 0xFF) return colour & 0xFFFFFFu;
  static const QHash<int, QPalette::ColorRole> roles = {
      {1, QPalette::Window},  {4, QPalette::Window},        {5, QPalette::Base},
      {8, QPalette::Text},    {9, QPalette::WindowText},    {13, QPalette::Highlight},
      {14, QPalette::HighlightedText}, {15, QPalette::Button}, {16, QPalette::Dark},
      {17, QPalette::PlaceholderText}, {18, QPalette::ButtonText}, {20, QPalette::Light},
      {21, QPalette::Shadow}, {22, QPalette::Midlight},     {23, QPalette::ToolTipText},
      {24, QPalette::ToolTipBase}, {26, QPalette::Link}};
  const QPalette pal = QGuiApplication::instance() ? QApplication::palette() : QPalette();
  const QColor c = pal.color(roles.value(int(colour & 0xFF), QPalette::Window));
  return std::uint32_t(c.red()) | (std::uint32_t(c.green()) << 8) | (std::uint32_t(c.blue()) << 16);
}

}  // namespace davu

std::uint32_t ContrastColor(std::uint32_t colour) {
  const std::uint32_t rgb = ResolveColour(colour);
  std::uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8)
    if (((rgb >> shift) & 0xFF) <= 128) out |= 0xFFu << shift;
  return out;
}

namespace davu {

// A part is a whole decimal number with an optional sign, as the usual
// integer conversion accepts it; hexadecimal and blanks are refused.
static bool ipPart(QStringView part) {
  const bool negative = part.startsWith(u'-');
  if (negative || part.startsWith(u'+')) part = part.sliced(1);
  if (part.isEmpty() || part.size() > 9) return false;
  int v = 0;
  for (QChar c : part) {
    if (c < u'0' || c > u'9') return false;
    v = v * 10 + (c.unicode() - u'0');
  }
  return negative ? v == 0 : v <= 255;  // "-0" is 0
}

}  // namespace davu

bool IsIPAddress(const QString& text) {
  const QList<QStringView> parts = QStringView(text).split(u'.');
  if (parts.size() < 4) return false;
  for (int i = 0; i < 4; ++i)
    if (!ipPart(parts[i])) return false;
  return true;
}
