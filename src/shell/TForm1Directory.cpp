// The main window's side of the community directory: opening the find
// window, and what that window does with a result through DirectoryHost.
#include "directory/DirectoryServerSetting.h"
#include "directory/ui/TFormFindStations.h"
#include "platform/IniFile.h"
#include "shell/StationListView.h"
#include "shell/TForm1.h"
#include "stations/StationListModel.h"
#include "window/Dispatch.h"

void TForm1::Findstations1Click() {
    if (FormFind)
        FormFind->Open();
}

void TForm1::PlayDirectoryStation(const QString &name, const QByteArray &url) {
    PlayStation(name, url);
}

void TForm1::AddStationLine(const QString &line) {
    Stations.Insert(0, line);
    // The new station is row 0 and shows at once; every line keeps its row.
    Model->SetRowCount(Stations.Count());
    sListView1->scrollToTop();
}

void TForm1::SetFavoriteUrl(int slot, const QByteArray &url) {
    FavoriteUrls.at(slot - 1) = url;
}

void TForm1::LoadDirectorySetting(const IniFile &ini) {
    QString problem;
    DirectoryServer = DirectoryServerSetting::Parse(
        ini.ReadString(QStringLiteral("Main"), QString::fromLatin1(DirectoryServerSetting::Key),
                       QString()),
        &problem);
    if (!problem.isEmpty())
        ShowErrorBox(problem);
}
