// The find window as the user sees it: its controls, their layout, the
// results' menu and the wiring of every handler. The handlers themselves
// are in TFormFindStationsActions.cpp.
#include "directory/ui/TFormFindStations.h"

#include "directory/DirectoryClient.h"
#include "directory/DirectoryLimits.h"
#include "directory/DirectoryResultsModel.h"
#include "directory/DirectorySearch.h"
#include "directory/QtDnsResolver.h"
#include "window/Dispatch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStringListModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QComboBox *Choices(QWidget *parent, const QString &any) {
    auto *box = new QComboBox(parent);
    box->addItem(any, QString());
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(14);
    return box;
}

} // namespace

TFormFindStations::TFormFindStations(DirectoryHost &host, const QString &server,
                                     std::unique_ptr<DnsResolver> resolver, QWidget *parent)
    : TFormINI(parent), host_(host) {
    setWindowTitle(QStringLiteral("Find stations"));
    if (!resolver)
        resolver = std::make_unique<QtDnsResolver>();
    Client = new DirectoryClient(server, std::move(resolver), this);
    Results = new DirectoryResultsModel(this);
    Search = new DirectorySearch(*Client, *Results, this);
    Timer1 = new QTimer(this);
    Timer1->setSingleShot(true);
    Timer1->setInterval(DirectoryLimits::TypingPauseMs);
    BuildLayout();
    BuildMenu();
    ConnectHandlers();
    resize(820, 520);
}

TFormFindStations::~TFormFindStations() {
    // The window's base closes it, and the table's scroll bar changes its
    // range as it hides: by then this window is only its base.
    sListView1->verticalScrollBar()->disconnect(this);
}

void TFormFindStations::BuildLayout() {
    sEdit1 = new QLineEdit(this);
    sEdit1->setPlaceholderText(QStringLiteral("Part of the station's name"));
    sEdit1->installEventFilter(this);
    sEdit2 = new QLineEdit(this);
    sEdit2->setPlaceholderText(QStringLiteral("Any tag"));
    sEdit2->installEventFilter(this);
    TagNames = new QStringListModel(this);
    auto *completer = new QCompleter(TagNames, sEdit2);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchContains);
    sEdit2->setCompleter(completer);

    sComboBox1 = Choices(this, QStringLiteral("Any country"));
    sComboBox2 = Choices(this, QStringLiteral("Any language"));
    sComboBox3 = Choices(this, QStringLiteral("Any codec"));
    sComboBox4 = Choices(this, QStringLiteral("Any bitrate"));
    for (const int kbps : {64, 96, 128, 192, 256, 320})
        sComboBox4->addItem(QStringLiteral("%1 kbit/s or more").arg(kbps), kbps);
    sComboBox5 = new QComboBox(this);
    const std::pair<const char *, DirectoryQuery::Order> orders[] = {
        {"Most votes", DirectoryQuery::Order::Votes},
        {"Most clicks", DirectoryQuery::Order::Clicks},
        {"Trending", DirectoryQuery::Order::Trending},
        {"Name", DirectoryQuery::Order::Name},
        {"Bitrate", DirectoryQuery::Order::Bitrate}};
    for (const auto &[caption, order] : orders)
        sComboBox5->addItem(QString::fromLatin1(caption), int(order));
    sCheckBox1 = new QCheckBox(QStringLiteral("Only stations that work"), this);
    sCheckBox1->setChecked(true);

    sListView1 = new QTableView(this);
    sListView1->setModel(Results);
    sListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    sListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    sListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sListView1->setWordWrap(false);
    sListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    sListView1->verticalHeader()->hide();
    sListView1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    sListView1->verticalHeader()->setDefaultSectionSize(sListView1->fontMetrics().height() + 6);
    sListView1->installEventFilter(this);
    QHeaderView *columns = sListView1->horizontalHeader();
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const int widths[DirectoryResultsModel::ColumnCount] = {230, 90, 80, 150, 55, 55, 70, 55};
    for (int c = 0; c < DirectoryResultsModel::ColumnCount; ++c)
        columns->resizeSection(c, widths[c]);

    sButton1 = new QPushButton(QStringLiteral("Play"), this);
    sButton2 = new QPushButton(QStringLiteral("Add to list"), this);
    sStatusLine = new QLabel(this);
    // A long reason must not widen the window.
    sStatusLine->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    sStatusLine->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // Each filter with its caption before it: the name across the window,
    // then three a row.
    auto *filters = new QGridLayout;
    const struct {
        const char *caption;
        QWidget *control;
        int row, column, span;
    } places[] = {{"Station &name", sEdit1, 0, 0, 5}, {"&Tag", sEdit2, 1, 0, 1},
                  {"&Country", sComboBox1, 1, 2, 1},  {"&Language", sComboBox2, 1, 4, 1},
                  {"Co&dec", sComboBox3, 2, 0, 1},    {"&Bitrate", sComboBox4, 2, 2, 1},
                  {"&Order", sComboBox5, 2, 4, 1}};
    for (const auto &p : places) {
        auto *caption = new QLabel(QString::fromLatin1(p.caption), this);
        caption->setBuddy(p.control);
        filters->addWidget(caption, p.row, p.column);
        filters->addWidget(p.control, p.row, p.column + 1, 1, p.span);
    }
    filters->addWidget(sCheckBox1, 3, 1, 1, 5);
    filters->setColumnStretch(1, 1);
    filters->setColumnStretch(3, 1);
    filters->setColumnStretch(5, 1);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(sStatusLine, 1);
    bottom->addWidget(sButton1);
    bottom->addWidget(sButton2);

    auto *all = new QVBoxLayout(this);
    all->addLayout(filters);
    all->addWidget(sListView1, 1);
    all->addLayout(bottom);

    // Tab order: the name, the filters, the table, the buttons.
    QWidget *order[] = {sEdit1,     sEdit2,     sComboBox1, sComboBox2, sComboBox3, sComboBox4,
                        sComboBox5, sCheckBox1, sListView1, sButton1,   sButton2};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void TFormFindStations::BuildMenu() {
    PopupMenu1 = new QMenu(this);
    Play1 = PopupMenu1->addAction(QStringLiteral("Play"));
    Addtolist1 = PopupMenu1->addAction(QStringLiteral("Add to list"));
    // Insert adds wherever the focus is in the window: the name box has no
    // use for it.
    Addtolist1->setShortcut(Qt::Key_Insert);
    Addtolist1->setShortcutContext(Qt::WindowShortcut);
    addAction(Addtolist1);
    Putinfavoriteslot1 = PopupMenu1->addMenu(QStringLiteral("Put in favourite slot"));
    for (int n = 1; n <= 14; ++n)
        Slot[n - 1] = Putinfavoriteslot1->addAction(QStringLiteral("Slot %1").arg(n));
    PopupMenu1->addSeparator();
    Openhomepage1 = PopupMenu1->addAction(QStringLiteral("Open homepage"));
}

void TFormFindStations::ConnectHandlers() {
    Connect(sEdit1, &QLineEdit::textChanged, this, &TFormFindStations::FilterChange);
    Connect(sEdit2, &QLineEdit::textChanged, this, &TFormFindStations::FilterChange);
    for (QComboBox *box : {sComboBox1, sComboBox2, sComboBox3, sComboBox4, sComboBox5})
        Connect(box, &QComboBox::currentIndexChanged, this, &TFormFindStations::FilterChange);
    Connect(sCheckBox1, &QCheckBox::toggled, this, &TFormFindStations::FilterChange);
    Connect(Timer1, &QTimer::timeout, this, &TFormFindStations::Timer1Timer);

    Connect(Search, &DirectorySearch::StatusChanged, this, &TFormFindStations::ShowStatus);
    Connect(Search, &DirectorySearch::Answered, this, &TFormFindStations::SearchAnswered);
    Connect(sListView1->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &TFormFindStations::ResultsScrolled);
    Connect(sListView1->verticalScrollBar(), &QScrollBar::rangeChanged, this,
            &TFormFindStations::ResultsScrolled);
    Connect(sListView1, &QTableView::doubleClicked, this,
            [this](const QModelIndex &index) { PlayResult(index.row()); });
    Connect(sListView1, &QWidget::customContextMenuRequested, this, &TFormFindStations::ShowMenu);

    Connect(sButton1, &QPushButton::clicked, this, [this] { PlayResult(CurrentResult()); });
    Connect(sButton2, &QPushButton::clicked, this, &TFormFindStations::Addtolist1Click);
    Connect(Play1, &QAction::triggered, this, [this] { PlayResult(CurrentResult()); });
    Connect(Addtolist1, &QAction::triggered, this, &TFormFindStations::Addtolist1Click);
    Connect(Openhomepage1, &QAction::triggered, this, &TFormFindStations::Openhomepage1Click);
    for (int n = 1; n <= 14; ++n)
        Connect(Slot[n - 1], &QAction::triggered, this, [this, n] { PutInSlotClick(n); });
}
