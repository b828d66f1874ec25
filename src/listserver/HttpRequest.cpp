#include "HttpRequest.h"

#include <strings.h>

const std::string *HttpRequest::Header(const std::string &name) const {
    for (const auto &h : headers)
        if (::strcasecmp(h.first.c_str(), name.c_str()) == 0)
            return &h.second;
    return nullptr;
}

std::string HttpRequest::Line() const {
    return method + ' ' + target + " HTTP/1." + std::to_string(minorVersion);
}
