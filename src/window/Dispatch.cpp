#include "window/Dispatch.h"

#include "platform/AppPaths.h"
#include "platform/ErrorText.h"
#include "platform/Prompts.h"

#include <QApplication>

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
    Prompts::Current().Message(QApplication::activeWindow(), ApplicationTitle(),
                               ErrorBoxText(message), Prompts::Icon::Error);
}
