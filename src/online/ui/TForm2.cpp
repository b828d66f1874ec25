#include "online/ui/TForm2.h"

#include "online/ProxySetting.h"
#include "platform/AppPaths.h"
#include "platform/IniFile.h"
#include "window/Dispatch.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString MainSection = QStringLiteral("Main");
const QString ProxyKey = QStringLiteral("Proxy");

// Tahoma 8 where the desktop has it, else its ordinary sans-serif at 8.
QFont DialogFont() {
    const QString family = QFontDatabase::hasFamily(QStringLiteral("Tahoma"))
                               ? QStringLiteral("Tahoma")
                               : QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    return QFont(family, 8);
}

} // namespace

TForm2::TForm2(DynamicBass &engine, QWidget *parent) : TFormINI(parent), engine_(engine) {
    // A fixed single border with the close box only: nothing to minimise or
    // maximise on a dialog of one line.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Proxy settings"));
    setFont(DialogFont());
    setFixedSize(332, 107);

    sGroupBox1 = new QGroupBox(QStringLiteral(" [login:password]@proxy:port "), this);
    sGroupBox1->setGeometry(8, 8, 313, 89);

    ProxyPort = new QLineEdit(sGroupBox1);
    ProxyPort->setGeometry(16, 24, 281, 21);

    sButton1 = new QPushButton(QStringLiteral("Ok"), sGroupBox1);
    sButton1->setGeometry(224, 53, 73, 25);
    sButton1->setDefault(true);

    setTabOrder(ProxyPort, sButton1);

    Connect(sButton1, &QPushButton::clicked, this, [this] { sButton1Click(); });

    Dispatch([&] { FormCreate(); });
    // Connected only now: the creation hands the stored text over itself.
    // From here on every change, typed, pasted or deleted, is applied.
    Connect(ProxyPort, &QLineEdit::textChanged, this, [this] { ProxyPortChange(); });
}

void TForm2::FormCreate() {
    const IniFile settings(AppPaths::SettingsFile());
    ProxyPort->setText(settings.ReadString(MainSection, ProxyKey, QString()));
    settingsRead_ = !settings.Unreadable();
    ApplyProxy(engine_, ProxyPort->text());
}

void TForm2::FormDestroy() {
    // A file Quorane could not read at start stays as it is, even when it
    // can be read by now: the text here is not the one stored there, and
    // the start-up said so.
    if (!settingsRead_)
        return;
    IniFile settings(AppPaths::SettingsFile());
    settings.WriteString(MainSection, ProxyKey, ProxyPort->text());
}

void TForm2::ProxyPortChange() {
    ApplyProxy(engine_, ProxyPort->text());
}

void TForm2::sButton1Click() {
    close();
}

void TForm2::keyPressEvent(QKeyEvent *event) {
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            // Only a key the focused control left alone gets here; the
            // button itself handles Enter while it has the focus.
            sButton1->click();
            return;
        }
    }
    TFormINI::keyPressEvent(event);
}
