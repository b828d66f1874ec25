#pragma once
// How much further a test's bound on time or memory must reach when the
// program runs under a sanitizer: AddressSanitizer pads every block and keeps
// freed memory in quarantine for a while, and instrumented code runs several
// times slower. One factor here, so that no test guesses its own.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr int SanitizerBoundScale = 2;
inline constexpr bool UnderSanitizer = true;
#else
inline constexpr int SanitizerBoundScale = 1;
inline constexpr bool UnderSanitizer = false;
#endif
