#include "stations/StationSearch.h"

#include "stations/StationList.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Where `needle` (m >= 1 units) first occurs in `hay` (n units), or -1.
// A candidate must match the needle's first and last unit; eight positions
// are tested at once, so the scan runs at memory speed and a full compare
// runs only where both ends agree, which in station lines is rare even for
// common letters.
qsizetype Find(const char16_t *hay, qsizetype n, const char16_t *needle, qsizetype m) {
    if (m > n)
        return -1;
    const char16_t first = needle[0];
    const char16_t last = needle[m - 1];
    const qsizetype end = n - m + 1; // candidate starts are 0 ... end - 1
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i f = _mm_set1_epi16(short(first));
    const __m128i l = _mm_set1_epi16(short(last));
    for (; i + 8 <= end; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(hay + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(hay + i + m - 1));
        unsigned mask = unsigned(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi16(a, f), _mm_cmpeq_epi16(b, l))));
        while (mask != 0) {
            // Two mask bits per 16-bit unit.
            const qsizetype at = i + (__builtin_ctz(mask) >> 1);
            if (std::memcmp(hay + at + 1, needle + 1, size_t(m - 1) * sizeof(char16_t)) == 0)
                return at;
            mask &= mask - 1;
            mask &= mask - 1;
        }
    }
#endif
    for (; i < end; ++i) {
        if (hay[i] == first && hay[i + m - 1] == last &&
            std::memcmp(hay + i + 1, needle + 1, size_t(m - 1) * sizeof(char16_t)) == 0)
            return i;
    }
    return -1;
}

} // namespace

int StationSearch::FindFirst(const StationList &stations, const QString &text, int rows) {
    if (text.isEmpty())
        return -1;
    const QStringList &lines = stations.Lines();
    const int last = qMin(rows, int(lines.size()));
    const auto *needle = reinterpret_cast<const char16_t *>(text.constData());
    const qsizetype m = text.size();
    // Each line is searched in place, in its own storage: no copy, no
    // allocation, whatever the list's size.
    for (int i = 0; i < last; ++i) {
        const QString &line = lines.at(i);
        if (Find(reinterpret_cast<const char16_t *>(line.constData()), line.size(), needle, m) >= 0)
            return i;
    }
    return -1;
}
