#pragma once
// What the engine and player benchmarks share about their peer server: a
// real Icecast started through tests/icecast/run-icecast.sh, Icecast's own
// time to first byte, and the median of runs. Used by the benchmark's main
// thread only.
#include "ChildProcess.h"

#include <memory>
#include <string>
#include <vector>

// The running server (stopped when the object goes) and its mount's URL.
struct BenchIcecast {
    std::unique_ptr<ChildProcess> process;
    std::string url;
    std::string adminMetadataUrl; // append a URL-encoded title; basic auth as admin
    std::string adminPassword;
    int failure = 0; // 0 when it runs; else the exit code for main (77: skip)
};

// Starts Icecast with a live 1 kHz MP3 mount /x.mp3 fed for `seconds`, plus
// the script options in `extra`, and waits until its burst is full.
BenchIcecast startBenchIcecast(int seconds, const std::vector<std::string> &extra = {});
// Icecast's own time to first byte for a listener (curl), in ms, or -1.
double curlFirstByte(const std::string &url);
// The middle of the runs, or -1 when there are none.
double median(std::vector<double> runs);
