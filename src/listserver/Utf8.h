#pragma once
// UTF-8 checks for the texts the list server takes in and shows.
#include <string>

namespace Utf8 {
// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValid(const std::string &s);
// Latin-1 bytes (one character per byte) as UTF-8.
std::string FromLatin1(const std::string &s);
} // namespace Utf8
