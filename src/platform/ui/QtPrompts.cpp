#include "platform/ui/QtPrompts.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace {
QMessageBox::Icon ToQt(Prompts::Icon icon) {
    switch (icon) {
    case Prompts::Icon::Information:
        return QMessageBox::Information;
    case Prompts::Icon::Question:
        return QMessageBox::Question;
    case Prompts::Icon::Warning:
        return QMessageBox::Warning;
    case Prompts::Icon::Error:
        return QMessageBox::Critical;
    case Prompts::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QString RunFileDialog(QWidget *owner, const QString &startDir, const QString &filter,
                      QFileDialog::AcceptMode mode) {
    QFileDialog dialog(owner, QString(), startDir, filter);
    dialog.setAcceptMode(mode);
    // Open accepts a name that does not exist; save replaces without asking
    // and adds no extension.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setDefaultSuffix(QString());
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}
} // namespace

bool QtPrompts::AskYesNo(QWidget *owner, const QString &title, const QString &text) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, owner);
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec() == QMessageBox::Yes;
}

void QtPrompts::Message(QWidget *owner, const QString &title, const QString &text, Icon icon) {
    // A box without an owner (an error that ended a handler) stands over the
    // window the user was working in.
    QMessageBox box(ToQt(icon), title, text, QMessageBox::Ok,
                    owner ? owner : QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

QString QtPrompts::OpenFileName(QWidget *owner, const QString &startDir, const QString &filter) {
    return RunFileDialog(owner, startDir, filter, QFileDialog::AcceptOpen);
}

QString QtPrompts::SaveFileName(QWidget *owner, const QString &startDir, const QString &filter) {
    return RunFileDialog(owner, startDir, filter, QFileDialog::AcceptSave);
}

void QtPrompts::OpenUrl(const QString &url) {
    QDesktopServices::openUrl(QUrl(url));
}
