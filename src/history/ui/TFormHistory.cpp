#include "history/ui/TFormHistory.h"

#include "history/SongEntry.h"
#include "history/SongHistory.h"
#include "history/SongHistoryModel.h"
#include "platform/Prompts.h"
#include "window/Dispatch.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// The laid-out size, before any stored geometry.
constexpr int DesignWidth = 640;
constexpr int DesignHeight = 400;

} // namespace

TFormHistory::TFormHistory(SongHistory &history, QWidget *parent)
    : TFormINI(parent), history_(history) {
    setWindowTitle(QStringLiteral("Song history"));
    setMinimumSize(360, 240);
    resize(DesignWidth, DesignHeight);

    sEdit1 = new QLineEdit(this);
    sEdit1->setPlaceholderText(QStringLiteral("Filter by title or station"));
    sEdit1->setClearButtonEnabled(true);

    Model = new SongHistoryModel(&history_, this);
    sListView1 = new QTableView(this);
    sListView1->setModel(Model);
    sListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    sListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    sListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sListView1->setWordWrap(false);
    sListView1->setShowGrid(false);
    sListView1->setAlternatingRowColors(true);
    sListView1->verticalHeader()->hide();
    sListView1->verticalHeader()->setDefaultSectionSize(sListView1->fontMetrics().height() + 4);
    QHeaderView *columns = sListView1->horizontalHeader();
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns->setHighlightSections(false);
    columns->resizeSection(
        SongHistoryModel::TimeColumn,
        sListView1->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 16);
    columns->resizeSection(SongHistoryModel::StationColumn, 160);
    columns->setStretchLastSection(true);

    sButton1 = new QPushButton(QStringLiteral("Search the web"), this);
    sButton2 = new QPushButton(QStringLiteral("Clear history"), this);
    sButton1->setEnabled(false);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(sButton1);
    buttons->addStretch(1);
    buttons->addWidget(sButton2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(sEdit1);
    layout->addWidget(sListView1, 1);
    layout->addLayout(buttons);

    Copy1 = new QAction(QStringLiteral("Copy"), this);
    Copy1->setShortcut(QKeySequence::Copy);
    // The filter box keeps its own Ctrl+C for the text selected in it.
    Copy1->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    sListView1->addAction(Copy1);

    Connect(sEdit1, &QLineEdit::textChanged, this, &TFormHistory::sEdit1Change);
    Connect(Copy1, &QAction::triggered, this, &TFormHistory::Copy1Click);
    Connect(sButton1, &QPushButton::clicked, this, &TFormHistory::sButton1Click);
    Connect(sButton2, &QPushButton::clicked, this, &TFormHistory::sButton2Click);
    Connect(sListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TFormHistory::SelectionChanged);
    Connect(&history_, &SongHistory::Added, Model, &SongHistoryModel::EntryAdded);
    Connect(&history_, &SongHistory::DroppingOldest, Model, &SongHistoryModel::DroppingOldest);
    Connect(&history_, &SongHistory::OldestDropped, Model, &SongHistoryModel::OldestDropped);
    Connect(&history_, &SongHistory::Clearing, Model, &SongHistoryModel::Clearing);
    Connect(&history_, &SongHistory::Cleared, Model, &SongHistoryModel::Cleared);
    // A reset (a new filter, a cleared history) drops the selection silently.
    Connect(Model, &QAbstractItemModel::modelReset, this, &TFormHistory::SelectionChanged);
}

void TFormHistory::ShowInFront() {
    show();
    raise();
    activateWindow();
    sListView1->setFocus();
}

void TFormHistory::sEdit1Change() {
    Model->SetFilter(sEdit1->text());
}

QStringList TFormHistory::SelectedTitles() const {
    QList<int> rows;
    for (const QModelIndex &index : sListView1->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    QStringList titles;
    for (int row : rows)
        titles.append(Model->Entry(row).title);
    return titles;
}

void TFormHistory::Copy1Click() {
    const QStringList titles = SelectedTitles();
    if (titles.isEmpty())
        return;
    QApplication::clipboard()->setText(titles.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

QString TFormHistory::SearchUrl(const QString &title) {
    return QStringLiteral("https://duckduckgo.com/?q=") +
           QString::fromLatin1(QUrl::toPercentEncoding(title));
}

void TFormHistory::sButton1Click() {
    // The row the user is on when several are selected, else the top one.
    const QModelIndex current = sListView1->currentIndex();
    int row = -1;
    if (current.isValid() && sListView1->selectionModel()->isRowSelected(current.row()))
        row = current.row();
    else if (const QModelIndexList rows = sListView1->selectionModel()->selectedRows();
             !rows.isEmpty())
        row = rows.first().row();
    if (row < 0)
        return;
    Prompts::Current().OpenUrl(SearchUrl(Model->Entry(row).title));
}

void TFormHistory::sButton2Click() {
    if (!Prompts::Current().AskYesNo(this, QStringLiteral("Quorane"),
                                     QStringLiteral("Clear the song history?")))
        return;
    history_.Clear();
}

void TFormHistory::SelectionChanged() {
    sButton1->setEnabled(sListView1->selectionModel()->hasSelection());
}

void TFormHistory::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    TFormINI::keyPressEvent(event);
}
