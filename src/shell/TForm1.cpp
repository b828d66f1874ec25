#include "shell/TForm1.h"

#include "shell/Dispatch.h"
#include "shell/SkinManager.h"
#include "stations/StationListModel.h"

#include <QKeyEvent>
#include <QLabel>
#include <QSlider>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

TForm1::TForm1(QWidget *parent) : TFormINI(parent) {
    setWindowTitle(QStringLiteral("Quorane"));
    sSkinManager1 = new SkinManager(this);
    Model = new StationListModel(&Stations, this);
    BuildLayout();
    Dispatch([&] { FormCreate(); });
}

TForm1::~TForm1() = default;

void TForm1::BuildLayout() {
    auto *layout = new QVBoxLayout(this);
    sListView1 = new QTableView(this);
    sListView1->setModel(Model);
    layout->addWidget(sListView1);
    sTrackBar1 = new QSlider(Qt::Horizontal, this);
    sTrackBar1->setRange(0, 100);
    sTrackBar1->setValue(50);
    layout->addWidget(sTrackBar1);
    sStatusBar1 = new QStatusBar(this);
    for (int i = 0; i < 4; ++i) {
        StatusPanels[i] = new QLabel(sStatusBar1);
        sStatusBar1->addWidget(StatusPanels[i]);
    }
    layout->addWidget(sStatusBar1);
    resize(812, 423);
}

void TForm1::SetStatusPanel(int index, const QString &text) {
    StatusPanels.at(index)->setText(text);
}

QString TForm1::StatusPanel(int index) const {
    return StatusPanels.at(index)->text();
}

void TForm1::keyPressEvent(QKeyEvent *event) {
    char16_t key = event->text().isEmpty() ? 0 : event->text().front().unicode();
    if (key == 27) {
        Dispatch([&] { FormKeyPress(key); });
        return;
    }
    TFormINI::keyPressEvent(event);
}

void TForm1::FormKeyPress(char16_t &key) {
    if (key == 27) {
        key = 0;
        close();
    }
}
