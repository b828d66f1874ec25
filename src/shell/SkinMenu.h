#pragma once
// SkinMenu: the "Available skins" submenu. It lists the skins the skin
// manager finds, built in and in the skin folder, looked up afresh each time
// it opens so that a skin dropped into the folder shows at once; the
// current skin carries the tick, and choosing one draws the program with it
// at once (the next exit stores its name). UI thread only.
#include <QMenu>

class QActionGroup;
class SkinManager;

class SkinMenu : public QMenu {
    Q_OBJECT
public:
    SkinMenu(SkinManager *skins, QWidget *parent);

    // Fills the menu from the skins there are now.
    void Refill();

private:
    SkinManager *skins_;
    QActionGroup *group_;
};
