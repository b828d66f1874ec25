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
// Where Quorane keeps the files it writes: the settings file, Data/ and
// Skins/. The executable's folder when it may write there (a folder the
// user unpacked or built); otherwise, for an installed copy, "quorane/" in
// the desktop's configuration folder. Ends in "/".
QString DataDir();
// For an installed copy: the bundled station list and, when the user has no
// skin folder yet, the bundled skins copied from the executable's folder to
// DataDir(). Nothing that is there already is replaced.
void SeedDataDir();
// The executable's file name with its extension replaced by ".ini" (added
// when the name has none), in DataDir(): the settings file.
QString SettingsFile();
// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
QString ConfigHome();
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
