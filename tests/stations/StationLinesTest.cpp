// The compact store of the station lines: every line comes back exactly as
// it went in, whichever form it is kept in (Latin-1 bytes or UTF-16 units),
// through inserts, removals and the compaction they cause; and the search
// over the stored forms finds the same row as a plain search of the texts,
// for texts that are Latin-1, wide, or neither line's form.
#include "stations/StationLines.h"
#include "stations/StationList.h"
#include "stations/StationSearch.h"

#include <QStringList>
#include <cstdint>
#include <gtest/gtest.h>

namespace {

// Lines of every kind: empty, ASCII, the whole Latin-1 upper half, and wide
// ones (Cyrillic, a surrogate pair, a lone surrogate, a character whose low
// byte is an ASCII letter), some of odd length so that a wide line follows
// an odd number of bytes.
QStringList Samples() {
    QString upper;
    for (char16_t c = 0x80; c <= 0xFF; ++c)
        upper += QChar(c);
    return {QString(),
            "Radio\tJazz",
            "odd",
            QString::fromUtf8("\u0420\u0430\u0434\u0438\u043e\tRussia"),
            upper,
            "x",
            QString::fromUtf8("\U0001F600 FM"),
            QString(QChar(0xD800)) + "lone",
            QString::fromUtf8("\u0161a"),
            QString(QChar(0)) + "after a NUL"};
}

StationList ListOf(const QStringList &lines) {
    StationList list;
    list.Assign(lines);
    return list;
}

} // namespace

TEST(StationLines, KeepsEveryLineExactlyInEitherForm) {
    const QStringList samples = Samples();
    StationLines lines;
    for (const QString &s : samples)
        lines.Append(s);
    ASSERT_EQ(lines.Count(), samples.size());
    EXPECT_EQ(lines.ToStringList(), samples);
    for (qsizetype i = 0; i < lines.Count(); ++i) {
        const StationLines::Text t = lines.Raw(i);
        EXPECT_EQ(t.size, samples[i].size()) << i;
        bool latin1 = true;
        for (const QChar c : samples[i])
            latin1 = latin1 && c.unicode() <= 0xFF;
        EXPECT_EQ(t.latin1 != nullptr, latin1) << "line " << i << " kept in the wrong form";
        EXPECT_EQ(t.utf16 != nullptr, !latin1) << i;
        if (t.utf16) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(t.utf16) % alignof(char16_t), 0u)
                << "UTF-16 units of line " << i << " are aligned";
        }
    }
    lines.Squeeze();
    EXPECT_EQ(lines.ToStringList(), samples) << "squeezing keeps the lines";
    EXPECT_TRUE(lines == StationLines::FromStringList(samples));

    // Lines of the same length in different forms, or differing in one
    // character, are different lists.
    EXPECT_FALSE(StationLines::FromStringList({QString::fromUtf8("\u00e9")}) ==
                 StationLines::FromStringList({QString::fromUtf8("\u0100")}));
    EXPECT_FALSE(StationLines::FromStringList({"ab"}) == StationLines::FromStringList({"ac"}));
    EXPECT_FALSE(StationLines::FromStringList({"a"}) == StationLines::FromStringList({"a", ""}));
}

TEST(StationLines, InsertsAndRemovalsKeepTheOrderThroughCompaction) {
    // A list edited like a QStringList beside it: inserts at the front, the
    // middle and the end, and removals that leave enough dead text behind
    // to compact the buffer many times over.
    const QStringList samples = Samples();
    StationLines lines;
    QStringList want;
    quint32 seed = 7;
    const auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int step = 0; step < 6000; ++step) {
        if (want.isEmpty() || next() % 3 != 0) {
            const QString line = samples[qsizetype(next() % samples.size())] +
                                 QString::number(step) + QString(int(next() % 200), 'w');
            const qsizetype at = qsizetype(next() % (want.size() + 1));
            lines.Insert(at, line);
            want.insert(at, line);
        } else {
            const qsizetype at = qsizetype(next() % want.size());
            lines.RemoveAt(at);
            want.removeAt(at);
        }
        if (step % 997 == 0) {
            ASSERT_EQ(lines.ToStringList(), want) << "after step " << step;
        }
    }
    // Removing almost everything compacts for certain.
    while (want.size() > 3) {
        lines.RemoveAt(1);
        want.removeAt(1);
    }
    EXPECT_EQ(lines.ToStringList(), want);
    for (qsizetype i = 0; i < lines.Count(); ++i)
        EXPECT_EQ(lines.At(i), want[i]);
    lines.Clear();
    EXPECT_TRUE(lines.IsEmpty());
    lines.Append(u"again");
    EXPECT_EQ(lines.ToStringList(), QStringList({"again"}));
}

TEST(StationLines, SearchOverBothFormsFindsWhatAPlainSearchFinds) {
    // Lines of every length from 0 to 48 made of few letters, so texts of 1
    // to 12 characters match at every offset of the line, at its very end,
    // across tabs, or match at both ends only ("ab...b" in "abxb"). They mix
    // ASCII, Latin-1 and wide characters in both cases, so that some lines
    // are kept as Latin-1 and some as UTF-16; U+0161 has the low byte of 'a'
    // and U+0416/U+0436 differ from each other only in case.
    const QString letters = QString::fromUtf8("ab\t\u00e9\u00c9\u0161\u0416\u0436");
    QStringList lines;
    quint32 seed = 4242;
    const auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int len = 0; len <= 48; ++len)
        for (int k = 0; k < 4; ++k) {
            // Half the lines draw only from the Latin-1 letters.
            const int range = k % 2 == 0 ? 5 : int(letters.size());
            QString line;
            for (int i = 0; i < len; ++i)
                line += letters[int(next() % range)];
            lines.append(line);
        }
    const StationList list = ListOf(lines);
    int found = 0, wideFound = 0;
    for (int m = 1; m <= 12; ++m)
        for (int t = 0; t < 60; ++t) {
            // Half the texts are cut from a line at any offset, half are made
            // up and may be found nowhere.
            QString text;
            const QString &from = lines[qsizetype(next() % lines.size())];
            if (t % 2 == 0 && from.size() >= m)
                text = from.mid(int(next() % (from.size() - m + 1)), m);
            else
                for (int i = 0; i < m; ++i)
                    text += letters[int(next() % letters.size())];
            int want = -1;
            for (int r = 0; r < lines.size() && want < 0; ++r)
                if (lines[r].contains(text))
                    want = r;
            ASSERT_EQ(StationSearch::FindFirst(list, text, int(lines.size())), want)
                << text.toStdString();
            found += want >= 0;
            bool wide = false;
            for (const QChar c : text)
                wide = wide || c.unicode() > 0xFF;
            wideFound += want >= 0 && wide;
        }
    EXPECT_GT(found, 250) << "most texts are found somewhere";
    EXPECT_GT(wideFound, 50) << "wide texts are found in wide lines";
    // A text that only the end of a long line holds, and one one unit longer.
    const StationList tail = ListOf({QString(37, 'x') + "yz", QString(38, 'x') + "y"});
    EXPECT_EQ(StationSearch::FindFirst(tail, "yz", 2), 0);
    EXPECT_EQ(StationSearch::FindFirst(tail, QString(38, 'x') + "y", 2), 1);
    EXPECT_EQ(StationSearch::FindFirst(tail, QString(40, 'x'), 2), -1);

    // A wide text never matches a Latin-1 line (by its low bytes or as the
    // "?" a Latin-1 conversion makes of it), and a Latin-1 text is found
    // inside a wide line; case counts in both forms.
    const StationList mixed = ListOf({"a\tRadio?", QString::fromUtf8("\u0161\tR\u00e1dio \u0416")});
    EXPECT_EQ(StationSearch::FindFirst(mixed, QString::fromUtf8("\u0161"), 2), 1);
    EXPECT_EQ(StationSearch::FindFirst(mixed, QString::fromUtf8("R\u00e1dio"), 2), 1);
    EXPECT_EQ(StationSearch::FindFirst(mixed, QString::fromUtf8("r\u00e1dio"), 2), -1);
    EXPECT_EQ(StationSearch::FindFirst(mixed, QString::fromUtf8("\u0436"), 2), -1);
    EXPECT_EQ(StationSearch::FindFirst(mixed, QString::fromUtf8("\u0416"), 2), 1);
    EXPECT_EQ(StationSearch::FindFirst(mixed, "a\tR", 2), 0);
}
