#pragma once
// The exact bytes Quorane's list-server client must put on the wire, written
// out once for the tests that check a whole request.
#include <string>

inline std::string ExpectedGet(const std::string &host, const std::string &path) {
    return "GET " + path + " HTTP/1.1\r\n" + "Host: " + host + "\r\n" +
           "Accept: text/html, */*\r\n"
           "Accept-Encoding: identity\r\n"
           "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
           "\r\n";
}

inline std::string ExpectedPost(const std::string &host, const std::string &path,
                                const std::string &body) {
    return "POST " + path + " HTTP/1.0\r\n" +
           "Connection: keep-alive\r\n"
           "Content-Type: application/x-www-form-urlencoded\r\n"
           "Content-Length: " +
           std::to_string(body.size()) + "\r\n" + "Host: " + host + "\r\n" +
           "Accept: text/html, */*\r\n"
           "Accept-Encoding: identity\r\n"
           "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
           "\r\n" +
           body;
}
