#include "shell/SkinFile.h"

#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStyle>

namespace {

// The sheet without its comments; nothing when a comment never ends.
std::optional<QString> WithoutComments(const QString &text) {
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        if (text.mid(i, 2) == QLatin1String("/*")) {
            const qsizetype end = text.indexOf(QLatin1String("*/"), i + 2);
            if (end < 0)
                return std::nullopt;
            out += QLatin1Char(' ');
            i = end + 2;
            continue;
        }
        out += text.at(i++);
    }
    return out;
}

struct Role {
    const char *name;
    QPalette::ColorRole role;
};
constexpr Role Roles[] = {
    {"window", QPalette::Window},
    {"windowtext", QPalette::WindowText},
    {"base", QPalette::Base},
    {"alternatebase", QPalette::AlternateBase},
    {"text", QPalette::Text},
    {"button", QPalette::Button},
    {"buttontext", QPalette::ButtonText},
    {"brighttext", QPalette::BrightText},
    {"highlight", QPalette::Highlight},
    {"highlightedtext", QPalette::HighlightedText},
    {"tooltipbase", QPalette::ToolTipBase},
    {"tooltiptext", QPalette::ToolTipText},
    {"placeholdertext", QPalette::PlaceholderText},
    {"link", QPalette::Link},
    {"light", QPalette::Light},
    {"mid", QPalette::Mid},
    {"dark", QPalette::Dark},
    {"shadow", QPalette::Shadow},
};

} // namespace

bool SkinFile::LooksLikeStyleSheet(const QString &text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r' && u != u'\f')
            return false;
        if (u == 0x7f || u == 0xfffd)
            return false;
    }
    const std::optional<QString> body = WithoutComments(text);
    if (!body)
        return false;
    int depth = 0;
    int rules = 0;
    QString selector;
    for (const QChar c : *body) {
        if (c == QLatin1Char('{')) {
            // A rule opens only after a selector.
            if (depth == 0 && selector.trimmed().isEmpty())
                return false;
            ++depth;
        } else if (c == QLatin1Char('}')) {
            if (--depth < 0)
                return false;
            if (depth == 0) {
                ++rules;
                selector.clear();
            }
        } else if (depth == 0) {
            selector += c;
        }
    }
    return depth == 0 && rules > 0 && selector.trimmed().isEmpty();
}

QPalette SkinFile::PaletteOf(const QString &text, const QPalette &base) {
    QPalette palette = base;
    if (!text.trimmed().startsWith(QLatin1String("/*")))
        return palette;
    const qsizetype end = text.indexOf(QLatin1String("*/"));
    const QString comment = text.left(end < 0 ? 0 : end);
    static const QRegularExpression line(QStringLiteral("^\\s*\\**\\s*palette:(.*)$"),
                                         QRegularExpression::MultilineOption |
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression pair(QStringLiteral("([A-Za-z]+)\\s*=\\s*(#[0-9A-Fa-f]{6})"));
    const QRegularExpressionMatch found = line.match(comment);
    if (!found.hasMatch())
        return palette;
    auto pairs = pair.globalMatch(found.captured(1));
    while (pairs.hasNext()) {
        const QRegularExpressionMatch m = pairs.next();
        const QString key = m.captured(1).toLower();
        for (const Role &r : Roles) {
            if (key == QLatin1String(r.name)) {
                const QColor colour = QColor::fromString(m.captured(2));
                palette.setColor(QPalette::All, r.role, colour);
                // Disabled text is the text colour, faded towards the window.
                if (r.role == QPalette::WindowText || r.role == QPalette::Text ||
                    r.role == QPalette::ButtonText) {
                    QColor faded = colour;
                    faded.setAlphaF(0.45f);
                    palette.setColor(QPalette::Disabled, r.role, faded);
                }
            }
        }
    }
    return palette;
}

std::optional<SkinFile> SkinFile::FromText(const QString &name, const QString &text) {
    if (!LooksLikeStyleSheet(text))
        return std::nullopt;
    // Over the style's own colours, not the application's: those are the
    // current skin's.
    return SkinFile{name, text, PaletteOf(text, QApplication::style()->standardPalette())};
}

std::optional<SkinFile> SkinFile::Read(const QString &name, const QString &path) {
    QFile file(path);
    // Only a regular file: a FIFO or a device would never end.
    if (!file.open(QIODevice::ReadOnly) || file.isSequential() || file.size() > MaxBytes)
        return std::nullopt;
    const QByteArray bytes = file.read(MaxBytes + 1);
    if (bytes.size() > MaxBytes)
        return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (utf8.hasError())
        return std::nullopt;
    return FromText(name, text);
}
