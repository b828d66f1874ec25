#pragma once
// The recorder's share of the engine benchmark: the CPU time of a process
// that plays a live stream and records it song by song, against one that
// only plays it, both at once on the same Icecast mount whose title changes
// every few seconds (so that songs are cut and files written). The recorder
// may add no more than a tenth.
#include "BenchIcecast.h"

#include <string>

// Child mode: plays `url` for `seconds` with the recorder on the engine's
// tap, writing into `folder`. Prints FIRST_AUDIO_MS= once it plays.
int recordWithEngine(const char *url, int seconds, const char *folder);
// Runs both children at once for `seconds` of playing and prints the ratio.
// Returns false when either could not be measured.
bool measureRecording(const std::string &self, const BenchIcecast &icecast, int seconds);
