// Measures on what reached the sound device (captured with DiskOutput): a
// window's level, and how much of it is one tone, to tell the tone played
// from a gap, a click of silence or another sound.
#pragma once

#include <cstddef>
#include <vector>

namespace quorane::test {

double rms(const std::vector<float> &s, size_t from, size_t n);
// The share of a window's energy at one frequency (Goertzel): near 1 for a
// clean tone of that frequency, near 0 for silence or another sound.
double toneShare(const std::vector<float> &s, size_t from, size_t n, double freq, int rate);

} // namespace quorane::test
