// Bringing the main window to the front when a second start asks: restored
// if minimised, raised and activated, and a dialog it has open in front of
// it raised after it.
#pragma once

class QWidget;

namespace kvx::app {

void RestoreAndRaise(QWidget* window);

}  // namespace kvx::app
