#pragma once
// The one kind of failure Quorane raises: it carries the text the user sees.
// Event handlers throw it; the dispatch wrapper of the main window catches it
// and shows the error box.
#include <QString>
#include <stdexcept>

class QuoraneError : public std::runtime_error {
public:
    explicit QuoraneError(const QString &message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString &message() const { return message_; }

private:
    QString message_;
};
