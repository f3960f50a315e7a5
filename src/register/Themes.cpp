#include "register/Themes.h"

#include <QApplication>
#include <QColor>
#include <QPalette>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>

#include "register/ThemeStyle.h"

namespace davu {

namespace {

struct ThemeColours {
  const char* name;
  QColor window, windowText, base, alternateBase, text, button, buttonText, highlight,
      highlightedText, link, disabledText;
};

// Built on Fusion, which follows the palette everywhere.
const ThemeColours kThemes[] = {
    {"Ljus", QColor(246, 246, 246), QColor(20, 20, 20), QColor(255, 255, 255),
     QColor(238, 240, 243), QColor(20, 20, 20), QColor(236, 236, 236), QColor(20, 20, 20),
     QColor(48, 120, 210), QColor(255, 255, 255), QColor(0, 90, 190), QColor(150, 150, 150)},
    {"Mörk", QColor(45, 45, 48), QColor(230, 230, 230), QColor(30, 30, 30),
     QColor(52, 52, 56), QColor(230, 230, 230), QColor(60, 60, 64), QColor(230, 230, 230),
     QColor(0, 122, 204), QColor(255, 255, 255), QColor(90, 170, 255), QColor(120, 120, 120)},
    {"Blå", QColor(220, 232, 246), QColor(10, 30, 60), QColor(255, 255, 255),
     QColor(234, 242, 251), QColor(10, 30, 60), QColor(196, 216, 240), QColor(10, 30, 60),
     QColor(30, 90, 170), QColor(255, 255, 255), QColor(20, 70, 160), QColor(130, 145, 165)},
    {"Skog", QColor(226, 236, 222), QColor(20, 40, 20), QColor(250, 252, 248),
     QColor(236, 243, 233), QColor(20, 40, 20), QColor(204, 222, 198), QColor(20, 40, 20),
     QColor(46, 125, 50), QColor(255, 255, 255), QColor(30, 100, 40), QColor(135, 150, 130)},
    {"Grafit", QColor(83, 87, 92), QColor(240, 240, 240), QColor(60, 63, 67),
     QColor(72, 75, 80), QColor(240, 240, 240), QColor(98, 102, 108), QColor(240, 240, 240),
     QColor(230, 140, 30), QColor(20, 20, 20), QColor(255, 180, 90), QColor(150, 150, 150)},
};

QPalette PaletteOf(const ThemeColours& t) {
  QPalette p;
  p.setColor(QPalette::Window, t.window);
  p.setColor(QPalette::WindowText, t.windowText);
  p.setColor(QPalette::Base, t.base);
  p.setColor(QPalette::AlternateBase, t.alternateBase);
  p.setColor(QPalette::ToolTipBase, t.base);
  p.setColor(QPalette::ToolTipText, t.text);
  p.setColor(QPalette::PlaceholderText, t.disabledText);
  p.setColor(QPalette::Text, t.text);
  p.setColor(QPalette::Button, t.button);
  p.setColor(QPalette::ButtonText, t.buttonText);
  p.setColor(QPalette::BrightText, Qt::red);
  p.setColor(QPalette::Highlight, t.highlight);
  p.setColor(QPalette::HighlightedText, t.highlightedText);
  p.setColor(QPalette::Link, t.link);
  p.setColor(QPalette::Light, t.button.lighter(130));
  p.setColor(QPalette::Midlight, t.button.lighter(115));
  p.setColor(QPalette::Mid, t.button.darker(130));
  p.setColor(QPalette::Dark, t.button.darker(160));
  p.setColor(QPalette::Shadow, t.button.darker(300));
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, t.disabledText);
  return p;
}

// The platform's own look, captured before the first theme replaces it.
struct PlainLook {
  bool captured = false;
  QString styleKey;
  QPalette palette;
};

PlainLook& Plain() {
  static PlainLook plain;
  return plain;
}

QString& Active() {
  static QString active = PlainThemeName();
  return active;
}

void CapturePlainLook() {
  PlainLook& plain = Plain();
  if (plain.captured || Active() != PlainThemeName()) return;
  // The program's own style wraps the platform's; the key names the latter.
  const QStyle* style = QApplication::style();
  if (const auto* own = qobject_cast<const QProxyStyle*>(style)) style = own->baseStyle();
  plain.styleKey = style->name();
  plain.palette = QApplication::palette();
  plain.captured = true;
}

}  // namespace

QString PlainThemeName() { return QStringLiteral("Windows"); }

QStringList ThemeNames() {
  QStringList names{PlainThemeName()};
  for (const auto& t : kThemes) names << QString::fromUtf8(t.name);
  return names;
}

QString ActiveThemeName() { return Active(); }

bool ApplyTheme(const QString& name) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return false;
  const ThemeColours* theme = nullptr;
  for (const auto& t : kThemes)
    if (name == QString::fromUtf8(t.name)) theme = &t;
  if (!theme && name != PlainThemeName()) return false;

  CapturePlainLook();
  const PlainLook& plain = Plain();
  const QString styleKey = theme ? QStringLiteral("Fusion") : plain.styleKey;
  QStyle* base = QStyleFactory::create(styleKey);
  if (!base) return false;
  QApplication::setStyle(new ThemeStyle(base));
  QApplication::setPalette(ReadablePalette(theme ? PaletteOf(*theme) : plain.palette));
  FollowFocusWithRing();
  Active() = name;
  return true;
}

}  // namespace davu
