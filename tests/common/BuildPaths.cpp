#include "BuildPaths.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quorane::test {

namespace {

struct Entry {
    const char *name;
    const char *path;
};

// Written by CMake: one QUORANE_BUILD_PATH(name, path) per path.
constexpr Entry Entries[] = {
#define QUORANE_BUILD_PATH(name, path) {name, path},
#include "BuildPathList.h"
#undef QUORANE_BUILD_PATH
};

} // namespace

const char *BuildPath(const char *name) {
    for (const Entry &e : Entries)
        if (std::strcmp(e.name, name) == 0)
            return e.path;
    std::fprintf(stderr, "this build has no path named %s (quorane_build_path)\n", name);
    std::abort();
}

} // namespace quorane::test
