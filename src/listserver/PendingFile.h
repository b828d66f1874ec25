#pragma once
// pending.txt, where the list server keeps the stations listeners submitted
// until someone who looks after the list has seen them; the served list is
// never touched. A line is appended whole or not at all, also with several
// servers (or several runs) on the same folder: the file is locked for the
// append, the line goes out in one write at the end of the file, and a write
// that fell short (a full disk) is cut back off, so no half line stays. The
// file never grows past the size it is given: a flood of submissions fills
// it up to there and no further, whatever the disk holds.
#include <cstddef>
#include <string>

namespace PendingFile {

enum class Result { Stored, Full, Failed };

// Appends `line` to the file at `path`, creating it (0644) when missing,
// unless the file would then be larger than `maxBytes` (Full). Failed, with
// the system's reason, when it did not get in.
Result Append(const std::string &path, const std::string &line, size_t maxBytes,
              std::string &reason);

} // namespace PendingFile
