#pragma once
// What the user asks the directory for: the name box, the filters, the order
// and the page. Path() makes the search request's path and query from it.
// A plain value; used on the UI thread.
#include <QString>

class DirectoryQuery {
public:
    enum class Order { Votes, Clicks, Trending, Name, Bitrate };

    QString name;       // part of the name; empty: any
    QString tag;        // part of a tag; empty: any
    QString country;    // a country as the directory names it; empty: any
    QString language;   // likewise
    QString codec;      // likewise
    int bitrateMin = 0; // kbit/s; 0: any
    Order order = Order::Votes;
    bool hideBroken = true; // only stations whose last check passed
    int offset = 0;
    int limit = 100;

    // "/json/stations/search?..." with every value percent-encoded, so a
    // "+", "&" or "#" typed in the name box is searched for as typed.
    // Countries, languages and codecs come from the directory's own lists
    // and match exactly; name and tag match any part.
    QString Path() const;

    bool operator==(const DirectoryQuery &) const = default;
};
