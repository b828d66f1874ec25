#pragma once
// Where this build keeps the files that tests and benchmarks need, by the
// name quorane_build_path() gave each in CMake: "QUORANE_SOURCE_DIR" (this
// checkout), "QUORANE_APPDIR" (the application folder),
// "QUORANE_FIXTURE_AUDIO_DIR", "FAKE_ENGINE_V203", ... Looked up at run time
// from one small object (BuildPaths.cpp), so that no other object holds this
// checkout's folders and ccache serves them to a checkout anywhere else.
namespace quorane::test {

// The path of that name; a name this build does not have ends the program
// with a message, as a test cannot go on without its file.
const char *BuildPath(const char *name);

} // namespace quorane::test
