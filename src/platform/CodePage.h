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
// Converts from the 8-bit code page. In a UTF-8 page, bytes that are not
// valid UTF-8 as a whole are read as windows-1252 instead (FromUtf8Or1252),
// so an 8-bit file written elsewhere keeps its text.
QString FromAnsi(const QByteArray &bytes);
// UTF-8 when the bytes are valid UTF-8, else windows-1252. Files and titles
// from Windows and from older servers are 8-bit; this reads both right.
QString FromUtf8Or1252(QByteArrayView bytes);
// Windows-1252, byte by byte. Its five undefined bytes 81, 8D, 8F, 90 and
// 9D become U+0081, U+008D, U+008F, U+0090 and U+009D, so that they too
// survive a trip through a UTF-8 file.
QString FromWindows1252(QByteArrayView bytes);
// True when the page in use is UTF-8.
bool IsUtf8Page();
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
