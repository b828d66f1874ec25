#pragma once
// Prompts for a program that is ending because it was asked to (a signal,
// the desktop session's end): nobody may be there to answer a box, and the
// session will not wait for one. Every message goes to standard error, each
// question is answered No and each file dialog cancelled, so the shutdown
// runs to its end. UI thread only.
#include "platform/Prompts.h"

class StandardErrorPrompts : public Prompts {
public:
    bool AskYesNo(QWidget *owner, const QString &title, const QString &text) override;
    void Message(QWidget *owner, const QString &title, const QString &text, Icon icon) override;
    QString OpenFileName(QWidget *owner, const QString &startDir, const QString &filter) override;
    QString SaveFileName(QWidget *owner, const QString &startDir, const QString &filter) override;
    void OpenUrl(const QString &url) override;
};
