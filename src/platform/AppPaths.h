#pragma once
// Where Quorane's own files are. Everything is found from the running
// executable's path, never from the working directory, so a start from a
// desktop launcher or another folder uses the same files.
#include <QString>

namespace AppPaths {
// Full path of the running executable (from /proc/self/exe).
QString ExecutablePath();
// The executable's folder with a trailing "/": Quorane's AppDir.
QString ExecutableDir();
// The executable's path with its extension replaced by ".ini" (added when
// the name has none): the settings file.
QString SettingsFile();
// The executable's file name with its extension replaced by ".INI", in the
// desktop's configuration folder ($XDG_CONFIG_HOME, else ~/.config): the
// window-geometry file.
QString GeometryFile();
// Replaces the extension of the file name in `path` (or adds one).
QString ReplaceExtension(const QString &path, const QString &ext);
// The application title: the executable's file name up to its first ".",
// every character after the first in lower case.
QString ApplicationTitleFor(const QString &exePath);

// Tests: pretend the executable is `path` (empty: back to the real one).
void SetExecutableForTesting(const QString &path);
} // namespace AppPaths
