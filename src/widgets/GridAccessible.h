#pragma once
// The accessible interface of davu::ShownCellsGrid: a table of the shown
// columns and rows only, its cells with their check states.

namespace davu::a11y {

// Installs the interface for every ShownCellsGrid; more calls do nothing.
void ExposeShownCellsOnly();

}  // namespace davu::a11y
