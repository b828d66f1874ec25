#pragma once
// The form body of a list-server POST: each field "name=value" with its value
// encoded by EncodeFormValue, joined with "&", sent as 7-bit ASCII. The list
// server's add script reads the fields exactly as Quorane has always sent
// them, so the rules are kept as they are: "&", "=", "+", "/", "?", ":" stay,
// a space becomes %20, and letters up to U+20AC travel unencoded.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace HttpForm {
// Characters U+0021 ... U+20AC stay, except * # % < > [ ]; every other
// character becomes its UTF-8 bytes as %XX with upper-case digits.
QString EncodeFormValue(const QString &value);
// The body bytes: encoded fields joined by "&"; a character above U+007F
// that the encoding left alone cannot travel in 7-bit ASCII and becomes "?".
QByteArray Body(const QStringList &fields);
} // namespace HttpForm
