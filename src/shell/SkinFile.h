#pragma once
// SkinFile: one skin as Quorane draws with it, a Qt style sheet and the
// palette it asks for, and the rules for reading one from the skin folder.
// A skin file is UTF-8 text; its palette is given on a line
// "palette: role=#rrggbb ..." inside the sheet's first comment, so that
// the parts Qt paints from the palette (dialogs, the file chooser, the
// colours of a disabled control) match the sheet. Values only; any thread,
// though Quorane reads skins on the UI thread.
#include <QPalette>
#include <QString>
#include <optional>

class SkinFile {
public:
    QString Name;
    QString StyleSheet;
    QPalette Palette;

    // The skin made of `text`, or nothing when `text` is not a style sheet.
    static std::optional<SkinFile> FromText(const QString &name, const QString &text);
    // Reads `path`: nothing when it cannot be read, is larger than MaxBytes,
    // is not UTF-8 text or not a style sheet.
    static std::optional<SkinFile> Read(const QString &name, const QString &path);

    // A style sheet, as far as Quorane tells one: text without control
    // characters, at least one rule "selector { ... }", braces that pair up,
    // nothing but comments outside the rules. Qt's own parser gives no
    // verdict (it drops what it cannot parse), so this is checked first.
    static bool LooksLikeStyleSheet(const QString &text);
    // The palette named in the sheet's first comment, over `base`; roles the
    // line does not name keep their colour in `base`.
    static QPalette PaletteOf(const QString &text, const QPalette &base);

    // A skin is a page of text: anything larger is not one of ours.
    static constexpr qint64 MaxBytes = 1 << 20;
};
