#pragma once
// QuoraneIcon: the program's own picture (data/icons/quorane.svg, rendered
// to 16, 32, 48 and 128 pixel PNGs built into the program), for the window,
// the tray icon and the tray menu's first item. UI thread.
#include <QIcon>

namespace QuoraneIcon {
QIcon Icon();
} // namespace QuoraneIcon
