#pragma once
// StationSearch: the search behind the search box. It finds the first of the
// rows 0 ... rows-1 whose stored line holds the text as an exact,
// case-sensitive substring (tabs included, so a text spanning two fields can
// match). It keeps nothing between calls and needs no display, so the list
// benchmark and the tests run it directly. UI thread (it reads the list).
#include <QString>

class StationList;

class StationSearch {
public:
    // The first row whose line contains `text`, or -1. The empty text finds
    // nothing; rows beyond the list's end are never read.
    static int FindFirst(const StationList &stations, const QString &text, int rows);
};
