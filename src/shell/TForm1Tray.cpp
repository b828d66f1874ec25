// The main window's notification-area icon: creating it, bringing the window
// back from it, and hiding the window there when the program is minimised.
// The tray menu's Stop and Exit are in TForm1Playback.cpp and TForm1.cpp.
#include "shell/TForm1.h"
#include "shell/TrayIcon.h"
#include "window/Dispatch.h"

void TForm1::CreateTrayIcon() {
    TrayIcon1 = new TrayIcon(PopupMenu1, this);
    TrayIcon1->OnClick = [this] { Dispatch([&] { TrayIcon1Click(); }); };
    TrayIcon1->OnDblClick = [this] { Dispatch([&] { TrayIcon1DblClick(); }); };
}

void TForm1::TrayIcon1Click() {
    // Showing applies the window state the last run ended in (TFormINI), so a
    // window that ended maximised comes back maximised.
    hiddenInTray_ = false;
    show();
    raise();
    activateWindow();
    ApplicationEvents::Of(this)->Restore();
}

void TForm1::TrayIcon1DblClick() {
    TrayIcon1Click();
}

void TForm1::TrayIcon1MinimizeToTray() {
    // Quorane hides the window only where its icon is in a notification
    // area: without one there would be nothing to bring the window back
    // from, so the window stays minimised on the taskbar instead of
    // vanishing. A panel that came since the last check gets the icon now.
    TrayIcon1->CheckNotificationArea();
    if (!TrayIcon1->Shown())
        return;
    hiddenInTray_ = true;
    hide();
}

void TForm1::Quorane1Click() {
    TrayIcon1Click();
}

void TForm1::Restore1Click() {
    TrayIcon1Click();
}
