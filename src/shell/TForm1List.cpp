// The station list in the main window: which row is the current station,
// the search box, the list's keys, and the commands that change the list as
// a whole or one station at a time (clear, delete, load, save).
//
// After every change to the list the view's row count is set to the list's
// count, so every line has its row.
#include "platform/AppDir.h"
#include "platform/AppPaths.h"
#include "platform/PathResolver.h"
#include "platform/Prompts.h"
#include "shell/StationListView.h"
#include "shell/TForm1.h"
#include "stations/StationFile.h"
#include "stations/StationListModel.h"
#include "stations/StationSearch.h"

#include <QItemSelectionModel>
#include <QLineEdit>
#include <QScrollBar>

namespace {

// Starting folder of the Load list and Save list dialogs.
QString ListFolder() {
    return ResolvePath(AppPaths::DataDir() + QStringLiteral("Data"));
}

const QString ListFilter = QStringLiteral("*.txt");

} // namespace

int TForm1::CurrentStation() const {
    // Reading the selection's ranges rather than its rows keeps this cheap
    // when thousands of rows are selected.
    int lowest = -1;
    const QItemSelection selection = sListView1->selectionModel()->selection();
    for (const QItemSelectionRange &range : selection) {
        if (range.isValid() && (lowest < 0 || range.top() < lowest))
            lowest = range.top();
    }
    return lowest;
}

void TForm1::SelectRow(int i) {
    if (i < 0 || i >= Model->RowCount())
        return;
    const QModelIndex index = Model->index(i, 0);
    // Only the rows scroll: the columns stay where the user put them.
    QScrollBar *across = sListView1->horizontalScrollBar();
    const int column = across->value();
    // The found row replaces the selection and becomes the current item, so
    // Enter and the commands act on the station the user just found.
    sListView1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                             QItemSelectionModel::Rows);
    sListView1->scrollTo(index, QAbstractItemView::EnsureVisible);
    across->setValue(column);
}

void TForm1::sEdit1Change() {
    SelectRow(StationSearch::FindFirst(Stations, sEdit1->text(), Model->RowCount()));
}

void TForm1::sEdit1Click() {
    sEdit1->clear();
}

void TForm1::sEdit1KeyPress(char16_t &key) {
    if (key == 13) {
        key = 0;
        sListView1DblClick();
    }
}

void TForm1::sListView1KeyPress(char16_t &key) {
    if (key == 13) {
        key = 0;
        sListView1DblClick();
    } else if (key == 27) {
        key = 0;
        close();
    }
}

void TForm1::sListView1KeyUp(int key, Qt::KeyboardModifiers) {
    // Delete waits, like the menu's command, while a stream opens.
    if (key != Qt::Key_Delete || !Deletestation1->isEnabled())
        return;
    // The view is drawn once, after the row count and the lines agree again;
    // the guard resumes drawing also when the deletion fails.
    struct Redraw {
        QWidget *view;
        ~Redraw() { view->setUpdatesEnabled(true); }
    } redraw{sListView1};
    sListView1->setUpdatesEnabled(false);
    Deletestation1Click();
}

void TForm1::sListView1ColumnClick(int) {
    // The rows stay in the list's order: the list is never sorted.
}

void TForm1::Clearlist1Click() {
    if (!Prompts::Current().AskYesNo(this, QStringLiteral("Quorane"),
                                     QStringLiteral("Are you sure you want to clear "
                                                    "radiostations list?")))
        return;
    Model->SetRowCount(0);
    Stations.Clear();
}

void TForm1::Deletestation1Click() {
    // With nothing selected this raises "List index out of bounds (-1)" and
    // leaves the list and its rows as they are.
    Stations.Delete(CurrentStation());
    Model->SetRowCount(Stations.Count());
}

void TForm1::Loadlist1Click() {
    const QString name = Prompts::Current().OpenFileName(this, ListFolder(), ListFilter);
    if (name.isEmpty())
        return;
    // The file is read before anything is cleared: a file that cannot be read
    // costs the user nothing.
    StationLines lines = StationFile::Read(name);
    Model->SetRowCount(0);
    Stations.Assign(std::move(lines));
    Model->SetRowCount(Stations.Count());
}

void TForm1::Savelist1Click() {
    const QString name = Prompts::Current().SaveFileName(this, ListFolder(), ListFilter);
    if (name.isEmpty())
        return;
    Stations.SaveToFile(name);
}
