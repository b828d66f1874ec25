// The list server's form encoder on any text: the body it sends is 7-bit
// ASCII whatever the fields hold, and no space or control character travels
// unencoded.
#include "online/HttpForm.h"

#include <QString>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // Pairs of bytes as UTF-16, so that every character (surrogates, lone
    // halves, U+20AC and beyond) can turn up. Copied, as the fuzzer's bytes
    // need not be aligned for 16-bit reads.
    QString value(qsizetype(size / 2), Qt::Uninitialized);
    std::memcpy(value.data(), data, size / 2 * 2);
    const QString encoded = HttpForm::EncodeFormValue(value);
    for (QChar c : encoded)
        if (c.unicode() <= 0x20)
            std::abort();
    const QByteArray body = HttpForm::Body({QStringLiteral("name=") + encoded, encoded});
    for (char c : body)
        if (static_cast<unsigned char>(c) > 0x7F)
            std::abort();
    return 0;
}
