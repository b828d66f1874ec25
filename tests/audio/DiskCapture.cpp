#include "DiskCapture.h"

#include <cmath>

namespace quorane::test {

double rms(const std::vector<float> &s, size_t from, size_t n) {
    double sum = 0;
    for (size_t i = from; i < from + n; ++i)
        sum += double(s[i]) * s[i];
    return std::sqrt(sum / double(n));
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
