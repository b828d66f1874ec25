// At the exit of a test program built with AddressSanitizer, waits (a
// bounded while) until every thread but the main one has ended. Qt's D-Bus
// connection manager ends its thread from a global's destructor and does
// not wait for the thread's last clean-up, so the leak check, which runs
// after every destructor, could find the thread's data half-freed: a leak
// that is no leak, reported at random under load.
#pragma once

#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#include <chrono>
#include <filesystem>
#include <thread>
#endif

inline void WaitForThreadsAtExit() {
#if defined(__SANITIZE_ADDRESS__)
    std::atexit([] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
        std::error_code error;
        auto others = [&] {
            int count = 0;
            for (const auto &task : std::filesystem::directory_iterator("/proc/self/task", error))
                (void)task, ++count;
            return count > 1;
        };
        while (others() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    });
#endif
}
