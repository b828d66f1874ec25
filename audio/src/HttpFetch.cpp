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
    if (f->aborted_ || f->current_->body.size() + len > f->maxBytes_)
        return 0;
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

HttpFetch::Result HttpFetch::get(const std::string &url, size_t maxBytes, long timeoutMs) {
    Result r;
    if (!easy_ || !multi_) {
        r.error = BASS_ERROR_MEM;
        return r;
    }
    current_ = &r;
    maxBytes_ = maxBytes;
    CURL *easy = easy_;
    curl_easy_reset(easy);
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    net_.apply(easy);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, timeoutMs);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &HttpFetch::onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &HttpFetch::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
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
    if (aborted_)
        r.error = BASS_ERROR_UNKNOWN;
    else if (running)
        r.error = BASS_ERROR_UNKNOWN;
    else if (result != CURLE_OK)
        r.error = errorForCurl(result);
    else if (r.status < 200 || r.status >= 300)
        r.error = BASS_ERROR_FILEOPEN;
    else
        r.error = BASS_OK;
    if (r.error != BASS_OK)
        r.body.clear();
    return r;
}

} // namespace quorane::engine
