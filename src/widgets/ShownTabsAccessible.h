#pragma once
// Tab bars as a screen reader should find them: only the tabs that are
// shown. Qt's own interface lists every tab, also those hidden with
// QTabWidget::setTabVisible, and reports them as showing.

namespace davu::a11y {

// Installs the interface for every QTabBar of the process; once is enough,
// more calls do nothing. Call before the first tab bar is asked for.
void ExposeShownTabsOnly();

}  // namespace davu::a11y
