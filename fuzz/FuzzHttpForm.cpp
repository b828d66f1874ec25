// The form of "Add a new station" both ways, on any text and any body.
// Round trip: the six fields the player encodes (pieces of the input read as
// UTF-16) are decoded by the list server into exactly the UTF-8 of what was
// typed, and make one station line. Decoder alone: the input's bytes as a
// body a client could post; whatever it holds, a form taken in gives fields
// no larger than the body and a station line that stays one line.
#include "StationSubmission.h"
#include "online/HttpForm.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
const std::array<QString, 6> kNames = {QStringLiteral("radio"), QStringLiteral("url"),
                                       QStringLiteral("genre"), QStringLiteral("country"),
                                       QStringLiteral("lang"),  QStringLiteral("desc")};

// A station line: seven fields, each closed by a tab, then CR LF, and no
// other control character anywhere.
void CheckLine(const std::string &line) {
    if (line.size() < 9 || line.compare(line.size() - 2, 2, "\r\n") != 0)
        std::abort();
    size_t tabs = 0;
    for (size_t i = 0; i + 2 < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c == '\t')
            ++tabs;
        else if (c < 0x20 || c == 0x7F)
            std::abort();
    }
    if (tabs != 7 || line[line.size() - 3] != '\t' || line[line.size() - 4] != '\t')
        std::abort();
}

void RoundTrip(const uint8_t *data, size_t size) {
    // Pairs of bytes as UTF-16, so that every character (surrogates, lone
    // halves, U+20AC and beyond) can turn up. Copied, as the fuzzer's bytes
    // need not be aligned for 16-bit reads.
    QString text(qsizetype(size / 2), Qt::Uninitialized);
    std::memcpy(text.data(), data, size / 2 * 2);
    QStringList fields;
    std::array<std::string, 6> typed;
    const qsizetype piece = text.size() / qsizetype(kNames.size()) + 1;
    for (size_t k = 0; k < kNames.size(); ++k) {
        const QString value = text.mid(qsizetype(k) * piece, piece);
        const QString encoded = HttpForm::EncodeFormValue(value);
        for (QChar c : encoded)
            if (c.unicode() <= 0x20 || c.unicode() > 0x7E)
                std::abort();
        fields << kNames[k] + QLatin1Char('=') + value;
        typed[k] = value.toUtf8().toStdString();
    }
    const QByteArray body = HttpForm::Body(fields);
    for (char c : body)
        if (static_cast<unsigned char>(c) > 0x7F)
            std::abort();

    StationSubmission::Fields decoded;
    std::string reason, line;
    if (!StationSubmission::DecodeForm(body.toStdString(), decoded, reason) ||
        decoded.size() != kNames.size())
        std::abort();
    for (size_t k = 0; k < kNames.size(); ++k)
        if (decoded[k].first != kNames[k].toStdString() || decoded[k].second != typed[k])
            std::abort();
    if (!StationSubmission::LineFromForm(decoded, line, reason))
        std::abort();
    CheckLine(line);
}

void DecodeOnly(const uint8_t *data, size_t size) {
    const std::string body(reinterpret_cast<const char *>(data), size);
    StationSubmission::Fields fields;
    std::string reason, line;
    if (!StationSubmission::DecodeForm(body, fields, reason)) {
        if (reason.empty())
            std::abort();
        return;
    }
    size_t total = 0;
    for (const auto &[name, value] : fields)
        total += name.size() + value.size() + 1; // and its "="
    if (fields.empty() || total > body.size())
        std::abort();
    if (StationSubmission::LineFromForm(fields, line, reason))
        CheckLine(line);
    else if (reason.empty())
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    RoundTrip(data, size);
    DecodeOnly(data, size);
    return 0;
}
