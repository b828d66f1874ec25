#include "HttpRequest.h"

#include <algorithm>
#include <cctype>
#include <strings.h>

namespace {

std::string Trim(const std::string &s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.substr(b, e - b);
}

bool SameToken(const std::string &a, const char *b) {
    return ::strcasecmp(Trim(a).c_str(), b) == 0;
}

bool IsToken(const std::string &s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) {
        return std::isalnum(c) ||
               std::string_view("!#$%&'*+-.^_`|~").find(char(c)) != std::string_view::npos;
    });
}

} // namespace

const std::string *HttpRequest::Header(const std::string &name) const {
    for (const auto &h : headers)
        if (::strcasecmp(h.first.c_str(), name.c_str()) == 0)
            return &h.second;
    return nullptr;
}

bool HttpRequest::KeepAlive() const {
    const std::string *c = Header("Connection");
    if (minorVersion >= 1)
        return !(c && SameToken(*c, "close"));
    return c && SameToken(*c, "keep-alive");
}

std::string HttpRequest::Line() const {
    return method + ' ' + target + " HTTP/1." + std::to_string(minorVersion);
}

RequestReader::State RequestReader::Refuse(int status, std::string reason) {
    refusedStatus_ = status;
    refusedReason_ = std::move(reason);
    return State::Refused;
}

bool RequestReader::ParseHead(const std::string &head) {
    // Lines end with CR LF; a bare LF is taken too, as most servers do.
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < head.size()) {
        size_t lf = head.find('\n', at);
        if (lf == std::string::npos)
            lf = head.size();
        std::string line = head.substr(at, lf - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        at = lf + 1;
    }
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    if (lines.empty())
        return false;
    const std::string &first = lines[0];
    const size_t sp1 = first.find(' ');
    const size_t sp2 = sp1 == std::string::npos ? sp1 : first.find(' ', sp1 + 1);
    if (sp2 == std::string::npos || first.find(' ', sp2 + 1) != std::string::npos)
        return false;
    request_.method = first.substr(0, sp1);
    request_.target = first.substr(sp1 + 1, sp2 - sp1 - 1);
    const std::string version = first.substr(sp2 + 1);
    if (!IsToken(request_.method) || request_.target.empty() ||
        (version != "HTTP/1.0" && version != "HTTP/1.1"))
        return false;
    request_.minorVersion = version.back() - '0';
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string &line = lines[i];
        const size_t colon = line.find(':');
        if (colon == std::string::npos || !IsToken(line.substr(0, colon)))
            return false;
        for (const char c : line)
            if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F)
                return false;
        request_.headers.emplace_back(line.substr(0, colon), Trim(line.substr(colon + 1)));
    }
    return true;
}

RequestReader::State RequestReader::Feed(std::string &pending) {
    if (!pending.empty())
        started_ = true;
    if (!headDone_) {
        // Blank lines before a request are allowed (RFC 9112, 2.2).
        while (pending.rfind("\r\n", 0) == 0 || pending.rfind("\n", 0) == 0)
            pending.erase(0, pending[0] == '\r' ? 2 : 1);
        size_t end = pending.find("\r\n\r\n");
        size_t endLength = 4;
        const size_t bare = pending.find("\n\n");
        if (bare != std::string::npos && (end == std::string::npos || bare < end)) {
            end = bare;
            endLength = 2;
        }
        if (end == std::string::npos) {
            if (pending.size() > MaxHeadBytes)
                return Refuse(431, "Request Header Fields Too Large");
            return State::NeedMore;
        }
        if (end + endLength > MaxHeadBytes)
            return Refuse(431, "Request Header Fields Too Large");
        const std::string head = pending.substr(0, end + endLength);
        pending.erase(0, end + endLength);
        if (!ParseHead(head))
            return Refuse(400, "Bad Request");
        headDone_ = true;
        if (request_.Header("Transfer-Encoding"))
            return Refuse(411, "Length Required");
        if (const std::string *length = request_.Header("Content-Length")) {
            if (length->empty() || length->size() > 12 ||
                !std::all_of(length->begin(), length->end(),
                             [](unsigned char c) { return std::isdigit(c); }))
                return Refuse(400, "Bad Request");
            const unsigned long long n = std::stoull(*length);
            if (n > MaxBodyBytes)
                return Refuse(413, "Content Too Large");
            bodyLength_ = size_t(n);
        }
    }
    if (pending.size() < bodyLength_)
        return State::NeedMore;
    request_.body = pending.substr(0, bodyLength_);
    pending.erase(0, bodyLength_);
    return State::Ready;
}

HttpRequest RequestReader::Take() {
    HttpRequest out = std::move(request_);
    request_ = HttpRequest();
    headDone_ = false;
    started_ = false;
    bodyLength_ = 0;
    return out;
}
