#include "online/ui/TForm3.h"

#include "online/ListServerAddress.h"
#include "platform/CodePage.h"
#include "stations/StationList.h"
#include "stations/StationListModel.h"
#include "window/Dispatch.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString AddPath = QStringLiteral("/quorane/add.php");

QLineEdit *Edit(QWidget *parent, int left, int top, int width, const QString &text = QString()) {
    auto *edit = new QLineEdit(text, parent);
    edit->setGeometry(left, top, width, 21);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    edit->setPalette(palette);
    return edit;
}

QLabel *Label(QWidget *parent, int left, int top, const QString &text) {
    auto *label = new QLabel(text, parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

} // namespace

TForm3::TForm3(QWidget *parent) : TFormINI(parent) {
    setWindowTitle(QStringLiteral("Add a new station"));
    // A fixed dialog with only the close box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(433, 276);
    QFont font(QFontDatabase::hasFamily(QStringLiteral("Tahoma"))
                   ? QStringLiteral("Tahoma")
                   : QFontDatabase::systemFont(QFontDatabase::GeneralFont).family(),
               8);
    setFont(font);

    sPanel1 = new QFrame(this);
    sPanel1->setGeometry(8, 8, 417, 257);
    sPanel1->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);

    sLabel1 = Label(sPanel1, 16, 13, QStringLiteral("Station name"));
    sEdit1 = Edit(sPanel1, 16, 32, 385);
    sLabel2 = Label(sPanel1, 16, 59,
                    QStringLiteral("Station streaming URL (e.g. "
                                   "http://radio.example.net:8100/stream.mp3)"));
    sEdit2 = Edit(sPanel1, 16, 80, 385, QStringLiteral("http://"));
    sLabel3 = Label(sPanel1, 16, 107, QStringLiteral("Genre"));
    sEdit3 = Edit(sPanel1, 16, 126, 129);
    sLabel4 = Label(sPanel1, 152, 107, QStringLiteral("Country"));
    sEdit4 = Edit(sPanel1, 152, 126, 121);
    sLabel5 = Label(sPanel1, 280, 107, QStringLiteral("Language"));
    sEdit5 = Edit(sPanel1, 280, 126, 121);
    sLabel6 = Label(sPanel1, 16, 154, QStringLiteral("Description"));
    sEdit6 = Edit(sPanel1, 16, 173, 385);

    sCheckBox1 =
        new QCheckBox(QStringLiteral("Also share this station with other listeners"), sPanel1);
    // Where the desktop's sans-serif is wider than Tahoma the caption would
    // be cut at the laid-out width: the box grows to its text, within the panel.
    const int boxWidth = qMin(qMax(229, sCheckBox1->sizeHint().width()), 417 - 16);
    sCheckBox1->setGeometry(qMax(8, qMin(94, 417 - 8 - boxWidth)), 201, boxWidth, 20);
    sCheckBox1->setChecked(true);
    sButton1 = new QPushButton(QStringLiteral("Add"), sPanel1);
    sButton1->setGeometry(245, 224, 75, 25);
    sButton1->setDefault(true);
    sButton2 = new QPushButton(QStringLiteral("Cancel"), sPanel1);
    sButton2->setGeometry(326, 224, 75, 25);

    // Tab order: the edits, Add, the check box, Cancel.
    QWidget *order[] = {sEdit1, sEdit2,   sEdit3,     sEdit4,  sEdit5,
                        sEdit6, sButton1, sCheckBox1, sButton2};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
    for (QWidget *w : order)
        w->setFocusPolicy(Qt::StrongFocus);

    Connect(sButton1, &QPushButton::clicked, this, [this] { sButton1Click(); });
    Connect(sButton2, &QPushButton::clicked, this, [this] { sButton2Click(); });
}

QString TForm3::StationLine() const {
    const QChar tab = QLatin1Char('\t');
    return sEdit1->text() + tab + sEdit6->text() + tab + sEdit3->text() + tab + sEdit4->text() +
           tab + sEdit5->text() + tab + sEdit2->text() + tab + tab;
}

QStringList TForm3::FormFields() const {
    return {QStringLiteral("radio=") + sEdit1->text(), QStringLiteral("url=") + sEdit2->text(),
            QStringLiteral("genre=") + sEdit3->text(), QStringLiteral("country=") + sEdit4->text(),
            QStringLiteral("lang=") + sEdit5->text(),  QStringLiteral("desc=") + sEdit6->text()};
}

void TForm3::sButton1Click() {
    if (!Stations || !Model)
        return;
    // The station file holds 8-bit text: the list keeps what the file will.
    const QString line = CodePage::AnsiRoundTrip(StationLine());
    const bool alreadyInserted = !unsentLine_.isNull() && line == unsentLine_ &&
                                 Stations->Count() > 0 && Stations->Line(0) == line;
    unsentLine_.clear();
    if (!alreadyInserted) {
        Stations->Insert(0, line);
        // Every station has its row: the new one is row 0, the last one stays.
        Model->SetRowCount(Stations->Count());
    }
    if (sCheckBox1->isChecked()) {
        try {
            IdHTTP1.Post(ListServerAddress::Url(AddPath), FormFields());
        } catch (...) {
            IdHTTP1.Disconnect();
            unsentLine_ = line;
            throw;
        }
        IdHTTP1.Disconnect();
    }
    close();
}

void TForm3::sButton2Click() {
    close();
}

void TForm3::keyPressEvent(QKeyEvent *event) {
    if (event->modifiers() & ~Qt::KeypadModifier) {
        TFormINI::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        auto *focused = qobject_cast<QPushButton *>(QApplication::focusWidget());
        (focused && focused->window() == this ? focused : sButton1)->click();
        break;
    }
    case Qt::Key_Escape:
        sButton2->click();
        break;
    default:
        TFormINI::keyPressEvent(event);
    }
}
