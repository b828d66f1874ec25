#pragma once
// Where Quorane's list server is. At start-up the main window hands over the
// key "ListServer" of section "Main" of the settings file, a base address
// such as "http://lists.example.org:8080" that a household or a club puts
// there for a list server of its own; without it the environment variable
// QUORANE_LIST_SERVER ("host", "host:port" or a base address) names one, and
// without that Quorane's own host on port 80 serves. Tests point it at a
// server of their own on 127.0.0.1 by SetForTesting. UI thread only.
#include <QString>

class ListServerAddress {
public:
    static QString Host();
    static int Port();
    // "http://host" + path, with ":port" after the host when it is not 80.
    static QString Url(const QString &path);

    // Settles the address for the run from the settings key's value (empty
    // when the user put none there). Returns the message for the user when
    // the value is not an http base address; the address is then the one
    // the environment or the built-in default gives.
    static QString Configure(const QString &setting);
    // Reads "http://host", "http://host:port", either with a "/" at the end.
    static bool ParseBase(const QString &text, QString *host, int *port);

    // Replaces the address for the rest of the process; an empty host goes
    // back to the environment's or the built-in one.
    static void SetForTesting(const QString &host, int port);
};
