#pragma once
// Lenient readers of the directory's JSON objects, whose fields may be
// missing, null or of another type than documented: each gives what it can
// read, and the empty text or 0 otherwise.
#include <QString>

class QJsonObject;

namespace JsonFields {
// A text field: a string as it is, a number written out (a station may be
// named 1984); control characters become spaces and the ends are trimmed.
QString Text(const QJsonObject &object, const char *key);
// A number field: a number, or a string holding one, within int's range
// (fractions cut off); true counts 1. Anything else is 0.
int Number(const QJsonObject &object, const char *key);
} // namespace JsonFields
