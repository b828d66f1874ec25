#pragma once
// The form body of a list-server POST: each field "name=value" with its value
// encoded by EncodeFormValue, joined with "&". Every value arrives at the
// list server as the user typed it: nothing in it can split a field or change
// its meaning ("&", "=", "+", "%"), and letters outside ASCII travel as their
// UTF-8 bytes, so the body is plain ASCII.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace HttpForm {
// Every byte of the value's UTF-8 form becomes %XX (upper-case digits),
// except the ASCII letters, digits and "-", ".", "_", "~"; a space is %20.
QString EncodeFormValue(const QString &value);
// The body bytes: the fields joined by "&", each split at its first "=", the
// name sent as it is and the value encoded.
QByteArray Body(const QStringList &fields);
} // namespace HttpForm
