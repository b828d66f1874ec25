#pragma once
// Prompts for tests: answers come from queues set beforehand, and every box,
// dialog and opened address is recorded so a test can check what the user
// would have seen. With an empty queue a question is answered No and a file
// dialog is cancelled.
#include "platform/Prompts.h"

#include <QList>
#include <QStringList>

class ScriptedPrompts : public Prompts {
public:
    struct Shown {
        QString kind; // "question", "message", "open", "save"
        QString title;
        QString text; // the box text, or the dialog's start folder
        Icon icon = Icon::None;
        QString filter;
    };

    void SetNextAnswer(bool yes) { answers_.append(yes); }
    void SetNextFileName(const QString &name) { fileNames_.append(name); }

    bool AskYesNo(QWidget *owner, const QString &title, const QString &text) override;
    void Message(QWidget *owner, const QString &title, const QString &text, Icon icon) override;
    QString OpenFileName(QWidget *owner, const QString &startDir, const QString &filter) override;
    QString SaveFileName(QWidget *owner, const QString &startDir, const QString &filter) override;
    void OpenUrl(const QString &url) override { openedUrls.append(url); }

    QList<Shown> shown;
    QStringList openedUrls;

    // The error and information boxes shown so far.
    QList<Shown> Messages() const;
    // The error boxes alone.
    QList<Shown> ErrorBoxes() const;

private:
    QList<bool> answers_;
    QStringList fileNames_;
};
