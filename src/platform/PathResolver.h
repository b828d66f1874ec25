#pragma once
// Quorane names its folders in more than one spelling ("Data" and "data",
// "Plugins" and "plugins") and expects them to be the same folder, as they
// are on a case-insensitive file system. ResolvePath finds the existing path
// whose components match without regard to case.
#include <QString>

// Returns `path` with each component replaced by the existing entry that
// matches it case-insensitively (an exact match wins). Components that do
// not exist are kept as given, so a path to a file about to be created
// resolves its folders and keeps its own name.
QString ResolvePath(const QString &path);
