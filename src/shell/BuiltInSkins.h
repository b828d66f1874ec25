#pragma once
// The skins built into Quorane, in the order the skin engine offers them;
// the first is the one a name that resolves to nothing falls back to.
#include "shell/SkinFile.h"

#include <QList>

namespace BuiltInSkins {
// "Winter2003 (internal)": white and ice-blue, every control of the three
// windows styled.
const QList<SkinFile> &All();
} // namespace BuiltInSkins
