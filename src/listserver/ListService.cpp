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

} // namespace

ListService::ListService(std::string root) : root_(std::move(root)) {
    while (root_.size() > 1 && root_.back() == '/')
        root_.pop_back();
}

std::shared_ptr<const std::string> ListService::File(const std::string &path, std::string &reason) {
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

HttpResponse ListService::Submit(const HttpRequest &request) {
    if (const std::string *type = request.Header("Content-Type")) {
        const std::string bare = type->substr(0, type->find(';'));
        if (::strcasecmp(bare.c_str(), "application/x-www-form-urlencoded") != 0) {
            HttpResponse r = Text(415, "Unsupported Media Type",
                                  "A station is submitted as application/x-www-form-urlencoded.");
            r.note = "refused: " + bare;
            return r;
        }
    }
    StationSubmission::Fields fields;
    std::string reason, line;
    if (!StationSubmission::DecodeForm(request.body, fields, reason) ||
        !StationSubmission::LineFromForm(fields, line, reason)) {
        HttpResponse r = Text(400, "Bad Request", "The station was not taken: " + reason + ".");
        r.note = "refused: " + reason;
        return r;
    }
    if (!PendingFile::Append(PendingPath(), line, reason)) {
        HttpResponse r = Text(500, "Internal Server Error",
                              "The station could not be stored; please try again later.");
        r.note = "pending.txt: " + reason;
        return r;
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
