#include "ProxySetting.h"

namespace quorane::engine {

ProxySetting ProxySetting::parse(const char *text) {
    ProxySetting p;
    if (!text)
        return p;
    std::string s(text);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.pop_back();
    size_t start = s.find_first_not_of(" \t");
    if (start == std::string::npos)
        return p;
    s.erase(0, start);
    // The password may itself hold an '@'; the host part never does.
    size_t at = s.rfind('@');
    if (at != std::string::npos) {
        std::string login = s.substr(0, at);
        if (login.size() >= 2 && login.front() == '[' && login.back() == ']')
            login = login.substr(1, login.size() - 2);
        p.userPwd = login;
        s.erase(0, at + 1);
    }
    p.hostPort = s;
    if (p.hostPort.empty())
        p.userPwd.clear();
    return p;
}

} // namespace quorane::engine
