#pragma once
// The one place where Quorane's errors end: every event handler runs through
// Dispatch, which shows a raised error in the error box (the message with its
// full stop, titled with the application title, error icon, OK) and lets
// the program carry on. UI thread only.
#include "platform/QuoraneError.h"

#include <QString>
#include <exception>
#include <utility>

// The application title: the error boxes' title, replaced by the stream title
// while a stream plays.
QString ApplicationTitle();
void SetApplicationTitle(const QString &title);

// Shows `message` in the error box.
void ShowErrorBox(const QString &message);

template <class F> void Dispatch(F &&handler) {
    try {
        std::forward<F>(handler)();
    } catch (const QuoraneError &e) {
        ShowErrorBox(e.message());
    } catch (const std::exception &e) {
        ShowErrorBox(QString::fromLocal8Bit(e.what()));
    }
}
