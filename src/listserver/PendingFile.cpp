#include "PendingFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PendingFile {

Result Append(const std::string &path, const std::string &line, size_t maxBytes,
              std::string &reason) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        reason = std::strerror(errno);
        return Result::Failed;
    }
    Result result = Result::Failed;
    int rc;
    while ((rc = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    struct stat before {};
    if (rc != 0 || ::fstat(fd, &before) != 0) {
        reason = std::strerror(errno);
    } else if (size_t(before.st_size) + line.size() > maxBytes) {
        // Under the lock: no other server can slip a line in past the limit.
        reason = "it holds " + std::to_string(before.st_size) + " bytes";
        result = Result::Full;
    } else {
        ssize_t n;
        while ((n = ::write(fd, line.data(), line.size())) < 0 && errno == EINTR) {
        }
        if (n == ssize_t(line.size())) {
            result = Result::Stored;
        } else {
            reason = n < 0 ? std::strerror(errno) : "the disk took only part of the line";
            // Under the lock nobody else appended: cut back to where it was.
            if (n > 0 && ::ftruncate(fd, before.st_size) != 0)
                reason += "; cutting it back failed too";
        }
    }
    ::close(fd); // also releases the lock
    return result;
}

} // namespace PendingFile
