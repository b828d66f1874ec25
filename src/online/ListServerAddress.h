#pragma once
// Where Quorane's list server is: its own host on port 80. Tests point it at a
// server of their own on 127.0.0.1, either by SetForTesting or by the
// environment variable QUORANE_LIST_SERVER ("host" or "host:port"), which is
// read once, at the first use. UI thread only.
#include <QString>

class ListServerAddress {
public:
    static QString Host();
    static int Port();
    // "http://host" + path, with ":port" after the host when it is not 80.
    static QString Url(const QString &path);
    // Replaces the address for the rest of the process; an empty host goes
    // back to the built-in one.
    static void SetForTesting(const QString &host, int port);
};
