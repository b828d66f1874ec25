#pragma once
// Utf8Validator: tells whether bytes are well-formed UTF-8 (no overlong
// forms, no surrogates, nothing above U+10FFFF), fed in blocks of any size,
// so a file can be checked while it is read without holding it whole. The
// text is taken to end at its first NUL byte, as Quorane's station files
// do. One object per check; any thread.
#include <QByteArrayView>

class Utf8Validator {
public:
    void Feed(QByteArrayView bytes);
    // True when everything fed so far is UTF-8 and no sequence is cut off.
    bool Valid() const { return !bad_ && need_ == 0; }
    // True once a byte showed that the text is not UTF-8, whatever follows.
    bool Failed() const { return bad_; }
    // True once a NUL byte ended the text: further bytes are not looked at.
    bool Ended() const { return ended_; }

    static bool IsValid(QByteArrayView bytes);

private:
    int need_ = 0;                           // continuation bytes still expected
    unsigned char low_ = 0x80, high_ = 0xBF; // range of the next continuation byte
    bool bad_ = false;
    bool ended_ = false;
};
