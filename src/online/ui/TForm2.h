#pragma once
// TForm2: the proxy settings dialog. Its one edit, ProxyPort, holds the proxy
// through which the audio engine reaches radio streams: read from the
// settings file when the dialog is created at start-up, handed to the engine
// then and on every change, and written back when the dialog is destroyed at
// shutdown. There is nothing to confirm: "Ok" and the close box both just
// close, and Esc does nothing. The dialog lives, hidden, for the whole run.
// UI thread only.
#include "window/TFormINI.h"

class DynamicBass;
class QGroupBox;
class QKeyEvent;
class QLineEdit;
class QPushButton;

class TForm2 : public TFormINI {
    Q_OBJECT
public:
    // `engine` is the main window's playback object, which outlives the
    // dialog; the proxy text reaches the engine only through it.
    explicit TForm2(DynamicBass &engine, QWidget *parent = nullptr);

    // Reads "Main"/"Proxy" into ProxyPort and hands it to the engine.
    void FormCreate();
    // Writes ProxyPort's text to "Main"/"Proxy", changed or not.
    void FormDestroy() override;
    // Every change of ProxyPort's text: the engine gets the whole text at once.
    void ProxyPortChange();
    // "Ok": closes the dialog; the text has been applied already.
    void sButton1Click();

    // The group box whose caption shows the form the proxy text takes.
    QGroupBox *sGroupBox1 = nullptr;
    // The proxy text itself, "[login:password]@proxy:port" or empty. It is
    // the only place the text lives while the program runs.
    QLineEdit *ProxyPort = nullptr;
    // "Ok", the dialog's default button.
    QPushButton *sButton1 = nullptr;

protected:
    // Enter anywhere in the dialog presses "Ok", as a default button does;
    // Esc is left alone, since no button cancels.
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The playback object's engine: where the proxy text goes.
    DynamicBass &engine_;
    // FormCreate read the settings file: only then does FormDestroy write
    // the proxy back, so a file unreadable at start keeps its stored proxy.
    bool settingsRead_ = false;
};
