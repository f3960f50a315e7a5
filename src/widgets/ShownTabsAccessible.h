#pragma once
// Tab bars as a screen reader should find them: only the tabs that are
// shown. Qt's own interface lists every tab, also those hidden with
// QTabWidget::setTabVisible, and reports them as showing.

#include <QAccessible>

namespace davu::a11y {

// Installs `factory` for the process unless it was installed already.
void InstallFactoryOnce(QAccessible::InterfaceFactory factory);

// Installs the interface for every QTabBar of the process; once is enough,
// more calls do nothing. Call before the first tab bar is asked for.
void ExposeShownTabsOnly();

}  // namespace davu::a11y
