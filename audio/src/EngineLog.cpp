#include "EngineLog.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

namespace quorane::engine {

LogLevel EngineLog::parse(const char *text) {
    if (!text)
        return LogLevel::Off;
    if (strcasecmp(text, "debug") == 0)
        return LogLevel::Debug;
    if (strcasecmp(text, "info") == 0)
        return LogLevel::Info;
    return LogLevel::Off;
}

LogLevel EngineLog::level() {
    static const LogLevel chosen = parse(std::getenv("QUORANE_ENGINE_LOG"));
    return chosen;
}

void EngineLog::write(LogLevel l, const char *format, ...) {
    if (!enabled(l))
        return;
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    using namespace std::chrono;
    static const auto start = steady_clock::now();
    double s = duration<double>(steady_clock::now() - start).count();
    // One fprintf per line: stdio locks the stream, so lines of several
    // threads never interleave.
    std::fprintf(stderr, "[quorane-engine %9.3f %s] %s\n", s,
                 l == LogLevel::Debug ? "debug" : "info", text);
}

} // namespace quorane::engine
