#include "common/BuiltEngine.h"

#include "BuildPaths.h"

namespace quorane::test {

const char *BuiltEngine() {
    return QUORANE_APPDIR "/Plugins/libbass.so";
}

} // namespace quorane::test
