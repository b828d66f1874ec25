// The main window's list-server commands: download the station list and
// check for a newer version. Both reach the server through the one client,
// IdHTTP1, which the add-station dialog owns.
#include "online/ListServerAddress.h"
#include "online/NetLimits.h"
#include "online/StationListDownload.h"
#include "online/VersionCheck.h"
#include "online/ui/TForm3.h"
#include "platform/AppDir.h"
#include "platform/AppPaths.h"
#include "platform/AtomicFile.h"
#include "platform/PathResolver.h"
#include "platform/Prompts.h"
#include "platform/QuoraneError.h"
#include "shell/TForm1.h"
#include "stations/StationFile.h"
#include "stations/StationLine.h"
#include "stations/StationListModel.h"
#include "window/Dispatch.h"

#include <QFile>

namespace {

const QString VersionPath = QStringLiteral("/quorane/ver.txt");
const QString DownloadPage = QStringLiteral("/quorane/");

[[noreturn]] void CannotCreate(const QString &path, const QString &reason) {
    throw QuoraneError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason));
}

// Fails as writing the file would, before anything is asked of the server:
// no "Data" folder, a read-only or locked file.
void CheckCanCreate(const QString &path) {
    QFile f(path);
    const bool existed = f.exists();
    if (!f.open(existed ? QIODevice::ReadWrite : QIODevice::WriteOnly | QIODevice::NewOnly))
        CannotCreate(path, f.errorString());
    f.close();
    if (!existed)
        f.remove();
}

bool IsStreamAddress(const QString &field) {
    const QString url = field.trimmed();
    for (const char *scheme : {"http://", "https://"})
        if (url.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return url.size() > qsizetype(qstrlen(scheme));
    // A playlist the player opens itself, wherever it lies.
    for (const char *ext : {".pls", ".m3u", ".m3u8", ".asx", ".xspf"})
        if (url.endsWith(QLatin1String(ext), Qt::CaseInsensitive))
            return true;
    return false;
}

// A captive portal or a web host's error page can come with status 200: only
// an answer that reads as a station file with at least one stream address in
// its URL field may replace the user's list. The lines are looked at in the
// decoded text one at a time rather than split into a list: a list of many
// megabytes would otherwise be held twice more just to find its first
// station.
void CheckIsStationList(const QByteArray &bytes) {
    const QString text = StationFile::Decode(bytes);
    for (const QStringView line : QStringView(text).tokenize(QLatin1Char('\n')))
        for (const QStringView part : line.tokenize(QLatin1Char('\r')))
            if (IsStreamAddress(
                    ExtractField(QLatin1Char('\t'), part.toString(), StationField::Url)))
                return;
    throw QuoraneError(QStringLiteral("The list server's answer is not a station list (no line "
                                      "names a stream address); your station list is unchanged"));
}

} // namespace

void TForm1::Downloadlistfromserver1Click() {
    if (!Prompts::Current().AskYesNo(this, QStringLiteral("Quorane"),
                                     QStringLiteral("Download latest stations list from server?")))
        return;
    if (!Form3)
        return;
    const QString writeName =
        ResolvePath(AppPaths::DataDir() + QStringLiteral("data/stations.txt"));
    CheckCanCreate(writeName);
    // Nothing is written unless the whole list came: a failed or broken
    // answer ends here with its message, and the user's file, list and view
    // stay as they were.
    const QByteArray bytes = StationListDownload::Fetch(
        Form3->IdHTTP1, ListServerAddress::Url(QString::fromLatin1(StationListDownload::Path)));
    CheckIsStationList(bytes);
    QString reason;
    if (!WriteFileAtomically(writeName, bytes, &reason))
        CannotCreate(writeName, reason);
    // Read back as at start-up, so the list is exactly what the file holds.
    StationLines lines =
        StationFile::Read(ResolvePath(AppPaths::DataDir() + QStringLiteral("Data/stations.txt")));
    Model->SetRowCount(0);
    Stations.Assign(std::move(lines));
    Model->SetRowCount(Stations.Count());
}

void TForm1::Update1Click() {
    if (!Form3)
        return;
    const QString answer =
        Form3->IdHTTP1.Get(ListServerAddress::Url(VersionPath), NetLimits::MaxVersionBytes);
    switch (VersionCheck::Compare(answer)) {
    case VersionCheck::Order::Same:
    case VersionCheck::Order::Older:
        Prompts::Current().Message(this, ApplicationTitle(),
                                   QStringLiteral("You already have latest version %1")
                                       .arg(QLatin1String(VersionCheck::ProgramVersion)),
                                   Prompts::Icon::None);
        return;
    case VersionCheck::Order::NotAVersion:
        throw QuoraneError(QStringLiteral("The list server did not send a version number."));
    case VersionCheck::Order::Newer:
        if (Prompts::Current().AskYesNo(this, QStringLiteral("Quorane"),
                                        QStringLiteral("There are newer version. Update now?")))
            Prompts::Current().OpenUrl(ListServerAddress::Url(DownloadPage));
        return;
    }
}
