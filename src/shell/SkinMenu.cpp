#include "shell/SkinMenu.h"

#include "shell/SkinManager.h"
#include "window/Dispatch.h"

#include <QActionGroup>

SkinMenu::SkinMenu(SkinManager *skins, QWidget *parent)
    : QMenu(QStringLiteral("Available skins"), parent), skins_(skins),
      group_(new QActionGroup(this)) {
    group_->setExclusive(true);
    Connect(this, &QMenu::aboutToShow, this, &SkinMenu::Refill);
    // A choice made elsewhere (Snow, the settings file) moves the tick too.
    Connect(skins_, &SkinManager::SkinChanged, this, [this](const QString &name) {
        for (QAction *a : actions())
            a->setChecked(a->data().toString() == name);
    });
    Refill();
}

void SkinMenu::Refill() {
    for (QAction *a : actions()) {
        group_->removeAction(a);
        delete a;
    }
    const QString current = skins_->SkinName();
    for (const QString &name : skins_->AvailableSkins()) {
        QAction *item = addAction(name);
        item->setData(name);
        item->setCheckable(true);
        item->setChecked(name == current);
        group_->addAction(item);
        Connect(item, &QAction::triggered, this, [this, name] {
            if (!skins_->Active())
                skins_->SetActive(true);
            skins_->SetSkinName(name);
        });
    }
}
