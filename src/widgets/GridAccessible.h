#pragma once
// The accessible interfaces of davu::ShownCellsGrid, a table of the shown
// columns and rows only, and of lists of ticks. A tick, in a grid or a list,
// is a check box to a screen reader, ticked or not.

class QListView;

namespace davu::a11y {

// Installs the interface for every ShownCellsGrid; more calls do nothing.
void ExposeShownCellsOnly();

// `list`'s items are told as check boxes where they carry a tick. Call before
// the list's interface is first asked for (when the list is made).
void TellTicksAsCheckBoxes(QListView* list);

}  // namespace davu::a11y
