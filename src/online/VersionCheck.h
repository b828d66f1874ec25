#pragma once
// The update check's judgement of the list server's version file against
// Quorane's own version. The file is a plain text file on a web server, so
// the blanks and line ends around the number, and a UTF-8 mark before it,
// are not part of it; a version
// part after the first dot is a decimal fraction ("1.1" is "1.10", newer than
// "1.02"). Only a newer number is an update: a server still on an older
// release, or an answer that is no version number at all (an error page sent
// with status 200), must not send the user off to download.
#include <QString>

namespace VersionCheck {

// Quorane's version, as the About box shows it.
inline constexpr char ProgramVersion[] = "1.02";

enum class Order { Newer, Same, Older, NotAVersion };

// How the server's `answer` stands to `own`.
Order Compare(const QString &answer, const QString &own = QString::fromLatin1(ProgramVersion));

} // namespace VersionCheck
