// The main window under a new skin.
#include "shell/TForm1.h"

#include <QMenuBar>

void TForm1::SkinApplied() {
    const int top = ClientTop();
    if (top != laidOutTop_) {
        resize(width(), height() + top - laidOutTop_);
        laidOutTop_ = top;
    }
    ArrangeControls();
}
