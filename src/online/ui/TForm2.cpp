#include "online/ui/TForm2.h"

#include "platform/AppPaths.h"
#include "platform/IniFile.h"
#include "shell/Dispatch.h"

TForm2::TForm2(QWidget *parent) : TFormINI(parent) {
    setWindowTitle(QStringLiteral("Proxy settings"));
    setFixedSize(332, 107);
    Dispatch([&] { FormCreate(); });
}

void TForm2::FormCreate() {
    ProxyText = IniFile(AppPaths::SettingsFile())
                    .ReadString(QStringLiteral("Main"), QStringLiteral("Proxy"), QString());
}

void TForm2::FormDestroy() {
    IniFile(AppPaths::SettingsFile())
        .WriteString(QStringLiteral("Main"), QStringLiteral("Proxy"), ProxyText);
}
