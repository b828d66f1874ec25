#include "platform/ScriptedPrompts.h"

bool ScriptedPrompts::AskYesNo(QWidget *, const QString &title, const QString &text) {
    shown.append({"question", title, text, Icon::Question, {}});
    return answers_.isEmpty() ? false : answers_.takeFirst();
}

void ScriptedPrompts::Message(QWidget *, const QString &title, const QString &text, Icon icon) {
    shown.append({"message", title, text, icon, {}});
}

QString ScriptedPrompts::OpenFileName(QWidget *, const QString &startDir, const QString &filter) {
    shown.append({"open", {}, startDir, Icon::None, filter});
    return fileNames_.isEmpty() ? QString() : fileNames_.takeFirst();
}

QString ScriptedPrompts::SaveFileName(QWidget *, const QString &startDir, const QString &filter) {
    shown.append({"save", {}, startDir, Icon::None, filter});
    return fileNames_.isEmpty() ? QString() : fileNames_.takeFirst();
}

QList<ScriptedPrompts::Shown> ScriptedPrompts::Messages() const {
    QList<Shown> out;
    for (const Shown &s : shown)
        if (s.kind == "message")
            out.append(s);
    return out;
}

QList<ScriptedPrompts::Shown> ScriptedPrompts::ErrorBoxes() const {
    QList<Shown> out;
    for (const Shown &s : shown)
        if (s.kind == "message" && s.icon == Icon::Error)
            out.append(s);
    return out;
}
