#include "window/Dispatch.h"

#include "platform/AppPaths.h"
#include "platform/ErrorText.h"
#include "platform/Prompts.h"

namespace {
QString g_title; // UI thread
}

QString ApplicationTitle() {
    if (g_title.isNull())
        g_title = AppPaths::ApplicationTitleFor(AppPaths::ExecutablePath());
    return g_title;
}

void SetApplicationTitle(const QString &title) {
    g_title = title;
}

void ShowErrorBox(const QString &message) {
    // No owner: the box belongs to whichever window is active (QtPrompts).
    Prompts::Current().Message(nullptr, ApplicationTitle(), ErrorBoxText(message),
                               Prompts::Icon::Error);
}
