#pragma once
// TForm2: the proxy settings dialog. It keeps the proxy text through which
// the audio engine reaches radio streams, read from the settings file when
// the dialog is created and written back when it is destroyed. UI thread.
#include "shell/TFormINI.h"

class TForm2 : public TFormINI {
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);
    void FormCreate();
    void FormDestroy() override;

    // The proxy text, "[login:password]@host:port" or empty.
    QString ProxyText;
};
