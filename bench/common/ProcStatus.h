#pragma once
// Reads this process's memory figures from /proc/self/status, in KiB.
#include <fstream>
#include <string>

inline long ProcStatusKiB(const char *field) {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == field) {
            status >> value;
            return value;
        }
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

inline long RssKiB() {
    return ProcStatusKiB("VmRSS:");
}
