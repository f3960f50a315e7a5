#pragma once
// The visual themes the program carries. A theme is a Qt style with a palette
// and is applied to the whole application. The plain look is the platform's
// own style and palette as they were before any theme was applied.
#include <QString>
#include <QStringList>

namespace davu {

// The plain look's name first, then the themes, as the theme list shows them.
QStringList ThemeNames();
// Applies the named theme to every window. An unknown or empty name, or the
// settings store's "ERROR", changes nothing and gives false.
bool ApplyTheme(const QString& name);
// The name of the theme in use; the plain look's name until one is applied.
QString ActiveThemeName();
// "Windows": the name the stored setting uses for the plain look.
QString PlainThemeName();

}  // namespace davu
