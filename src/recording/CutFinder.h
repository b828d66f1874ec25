#pragma once
// Where a song change is cut: the title change is heard at a known moment,
// and the cut moves from there to the quietest tenth of a second within
// five seconds of it, the gap between two songs. Pure arithmetic on the
// levels the engine reports for the decoded audio; any thread.
#include <QList>

class CutFinder {
public:
    // A decoded stretch of the stream: from Start for Length seconds, its
    // samples at this mean square.
    struct Level {
        double Start = 0;
        double Length = 0;
        double MeanSquare = 0;
    };

    static constexpr double Reach = 5.0;  // seconds either side of the change
    static constexpr double Window = 0.1; // the quiet stretch looked for
    // Equally quiet windows in a row over more than this are a passage, not
    // a gap: the cut goes as near the change as the passage allows.
    static constexpr double LongStretch = 1.0;

    // The moment to cut at: the middle of the quietest Window whose middle
    // lies within Reach of `at` and after `notBefore` (several equally quiet
    // windows in a row: the middle of them all, or for a long run the point
    // in it nearest `at`). `levels` are in order of time. `at` itself when
    // the levels cover no such window.
    static double Quietest(const QList<Level> &levels, double at, double notBefore);
};
