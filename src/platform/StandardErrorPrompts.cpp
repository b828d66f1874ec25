#include "platform/StandardErrorPrompts.h"

#include <cstdio>

namespace {

void Print(const QString &title, const QString &text) {
    std::fprintf(stderr, "%s: %s\n", title.toLocal8Bit().constData(),
                 text.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

bool StandardErrorPrompts::AskYesNo(QWidget *, const QString &title, const QString &text) {
    Print(title, text + QStringLiteral(" (answered No: Quorane is ending)"));
    return false;
}

void StandardErrorPrompts::Message(QWidget *, const QString &title, const QString &text, Icon) {
    Print(title, text);
}

QString StandardErrorPrompts::OpenFileName(QWidget *, const QString &, const QString &) {
    return QString();
}

QString StandardErrorPrompts::SaveFileName(QWidget *, const QString &, const QString &) {
    return QString();
}

void StandardErrorPrompts::OpenUrl(const QString &) {}
