#include "DiskCapture.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace quorane::test {

DiskOutput::DiskOutput() : path_("/tmp/quorane-capture-" + std::to_string(getpid()) + ".raw") {
    const char *old = std::getenv("SDL_AUDIODRIVER");
    oldDriver_ = old ? old : "";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path_.c_str(), 1);
}

DiskOutput::~DiskOutput() {
    if (oldDriver_.empty())
        unsetenv("SDL_AUDIODRIVER");
    else
        setenv("SDL_AUDIODRIVER", oldDriver_.c_str(), 1);
    unsetenv("SDL_DISKAUDIOFILE");
    std::remove(path_.c_str());
}

std::vector<float> DiskOutput::left() const {
    std::ifstream in(path_, std::ios::binary);
    std::vector<float> all;
    float frame[2];
    while (in.read(reinterpret_cast<char *>(frame), sizeof frame))
        all.push_back(frame[0]);
    return all;
}

double rms(const std::vector<float> &s, size_t from, size_t n) {
    double sum = 0;
    for (size_t i = from; i < from + n; ++i)
        sum += double(s[i]) * s[i];
    return std::sqrt(sum / double(n));
}

double pitch(const std::vector<float> &s, size_t from, size_t n, int rate) {
    int rising = 0;
    for (size_t i = from + 1; i < from + n; ++i)
        if (s[i - 1] < 0 && s[i] >= 0)
            ++rising;
    return rising * double(rate) / double(n);
}

double toneShare(const std::vector<float> &s, size_t from, size_t n, double freq, int rate) {
    const double w = 2 * M_PI * freq / rate;
    const double coeff = 2 * std::cos(w);
    double q1 = 0, q2 = 0, energy = 0;
    for (size_t i = from; i < from + n; ++i) {
        double q0 = coeff * q1 - q2 + s[i];
        q2 = q1;
        q1 = q0;
        energy += double(s[i]) * s[i];
    }
    double power = q1 * q1 + q2 * q2 - coeff * q1 * q2;
    return energy > 0 ? 2 * power / (double(n) * energy) : 0;
}

} // namespace quorane::test
