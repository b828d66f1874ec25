#pragma once
// The audio engine as this build lays it into the application folder, for
// tests that play through the real engine. Defined out of line
// (BuiltEngine.cpp), so that the many sources including this header keep the
// build's folders off their compile lines and out of their objects.
namespace quorane::test {
const char *BuiltEngine();
} // namespace quorane::test
