#include "stations/StationSearch.h"

#include "stations/StationList.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Where `needle` (m >= 1 units) first occurs in `hay` (n units), or -1, for
// units of one byte (Latin-1 lines) or two (UTF-16 lines). A candidate must
// match the needle's first and last unit; sixteen bytes of positions are
// tested at once, so the scan runs at memory speed and a full compare runs
// only where both ends agree, which in station lines is rare even for
// common letters.
template <typename Unit>
qsizetype Find(const Unit *hay, qsizetype n, const Unit *needle, qsizetype m) {
    if (m > n)
        return -1;
    const Unit first = needle[0];
    const Unit last = needle[m - 1];
    const qsizetype end = n - m + 1; // candidate starts are 0 ... end - 1
    const size_t rest = size_t(m - 1) * sizeof(Unit);
    qsizetype i = 0;
#if defined(__SSE2__)
    constexpr qsizetype Step = 16 / sizeof(Unit);
    const bool wide = sizeof(Unit) == 2;
    const __m128i f = wide ? _mm_set1_epi16(short(first)) : _mm_set1_epi8(char(first));
    const __m128i l = wide ? _mm_set1_epi16(short(last)) : _mm_set1_epi8(char(last));
    for (; i + Step <= end; i += Step) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(hay + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(hay + i + m - 1));
        const __m128i both = wide ? _mm_and_si128(_mm_cmpeq_epi16(a, f), _mm_cmpeq_epi16(b, l))
                                  : _mm_and_si128(_mm_cmpeq_epi8(a, f), _mm_cmpeq_epi8(b, l));
        unsigned mask = unsigned(_mm_movemask_epi8(both));
        while (mask != 0) {
            // One mask bit per byte: two per UTF-16 unit.
            const qsizetype at = i + qsizetype(unsigned(__builtin_ctz(mask)) / sizeof(Unit));
            if (std::memcmp(hay + at + 1, needle + 1, rest) == 0)
                return at;
            mask &= mask - 1;
            if (wide)
                mask &= mask - 1;
        }
    }
#endif
    for (; i < end; ++i) {
        if (hay[i] == first && hay[i + m - 1] == last &&
            std::memcmp(hay + i + 1, needle + 1, rest) == 0)
            return i;
    }
    return -1;
}

} // namespace

int StationSearch::FindFirst(const StationList &stations, const QString &text, int rows) {
    if (text.isEmpty())
        return -1;
    const StationLines &lines = stations.Lines();
    const int last = qMin(rows, stations.Count());
    const auto *needle = reinterpret_cast<const char16_t *>(text.constData());
    const qsizetype m = text.size();
    // A Latin-1 line holds only characters below U+0100, so it can hold the
    // text only when the text's characters are all below U+0100 as well; it
    // is then searched for the text's Latin-1 bytes.
    char16_t high = 0;
    for (qsizetype k = 0; k < m; ++k)
        high = char16_t(high | needle[k]);
    const QByteArray narrow = high <= 0xFF ? text.toLatin1() : QByteArray();
    // Each line is searched in place, in the list's own storage: no copy, no
    // allocation, whatever the list's size.
    for (int i = 0; i < last; ++i) {
        const StationLines::Text line = lines.Raw(i);
        if (line.latin1
                ? !narrow.isEmpty() && Find(line.latin1, line.size, narrow.constData(), m) >= 0
                : Find(line.utf16, line.size, needle, m) >= 0)
            return i;
    }
    return -1;
}
