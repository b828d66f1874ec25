// The engine's levelled log of its decisions (answer status, buffer size,
// demuxer, reconnects and why, timeouts, aborts). Off unless the environment
// variable QUORANE_ENGINE_LOG is "info" or "debug"; lines go to stderr. Any
// engine thread may write, except the output callback, which never logs.
#pragma once

namespace quorane::engine {

enum class LogLevel { Off = 0, Info = 1, Debug = 2 };

class EngineLog {
public:
    // The level chosen by the environment, read once per process.
    static LogLevel level();
    static bool enabled(LogLevel l) { return l != LogLevel::Off && level() >= l; }
    // printf-style; one line per call, the newline added.
    static void write(LogLevel l, const char *format, ...) __attribute__((format(printf, 2, 3)));
    // Reads the level from a text as the environment variable gives it.
    static LogLevel parse(const char *text);
};

} // namespace quorane::engine

#define QLOG_INFO(...)                                                                             \
    ::quorane::engine::EngineLog::write(::quorane::engine::LogLevel::Info, __VA_ARGS__)
#define QLOG_DEBUG(...)                                                                            \
    ::quorane::engine::EngineLog::write(::quorane::engine::LogLevel::Debug, __VA_ARGS__)
