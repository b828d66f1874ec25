#pragma once
// The recorder's share of the engine benchmark: the CPU time of a process
// that plays a live stream and records it song by song, against one that
// only plays it, both at once on the same Icecast mount whose title changes
// every few seconds (so that songs are cut and files written). The recorder
// may add no more than a tenth.
#include "BenchIcecast.h"

#include <string>

// Runs both children at once for `seconds` of playing and prints the ratio;
// the recording child is bench_engine_recorder, beside `self`.
// Returns false when either could not be measured.
bool measureRecording(const std::string &self, const BenchIcecast &icecast, int seconds);
