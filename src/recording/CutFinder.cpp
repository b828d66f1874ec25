#include "recording/CutFinder.h"

#include <algorithm>
#include <cmath>
#include <limits>

double CutFinder::Quietest(const QList<Level> &levels, double at, double notBefore) {
    struct Span {
        double Begin, End, Mean;
        qsizetype First; // index of its first level
    };
    QList<Span> spans;
    double best = std::numeric_limits<double>::infinity();
    qsizetype j = 0;
    double energy = 0, covered = 0;
    // A window of whole levels of at least Window seconds, slid one level
    // at a time.
    for (qsizetype i = 0; i < levels.size(); ++i) {
        while (j < levels.size() && covered < Window) {
            energy += levels[j].MeanSquare * levels[j].Length;
            covered += levels[j].Length;
            ++j;
        }
        if (covered < Window || covered <= 0)
            break; // the levels end before another whole window
        const Span s{levels[i].Start, levels[j - 1].Start + levels[j - 1].Length, energy / covered,
                     i};
        const double middle = (s.Begin + s.End) / 2;
        if (std::abs(middle - at) <= Reach && middle > notBefore) {
            spans.append(s);
            best = std::min(best, s.Mean);
        }
        energy -= levels[i].MeanSquare * levels[i].Length;
        covered -= levels[i].Length;
    }
    if (spans.isEmpty())
        return at;
    // Windows about as quiet as the quietest, one after the other, are one
    // quiet stretch: its middle is the cut, and of several stretches the
    // one nearest the change wins.
    const double limit = best * 1.5 + 1e-7;
    double cut = at, nearest = std::numeric_limits<double>::infinity();
    for (qsizetype k = 0; k < spans.size(); ++k) {
        if (spans[k].Mean > limit)
            continue;
        qsizetype last = k;
        while (last + 1 < spans.size() && spans[last + 1].Mean <= limit &&
               spans[last + 1].First == spans[last].First + 1)
            ++last;
        // A short stretch (a gap between songs) is cut in its middle; a long
        // one (a quiet passage, or all of it equally loud) as near the
        // change as it allows.
        const double begin = spans[k].Begin, end = spans[last].End;
        const double point = end - begin <= LongStretch
                                 ? (begin + end) / 2
                                 : std::clamp(at, begin + LongStretch / 2, end - LongStretch / 2);
        if (std::abs(point - at) < nearest) {
            nearest = std::abs(point - at);
            cut = point;
        }
        k = last;
    }
    return cut;
}
