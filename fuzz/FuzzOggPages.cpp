// The Ogg rate meter on any stream: the first byte says how the rest is cut
// into chunks. Whatever the cut, it must measure the same rate as from one
// chunk, and a rate it gives is a real number of bytes per second.
#include "OggRateMeter.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

using quorane::engine::OggRateMeter;

namespace {
double Measure(const uint8_t *body, size_t size, size_t step) {
    OggRateMeter meter;
    int done = 0;
    for (size_t at = 0; at < size;) {
        const size_t n = std::min(step, size - at);
        done += meter.feed(body + at, n) ? 1 : 0;
        at += n;
    }
    if (done > 1 || (done == 1) != (meter.bytesPerSecond() > 0))
        std::abort();
    return meter.bytesPerSecond();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    const size_t step = data[0] % 97 + 1;
    const double whole = Measure(data + 1, size - 1, size - 1 ? size - 1 : 1);
    const double cut = Measure(data + 1, size - 1, step);
    if (whole != cut || !std::isfinite(whole) || whole < 0)
        std::abort();
    return 0;
}
