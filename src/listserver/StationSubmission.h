#pragma once
// A station that a listener submitted with "Add a new station": the form
// Quorane posts to /quorane/add.php (radio, url, genre, country, lang, desc,
// each value percent-encoded), read back into the station line it stands
// for, in the station file's own order and form, so that whoever looks after
// the list can paste it into stations.txt as it is.
#include <string>
#include <utility>
#include <vector>

namespace StationSubmission {

using Fields = std::vector<std::pair<std::string, std::string>>;

// Decodes an application/x-www-form-urlencoded body: fields split at "&",
// name and value at the first "=", "%XX" as the byte XX and "+" as a space
// (as a browser's form sends it; Quorane itself sends a space as %20 and a
// "+" as %2B). False, with the reason, when the body is not such a form: a
// field without "=", a "%" not followed by two hexadecimal digits.
bool DecodeForm(const std::string &body, Fields &fields, std::string &reason);

// The station line of a submission: name, description, genre, country,
// language, stream URL, an empty additional URL, each closed by a tab, then
// CR LF. Every one of the six fields must come once and be UTF-8; a tab,
// line end or other control character inside a value becomes a space, so a
// submission is always one line of seven fields. False, with the reason,
// when a field is missing or repeated or a value is not UTF-8.
bool LineFromForm(const Fields &fields, std::string &line, std::string &reason);

} // namespace StationSubmission
