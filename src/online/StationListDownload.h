#pragma once
// Fetching the list server's station list for the main window's "Download
// list from server". Only a whole, non-empty list is handed back: the caller
// replaces the user's station file with it, so a failed, cut-off or empty
// answer must end as an error before anything is written. (Whether the bytes
// are a station list at all is the caller's check, with the station file's
// own reading rules.) UI thread.
#include <QByteArray>
#include <QString>

class TIdHTTP;

namespace StationListDownload {

// The list's place on the list server.
inline constexpr char Path[] = "/quorane/stations.txt";

// The bytes of the new station file. A list the server marked as UTF-8 is
// stored in the 8-bit code page like every station file; any other list is
// stored byte for byte as the server sent it. A list larger than
// NetLimits::MaxStationListBytes is refused. Raises QuoraneError with the
// request's message, or when the server sent an empty list.
QByteArray Fetch(TIdHTTP &http, const QString &url);

} // namespace StationListDownload
