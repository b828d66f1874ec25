#pragma once
// The one place where Quorane's errors end: every event handler runs through
// Dispatch, which shows a raised error in the error box (the message with its
// full stop, titled with the application title, error icon, OK) and lets
// the program carry on. UI thread only.
#include "platform/QuoraneError.h"

#include <QObject>
#include <QString>
#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

// The application title: the error boxes' title, replaced by the stream title
// while a stream plays.
QString ApplicationTitle();
void SetApplicationTitle(const QString &title);

// Shows `message` in the error box.
void ShowErrorBox(const QString &message);

// The error box's text for a failure that is not one of ours (nothing
// the program raised on purpose, e.g. an exception of a library).
inline constexpr char UnknownErrorText[] = "An unknown error occurred";

template <class F> void Dispatch(F &&handler) {
    try {
        std::forward<F>(handler)();
    } catch (const QuoraneError &e) {
        ShowErrorBox(e.message());
    } catch (const std::exception &e) {
        ShowErrorBox(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowErrorBox(QString::fromLatin1(UnknownErrorText));
    }
}

// The one way a signal reaches an event handler: connects `signal` of
// `sender` to `handler` (a member function of `receiver`, or any callable)
// in `receiver`'s context, and runs every call through Dispatch, so a failure
// ends in the error box and never escapes into Qt's event loop. A handler may
// take the signal's arguments or none of them. `type` is Qt's, e.g. a queued
// connection for a handler that must run after the emitter is done.
template <class Sender, class Signal, class Receiver, class Handler>
QMetaObject::Connection Connect(Sender *sender, Signal signal, Receiver *receiver, Handler handler,
                                Qt::ConnectionType type = Qt::AutoConnection) {
    return QObject::connect(
        sender, signal, receiver,
        [receiver, handler = std::move(handler)](auto &&...args) {
            Dispatch([&] {
                if constexpr (std::is_member_function_pointer_v<Handler>) {
                    if constexpr (std::is_invocable_v<Handler, Receiver *, decltype(args)...>)
                        std::invoke(handler, receiver, std::forward<decltype(args)>(args)...);
                    else
                        std::invoke(handler, receiver);
                } else if constexpr (std::is_invocable_v<const Handler &, decltype(args)...>) {
                    handler(std::forward<decltype(args)>(args)...);
                } else {
                    handler();
                }
            });
        },
        type);
}

// Runs `handler` once the event loop gets to it, in `receiver`'s context and
// through Dispatch; nothing runs when `receiver` is gone by then.
template <class Receiver, class Handler> void Post(Receiver *receiver, Handler handler) {
    QMetaObject::invokeMethod(
        receiver,
        [receiver, handler = std::move(handler)] {
            Dispatch([&] {
                if constexpr (std::is_member_function_pointer_v<Handler>)
                    std::invoke(handler, receiver);
                else
                    handler();
            });
        },
        Qt::QueuedConnection);
}
