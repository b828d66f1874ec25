#include "StationSubmission.h"

#include "Utf8.h"

#include <array>

namespace StationSubmission {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool Unescape(const std::string &in, std::string &out) {
    out.clear();
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            if (i + 2 >= in.size())
                return false;
            const int hi = HexDigit(in[i + 1]);
            const int lo = HexDigit(in[i + 2]);
            if (hi < 0 || lo < 0)
                return false;
            out += char(hi * 16 + lo);
            i += 2;
        } else {
            out += c;
        }
    }
    return true;
}

// Control characters would break the line or its fields apart.
std::string OneLine(const std::string &value) {
    std::string out = value;
    for (char &c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return out;
}

} // namespace

bool DecodeForm(const std::string &body, Fields &fields, std::string &reason) {
    fields.clear();
    if (body.empty()) {
        reason = "the form is empty";
        return false;
    }
    size_t at = 0;
    for (;;) {
        size_t amp = body.find('&', at);
        if (amp == std::string::npos)
            amp = body.size();
        const std::string field = body.substr(at, amp - at);
        const size_t eq = field.find('=');
        if (eq == std::string::npos) {
            reason = "a field without \"=\"";
            return false;
        }
        std::string name, value;
        if (!Unescape(field.substr(0, eq), name) || !Unescape(field.substr(eq + 1), value)) {
            reason = "a \"%\" not followed by two hexadecimal digits";
            return false;
        }
        fields.emplace_back(std::move(name), std::move(value));
        if (amp == body.size())
            break;
        at = amp + 1;
    }
    return true;
}

bool LineFromForm(const Fields &fields, std::string &line, std::string &reason) {
    // In the order of the station line.
    static const std::array<const char *, 6> order = {"radio",   "desc", "genre",
                                                      "country", "lang", "url"};
    std::array<const std::string *, 6> values{};
    for (const auto &[name, value] : fields) {
        for (size_t k = 0; k < order.size(); ++k) {
            if (name != order[k])
                continue;
            if (values[k]) {
                reason = "the field \"" + name + "\" comes twice";
                return false;
            }
            if (!Utf8::IsValid(value)) {
                reason = "the field \"" + name + "\" is not UTF-8";
                return false;
            }
            values[k] = &value;
        }
    }
    line.clear();
    for (size_t k = 0; k < order.size(); ++k) {
        if (!values[k]) {
            reason = std::string("the field \"") + order[k] + "\" is missing";
            return false;
        }
        line += OneLine(*values[k]) + '\t';
    }
    line += "\t\r\n";
    return true;
}

} // namespace StationSubmission
