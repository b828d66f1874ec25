#pragma once
// What the list server answers, request by request, from its folder: the
// files stations.txt and ver.txt under /quorane/ byte for byte, the page
// /quorane/, and the submissions to /quorane/add.php, which go to
// pending.txt. The files are read again whenever they change on disk, so
// whoever looks after the list edits stations.txt and the next download has
// it, without a restart. Submissions are bounded: a page of another site
// cannot post one, one address sends at most so many a minute, and
// pending.txt stops growing at its size limit. Shared by the server's
// threads; thread-safe.
#include "HttpRequest.h"
#include "SubmissionRate.h"

#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

struct HttpResponse {
    int status = 200;
    std::string reason = "OK";
    std::string contentType = "text/plain; charset=utf-8";
    std::vector<std::string> headers; // further header lines, without CR LF
    std::shared_ptr<const std::string> body;
    bool headOnly = false; // a HEAD request: the headers of the body, not the body
    // For the server's log: what became of the request, beyond its status.
    std::string note;
};

// How much the server takes in from listeners.
struct SubmissionLimits {
    size_t pendingMaxBytes = 10 * 1024 * 1024; // then 507
    int perMinute = 20;                        // per address, then 429
};

class ListService {
public:
    explicit ListService(std::string root, SubmissionLimits limits = {});

    // What can be answered from the request's head alone, before its body
    // is read (a submission refused for where it comes from or what it
    // carries); nothing when the body is wanted. `address` is the client's,
    // without its port. A submission let through counts for its address.
    std::optional<HttpResponse> Screen(const HttpRequest &head, const std::string &address);
    // The answer to a whole request that Screen let through.
    HttpResponse Handle(const HttpRequest &request);

    // The folder's files.
    std::string StationsPath() const { return root_ + "/stations.txt"; }
    std::string VersionPath() const { return root_ + "/ver.txt"; }
    std::string PendingPath() const { return root_ + "/pending.txt"; }

private:
    // The file's bytes, from the cache while the file is unchanged; null
    // when it is missing, with the reason.
    std::shared_ptr<const std::string> File(const std::string &path, std::string &reason);
    HttpResponse ServeFile(const std::string &path, const std::string &name);
    HttpResponse Page();
    HttpResponse Submit(const HttpRequest &request);

    struct Cached {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = -1;
        timespec modified{};
        std::shared_ptr<const std::string> bytes;
    };
    const std::string root_;
    const SubmissionLimits limits_;
    SubmissionRate rate_;
    std::mutex cacheMutex_; // guards cache_
    std::map<std::string, Cached> cache_;
};
