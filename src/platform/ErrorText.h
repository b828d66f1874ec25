#pragma once
#include <QString>

// The text of an error box: the message with a full stop added, unless it
// already ends in a character whose code is at most that of "." (a full
// stop, a blank, "!", ")" and the like).
QString ErrorBoxText(const QString &message);
