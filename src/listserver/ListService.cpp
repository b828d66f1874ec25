#include "ListService.h"

#include "PendingFile.h"
#include "StationPage.h"
#include "StationSubmission.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

HttpResponse Text(int status, const std::string &reason, const std::string &text) {
    HttpResponse r;
    r.status = status;
    r.reason = reason;
    r.body = std::make_shared<const std::string>(text + "\n");
    return r;
}

std::string PathOf(const std::string &target) {
    return target.substr(0, target.find('?'));
}

std::string WithoutTrailingSlash(std::string root) {
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    return root;
}

} // namespace

ListService::ListService(std::string root, SubmissionLimits limits)
    : root_(WithoutTrailingSlash(std::move(root))), limits_(limits), rate_(limits.perMinute) {}

std::shared_ptr<const std::string> ListService::File(const std::string &path, std::string &reason) {
    const std::lock_guard<std::mutex> lock(cacheMutex_);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        reason = std::strerror(errno);
        cache_.erase(path);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = "not a plain file";
        cache_.erase(path);
        return nullptr;
    }
    Cached &c = cache_[path];
    if (c.bytes && c.device == st.st_dev && c.inode == st.st_ino && c.size == st.st_size &&
        c.modified.tv_sec == st.st_mtim.tv_sec && c.modified.tv_nsec == st.st_mtim.tv_nsec)
        return c.bytes;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    if (in.is_open())
        bytes << in.rdbuf();
    if (!in.is_open() || in.bad() || bytes.str().size() != size_t(st.st_size)) {
        reason = in.is_open() ? "could not be read whole" : std::strerror(errno);
        cache_.erase(path);
        return nullptr;
    }
    c.device = st.st_dev;
    c.inode = st.st_ino;
    c.size = st.st_size;
    c.modified = st.st_mtim;
    c.bytes = std::make_shared<const std::string>(bytes.str());
    return c.bytes;
}

HttpResponse ListService::ServeFile(const std::string &path, const std::string &name) {
    std::string reason;
    auto bytes = File(path, reason);
    if (!bytes) {
        // Missing is the folder's business; unreadable is the server's fault.
        const bool missing = ::access(path.c_str(), F_OK) != 0;
        HttpResponse r = missing ? Text(404, "Not Found", "The list server has no " + name + ".")
                                 : Text(500, "Internal Server Error",
                                        "The list server cannot read its " + name + ".");
        r.note = name + ": " + reason;
        return r;
    }
    HttpResponse r;
    // No charset: the bytes are the station file's own, and Quorane stores
    // them as they came.
    r.contentType = "text/plain";
    r.body = bytes;
    return r;
}

HttpResponse ListService::Page() {
    std::string reason;
    auto stations = File(StationsPath(), reason);
    auto version = File(VersionPath(), reason);
    HttpResponse r;
    r.contentType = "text/html; charset=utf-8";
    r.body = std::make_shared<const std::string>(
        StationPage::Render(stations ? *stations : std::string(), version ? *version : ""));
    return r;
}

std::optional<HttpResponse> ListService::Screen(const HttpRequest &head,
                                                const std::string &address) {
    if (head.method != "POST" || PathOf(head.target) != "/quorane/add.php")
        return std::nullopt;
    // A browser puts Origin on every form it posts from a page; Quorane's
    // own request never has one. So a page of any site that someone on the
    // network opens cannot fill pending.txt behind their back.
    if (const std::string *origin = head.Header("Origin")) {
        HttpResponse r =
            Text(403, "Forbidden", "Stations are submitted from Quorane, not from a web page.");
        r.note = "refused: Origin " + *origin;
        return r;
    }
    const std::string *type = head.Header("Content-Type");
    const std::string bare = type ? type->substr(0, type->find(';')) : std::string("none");
    if (!type || ::strcasecmp(bare.c_str(), "application/x-www-form-urlencoded") != 0) {
        HttpResponse r = Text(415, "Unsupported Media Type",
                              "A station is submitted as application/x-www-form-urlencoded.");
        r.note = "refused: " + bare;
        return r;
    }
    int retryAfter = 0;
    if (!rate_.Take(address, retryAfter)) {
        HttpResponse r = Text(429, "Too Many Requests",
                              "Too many stations from your address; please wait a minute.");
        r.headers.push_back("Retry-After: " + std::to_string(retryAfter));
        r.note = "refused: over " + std::to_string(limits_.perMinute) + " a minute";
        return r;
    }
    return std::nullopt;
}

HttpResponse ListService::Submit(const HttpRequest &request) {
    StationSubmission::Fields fields;
    std::string reason, line;
    if (!StationSubmission::DecodeForm(request.body, fields, reason) ||
        !StationSubmission::LineFromForm(fields, line, reason)) {
        HttpResponse r = Text(400, "Bad Request", "The station was not taken: " + reason + ".");
        r.note = "refused: " + reason;
        return r;
    }
    switch (PendingFile::Append(PendingPath(), line, limits_.pendingMaxBytes, reason)) {
    case PendingFile::Result::Stored:
        break;
    case PendingFile::Result::Full: {
        HttpResponse r = Text(507, "Insufficient Storage",
                              "The list server holds all the new stations it can until they "
                              "are reviewed; please try again later.");
        r.note = "pending.txt full: " + reason;
        return r;
    }
    case PendingFile::Result::Failed: {
        HttpResponse r = Text(500, "Internal Server Error",
                              "The station could not be stored; please try again later.");
        r.note = "pending.txt: " + reason;
        return r;
    }
    }
    const std::string name = line.substr(0, line.find('\t'));
    HttpResponse r = Text(200, "OK", "Thank you. \"" + name + "\" waits for review.");
    r.note = "pending: \"" + name + "\"";
    return r;
}

HttpResponse ListService::Handle(const HttpRequest &request) {
    const std::string path = PathOf(request.target);
    const bool get = request.method == "GET" || request.method == "HEAD";
    HttpResponse r;
    if (path == "/quorane/add.php") {
        if (request.method == "POST")
            return Submit(request);
        r = Text(405, "Method Not Allowed", "Stations are submitted with POST.");
        r.headers.push_back("Allow: POST");
        return r;
    }
    const bool page =
        path == "/" || path == "/quorane" || path == "/quorane/" || path == "/quorane/index.html";
    const bool file = path == "/quorane/stations.txt" || path == "/quorane/ver.txt";
    if (!page && !file)
        return Text(404, "Not Found", "Nothing here.");
    if (!get) {
        r = Text(405, "Method Not Allowed", "Only GET and HEAD.");
        r.headers.push_back("Allow: GET, HEAD");
        return r;
    }
    if (page)
        r = Page();
    else if (path == "/quorane/stations.txt")
        r = ServeFile(StationsPath(), "stations.txt");
    else
        r = ServeFile(VersionPath(), "ver.txt");
    r.headOnly = request.method == "HEAD";
    return r;
}
