#pragma once
// Windows of a fixed size that still fit small or scaled screens. A window
// keeps its designed size where that fits the available area of the screen
// it is shown on (less its frame); where it does not, it is capped to that
// area, so that its layout shrinks what can shrink (a grid, a list) and every
// button stays on the screen. Checked whenever the window is shown or moves
// to another screen; a fixed size set directly later counts as the new
// design.
#include <QSize>

class QWidget;

namespace davu {

void SetFixedSizeOnScreen(QWidget* window, QSize designed);
// Places the window, frame included, in the middle of its screen's
// available area.
void CentreOnScreen(QWidget* window);

}  // namespace davu
