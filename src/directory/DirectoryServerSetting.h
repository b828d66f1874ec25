#pragma once
// The key "DirectoryServer" of section "Main" of the settings file: one
// directory server to use instead of looking the servers up, as a base
// address with its scheme ("https://de1.api.radio-browser.info",
// "http://127.0.0.1:8080"). Read at start-up and never written.
#include <QString>

namespace DirectoryServerSetting {
// The key's name.
inline constexpr char Key[] = "DirectoryServer";
// The base address the key's value names, without a "/" at its end; empty
// when the value is empty. `problem` gets the message for the user when the
// value is not an http or https address (the servers are then looked up).
QString Parse(const QString &value, QString *problem);
} // namespace DirectoryServerSetting
