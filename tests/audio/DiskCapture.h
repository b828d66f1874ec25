// What reaches the sound device: SDL's "disk" driver writes the exact samples
// the engine hands to the output, in real time, into a file that a test then
// analyses for pitch, level and gaps.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quorane::test {

// Switches SDL to the disk driver for the engine sessions opened while it
// lives; restores the driver setting and removes the file afterwards.
class DiskOutput {
public:
    DiskOutput();
    ~DiskOutput();
    DiskOutput(const DiskOutput &) = delete;
    DiskOutput &operator=(const DiskOutput &) = delete;
    // The left channel of the interleaved stereo float samples written.
    std::vector<float> left() const;

private:
    std::string path_;
    std::string oldDriver_;
};

double rms(const std::vector<float> &s, size_t from, size_t n);
// Frequency from the rising zero crossings of a window.
double pitch(const std::vector<float> &s, size_t from, size_t n, int rate);
// The share of a window's energy at one frequency (Goertzel): near 1 for a
// clean tone of that frequency, near 0 for silence or another sound.
double toneShare(const std::vector<float> &s, size_t from, size_t n, double freq, int rate);

} // namespace quorane::test
