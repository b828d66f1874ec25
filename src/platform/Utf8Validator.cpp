#include "platform/Utf8Validator.h"

void Utf8Validator::Feed(QByteArrayView bytes) {
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n && !bad_ && !ended_; ++i) {
        const unsigned char b = p[i];
        if (need_ > 0) {
            if (b < low_ || b > high_) {
                bad_ = true;
                break;
            }
            low_ = 0x80;
            high_ = 0xBF;
            --need_;
            continue;
        }
        if (b < 0x80) {
            ended_ = b == 0;
            continue;
        }
        // The lead byte fixes the length and, for the edge cases, the range
        // of the first continuation byte (overlong forms, surrogates, and
        // code points past U+10FFFF are not UTF-8).
        if (b >= 0xC2 && b <= 0xDF) {
            need_ = 1;
        } else if (b == 0xE0) {
            need_ = 2;
            low_ = 0xA0;
        } else if (b == 0xED) {
            need_ = 2;
            high_ = 0x9F;
        } else if (b >= 0xE1 && b <= 0xEF) {
            need_ = 2;
        } else if (b == 0xF0) {
            need_ = 3;
            low_ = 0x90;
        } else if (b >= 0xF1 && b <= 0xF3) {
            need_ = 3;
        } else if (b == 0xF4) {
            need_ = 3;
            high_ = 0x8F;
        } else {
            bad_ = true;
        }
    }
}

bool Utf8Validator::IsValid(QByteArrayView bytes) {
    Utf8Validator v;
    v.Feed(bytes);
    return v.Valid();
}
