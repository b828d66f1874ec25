#include "HttpFetch.h"

#include "bass.h"

#include <curl/curl.h>

namespace quorane::engine {

HttpFetch::HttpFetch(NetSettings net, const std::atomic<bool> &aborted)
    : net_(std::move(net)), aborted_(aborted), easy_(curl_easy_init()), multi_(curl_multi_init()) {}

HttpFetch::~HttpFetch() {
    curl_easy_cleanup(easy_);
    curl_multi_cleanup(multi_);
}

void HttpFetch::wake() {
    if (multi_)
        curl_multi_wakeup(multi_);
}

size_t HttpFetch::onBody(char *data, size_t size, size_t count, void *self) {
    auto *f = static_cast<HttpFetch *>(self);
    size_t len = size * count;
    if (f->aborted_)
        return 0;
    long status = 0;
    curl_easy_getinfo(f->easy_, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status >= 300)
        return len; // an error page: not what was asked for, so neither kept nor passed on
    if (f->received_ + len > f->request_->maxBytes) {
        f->tooLarge_ = true;
        return 0;
    }
    f->received_ += len;
    if (f->request_->sink)
        f->request_->sink(std::string_view(data, len));
    else
        f->current_->body.append(data, len);
    return len;
}

size_t HttpFetch::onHeader(char *data, size_t size, size_t count, void *self) {
    auto *f = static_cast<HttpFetch *>(self);
    size_t len = size * count;
    std::string line(data, len);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    if (line.rfind("HTTP/", 0) == 0)
        f->current_->lines.clear(); // a redirect's answer: only the last one counts
    if (!line.empty())
        f->current_->lines.push_back(std::move(line));
    return f->aborted_ ? 0 : len;
}

HttpFetch::Result HttpFetch::get(const Request &request) {
    Result r;
    if (!easy_ || !multi_) {
        r.error = BASS_ERROR_MEM;
        r.why = "out of memory";
        return r;
    }
    request_ = &request;
    current_ = &r;
    received_ = 0;
    tooLarge_ = false;
    const bool ranged = request.offset > 0 || request.length >= 0;
    CURL *easy = easy_;
    curl_easy_reset(easy);
    curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
    net_.apply(easy);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, request.timeoutMs);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &HttpFetch::onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &HttpFetch::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    std::string range;
    if (ranged) {
        range = std::to_string(request.offset) + "-" +
                (request.length >= 0 ? std::to_string(request.offset + request.length - 1) : "");
        curl_easy_setopt(easy, CURLOPT_RANGE, range.c_str());
    }
    curl_multi_add_handle(multi_, easy);
    int running = 1;
    while (running && !aborted_) {
        if (curl_multi_perform(multi_, &running) != CURLM_OK)
            break;
        if (running && !aborted_)
            curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
    }
    int result = CURLE_OK;
    int left = 0;
    while (CURLMsg *msg = curl_multi_info_read(multi_, &left))
        if (msg->msg == CURLMSG_DONE)
            result = msg->data.result;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &r.status);
    char *type = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type)
        r.contentType = type;
    char *effective = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective)
        r.effectiveUrl = effective;
    curl_multi_remove_handle(multi_, easy);
    current_ = nullptr;
    request_ = nullptr;
    r.error = BASS_OK;
    if (aborted_ || running) {
        r.error = BASS_ERROR_UNKNOWN;
        r.why = "aborted";
    } else if (tooLarge_) {
        r.error = BASS_ERROR_FORMAT;
        r.why = "larger than " + std::to_string(request.maxBytes) + " bytes";
    } else if (result != CURLE_OK) {
        r.error = errorForCurl(result);
        r.why = curl_easy_strerror(static_cast<CURLcode>(result));
    } else if (r.status < 200 || r.status >= 300) {
        r.error = BASS_ERROR_FILEOPEN;
        r.why = "HTTP status " + std::to_string(r.status);
    } else if (ranged && r.status != 206) {
        // The whole resource came: the range is cut out of it here.
        const auto offset = static_cast<size_t>(request.offset);
        if (r.body.size() < offset ||
            (request.length >= 0 && r.body.size() - offset < static_cast<size_t>(request.length))) {
            r.error = BASS_ERROR_FILEOPEN;
            r.why = "shorter than its byte range " + range;
        } else {
            r.body = r.body.substr(offset, request.length >= 0 ? static_cast<size_t>(request.length)
                                                               : std::string::npos);
        }
    }
    if (r.error != BASS_OK)
        r.body.clear();
    return r;
}

} // namespace quorane::engine
