#pragma once
#include <QString>

// Quorane's application folder with its trailing "/": set once by the main
// window's start-up from the executable's own path and never changed; every
// file Quorane reads or writes on its own is addressed from it. UI thread.
extern QString AppDir;
