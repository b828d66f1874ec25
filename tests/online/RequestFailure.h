#pragma once
// The message of the failure a list-server request raises, for tests that
// check what the user would be told.
#include "platform/QuoraneError.h"

#include <QString>

// Empty when `request` succeeds.
template <class F> QString Failure(F &&request) {
    try {
        request();
    } catch (const QuoraneError &e) {
        return e.message();
    }
    return QString();
}
