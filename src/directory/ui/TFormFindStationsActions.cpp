// The find window's handlers: searching as the user types, the lists of the
// drop-downs, and what a result can be made to do (play, add to the list,
// a favourite slot, its homepage).
#include "directory/DirectoryChoice.h"
#include "directory/DirectoryClient.h"
#include "directory/DirectoryHost.h"
#include "directory/DirectoryLimits.h"
#include "directory/DirectoryResultsModel.h"
#include "directory/DirectorySearch.h"
#include "directory/ui/TFormFindStations.h"
#include "platform/CodePage.h"
#include "platform/Prompts.h"
#include "window/Dispatch.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QJsonArray>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStringListModel>
#include <QTableView>
#include <QTimer>
#include <QUrl>

namespace {

// The drop-downs' lists, one bit each in listsWanted_.
enum ListBit { Countries = 1, Languages = 2, Codecs = 4, Tags = 8, AllLists = 15 };

} // namespace

void TFormFindStations::Open() {
    show();
    // A window minimised when the last run ended comes back minimised
    // (TFormINI); asked for, it is shown.
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
    sEdit1->setFocus(Qt::OtherFocusReason);
    sEdit1->selectAll();
    if (!opened_) {
        opened_ = true;
        listsWanted_ = AllLists;
        Timer1->stop();
        Timer1Timer();
    }
    FetchLists();
}

void TFormFindStations::FetchLists() {
    const struct {
        ListBit bit;
        const char *path;
        QComboBox *box; // null: the tags
    } lists[] = {
        {Countries, "/json/countries?order=name", sComboBox1},
        {Languages, "/json/languages?order=name", sComboBox2},
        {Codecs, "/json/codecs?order=name", sComboBox3},
        {Tags, "/json/tags?order=stationcount&reverse=true&limit=", nullptr},
    };
    for (const auto &list : lists) {
        if (!(listsWanted_ & list.bit))
            continue;
        listsWanted_ &= ~list.bit;
        QString path = QString::fromLatin1(list.path);
        if (!list.box)
            path += QString::number(DirectoryLimits::CompletionTags);
        QComboBox *box = list.box;
        const ListBit bit = list.bit;
        Client->Get(path, DirectoryClient::Shape::Array,
                    [this, box, bit](const DirectoryClient::Answer &answer) {
                        if (!answer.error.isEmpty()) {
                            listsWanted_ |= bit; // asked again at the next opening
                            return;
                        }
                        if (box) {
                            FillChoices(box, answer.json);
                            return;
                        }
                        QStringList names;
                        for (const DirectoryChoice &c :
                             DirectoryChoice::FromJson(answer.json.array()))
                            names.append(c.name);
                        TagNames->setStringList(names);
                    });
    }
}

void TFormFindStations::FillChoices(QComboBox *box, const QJsonDocument &json) {
    // Filling is not a choice of the user's: no search starts, and what was
    // chosen stays chosen.
    const QSignalBlocker quiet(box);
    const QString chosen = box->currentData().toString();
    while (box->count() > 1)
        box->removeItem(1);
    for (const DirectoryChoice &c : DirectoryChoice::FromJson(json.array()))
        box->addItem(c.Caption(), c.name);
    box->setCurrentIndex(qMax(0, box->findData(chosen)));
}

DirectoryQuery TFormFindStations::QueryFromControls() const {
    DirectoryQuery q;
    q.name = sEdit1->text();
    q.tag = sEdit2->text();
    q.country = sComboBox1->currentData().toString();
    q.language = sComboBox2->currentData().toString();
    q.codec = sComboBox3->currentData().toString();
    q.bitrateMin = sComboBox4->currentData().toInt();
    q.order = DirectoryQuery::Order(sComboBox5->currentData().toInt());
    q.hideBroken = sCheckBox1->isChecked();
    return q;
}

void TFormFindStations::FilterChange() {
    Timer1->start();
}

void TFormFindStations::Timer1Timer() {
    Search->Start(QueryFromControls());
}

void TFormFindStations::SearchAnswered(bool ok) {
    const bool play = playFirstWhenAnswered_;
    playFirstWhenAnswered_ = false;
    if (!ok || Results->Count() == 0)
        return;
    // The first result is the current one, so Insert and the buttons act on
    // it as Enter does; the focus stays where the user types.
    sListView1->setCurrentIndex(Results->index(0, 0));
    sListView1->scrollToTop();
    if (play)
        PlayResult(0);
}

void TFormFindStations::PlayFirstResult() {
    if (Timer1->isActive()) {
        // No need to wait for the pause: the user has said what they want.
        Timer1->stop();
        Timer1Timer();
    }
    if (Search->Searching()) {
        playFirstWhenAnswered_ = true;
        return;
    }
    if (Results->Count() == 0)
        return;
    sListView1->setCurrentIndex(Results->index(0, 0));
    PlayResult(0);
}

void TFormFindStations::PlayResult(int row) {
    if (row < 0 || row >= Results->Count())
        return;
    const DirectoryStation &station = Results->Station(row);
    const QString url = station.PlayUrl();
    if (url.isEmpty()) {
        ShowStatus(
            QStringLiteral("\"%1\" has no stream address in the directory").arg(station.name));
        return;
    }
    // Played even when the directory's last check failed: the user asked.
    host_.PlayDirectoryStation(station.name.isEmpty() ? url : station.name, CodePage::ToAnsi(url));
    // The directory counts the plays of its stations; the answer is not needed.
    if (!station.stationUuid.isEmpty())
        Client->Get(QStringLiteral("/json/url/") +
                        QString::fromLatin1(QUrl::toPercentEncoding(station.stationUuid)),
                    DirectoryClient::Shape::Object, [](const DirectoryClient::Answer &) {});
}

int TFormFindStations::CurrentResult() const {
    const QModelIndexList rows = sListView1->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TFormFindStations::Addtolist1Click() {
    const int row = CurrentResult();
    if (row < 0)
        return;
    const DirectoryStation &station = Results->Station(row);
    host_.AddStationLine(station.StationLine());
    ShowStatus(QStringLiteral("\"%1\" is now at the top of the station list").arg(station.name));
}

void TFormFindStations::PutInSlotClick(int slot) {
    const int row = CurrentResult();
    if (row < 0)
        return;
    const DirectoryStation &station = Results->Station(row);
    host_.SetFavoriteUrl(slot, CodePage::ToAnsi(station.PlayUrl()));
    ShowStatus(QStringLiteral("Slot %1 now plays \"%2\"").arg(slot).arg(station.name));
}

QString TFormFindStations::Homepage(int row) const {
    if (row < 0 || row >= Results->Count())
        return QString();
    // The directory's data comes from anyone: only web pages are opened.
    const QUrl url(Results->Station(row).homepage, QUrl::StrictMode);
    const bool web =
        url.isValid() && !url.host().isEmpty() &&
        (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
    return web ? url.toString(QUrl::FullyEncoded) : QString();
}

void TFormFindStations::Openhomepage1Click() {
    const QString page = Homepage(CurrentResult());
    if (!page.isEmpty())
        Prompts::Current().OpenUrl(page);
}

void TFormFindStations::ShowMenu(const QPoint &pos) {
    const QModelIndex index = sListView1->indexAt(pos);
    if (!index.isValid())
        return;
    sListView1->setCurrentIndex(index);
    Openhomepage1->setEnabled(!Homepage(index.row()).isEmpty());
    PopupMenu1->popup(sListView1->viewport()->mapToGlobal(pos));
}

void TFormFindStations::ResultsScrolled() {
    const QScrollBar *bar = sListView1->verticalScrollBar();
    if (bar->value() >= bar->maximum() && Search->HasMore() && !Search->Running())
        Search->More();
}

void TFormFindStations::ShowStatus(const QString &text) {
    sStatusLine->setText(text);
    sStatusLine->setToolTip(text);
}

void TFormFindStations::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    TFormINI::keyPressEvent(event);
}

bool TFormFindStations::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() != QEvent::KeyPress)
        return TFormINI::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (watched == sEdit1 || watched == sEdit2) {
        const QCompleter *completer = sEdit2->completer();
        if (enter && !(watched == sEdit2 && completer->popup()->isVisible())) {
            Dispatch([&] { PlayFirstResult(); });
            return true;
        }
        if (key->key() == Qt::Key_Down && watched == sEdit1 && Results->Count() > 0) {
            sListView1->setFocus(Qt::TabFocusReason);
            if (CurrentResult() < 0)
                sListView1->setCurrentIndex(Results->index(0, 0));
            return true;
        }
    } else if (watched == sListView1) {
        if (enter) {
            Dispatch([&] { PlayResult(CurrentResult()); });
            return true;
        }
        if (key->key() == Qt::Key_Up && CurrentResult() <= 0) {
            sEdit1->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return TFormINI::eventFilter(watched, event);
}
