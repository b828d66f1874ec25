#pragma once
// The system's 8-bit ("ANSI") code page: station files, settings files and
// every text handed to the audio engine pass through it. On Linux it is the
// locale's character set; the C/POSIX locale counts as UTF-8. Tests switch it
// to an 8-bit page such as windows-1252 to exercise substitution.
#include <QByteArray>
#include <QString>

namespace CodePage {
// Converts to the 8-bit code page; characters the page cannot hold become "?".
QByteArray ToAnsi(const QString &text);
// Converts from the 8-bit code page; invalid sequences become U+FFFD.
QString FromAnsi(const QByteArray &bytes);
// Decodes UTF-8; each invalid sequence becomes U+FFFD.
QString FromUtf8(const QByteArray &bytes);
// Text -> code page -> text: what survives a trip through an 8-bit file.
QString AnsiRoundTrip(const QString &text);
// The name of the page in use ("UTF-8", "windows-1252", ...).
QByteArray Name();
// Replaces the page for the rest of the process (tests); an empty name
// returns to the locale's page. Returns false for an unknown name.
bool SetForTesting(const QByteArray &name);
} // namespace CodePage
