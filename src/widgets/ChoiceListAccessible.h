#pragma once
// Choice lists (QComboBox) as a screen reader should find them: named by
// their caption, their chosen entry as the value. Qt on Linux names a choice
// list by its chosen entry, so "Diagram:" is heard only through the label
// relation, if the reader follows it at all.

namespace davu::a11y {

// Installs the interface for every QComboBox of the process; more calls do
// nothing. Call before the first choice list is asked for.
void NameChoiceListsByCaption();

}  // namespace davu::a11y
