#pragma once
// Prompts shown with Qt's message boxes and file dialogs, and web addresses
// opened through the desktop. UI thread.
#include "platform/Prompts.h"

class QtPrompts : public Prompts {
public:
    bool AskYesNo(QWidget *owner, const QString &title, const QString &text) override;
    void Message(QWidget *owner, const QString &title, const QString &text, Icon icon) override;
    QString OpenFileName(QWidget *owner, const QString &startDir, const QString &filter) override;
    QString SaveFileName(QWidget *owner, const QString &startDir, const QString &filter) override;
    void OpenUrl(const QString &url) override;
};
