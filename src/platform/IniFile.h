#pragma once
// An INI file read and written with exactly the rules Quorane's settings and
// window-geometry files need: section and key names without regard to case;
// a value is the text after the first "=", blanks trimmed, one pair of
// matching quotes removed, at most 2047 characters; integers in decimal or
// with "$" or "0x", anything else (or outside 32 bits) reads as the default.
// Every read goes to the file and every write replaces the file at once,
// through a temporary file renamed over it, so a failure never leaves a
// half-written file. A file that is there but cannot be read is never
// written over: its keys read as the defaults and every write fails. Texts
// pass through the 8-bit code page. UI thread only.
#include <QString>
#include <memory>

class IniFile {
public:
    explicit IniFile(const QString &fileName);
    ~IniFile();

    const QString &FileName() const { return fileName_; }

    QString ReadString(const QString &section, const QString &key, const QString &def) const;
    int ReadInteger(const QString &section, const QString &key, int def) const;
    // Throw QuoraneError "Unable to write to <file name>" when the file
    // cannot be written; the old file is then left as it was.
    void WriteString(const QString &section, const QString &key, const QString &value);
    void WriteInteger(const QString &section, const QString &key, int value);
    // Removes the key from its section; a file without it is not written.
    void DeleteKey(const QString &section, const QString &key);

    // True when the file exists but could not be read; `reason` says why.
    bool Unreadable(QString *reason = nullptr) const;
    // Holds the writes that follow in memory until Commit() replaces the
    // file with all of them at once, so the file on disk is always either
    // the old one or the new one. Commit() raises "Unable to write to
    // <file name>" as a single write does.
    void BeginBatch();
    void Commit();

    struct Lines; // the file's lines as read

    // The integer rule on its own: decimal with an optional sign, or
    // hexadecimal with "$" or "0x"; `ok` is false otherwise or out of range.
    static int ParseInteger(const QString &text, bool *ok);

    static constexpr int MaxValueLength = 2047;

private:
    void Store(const Lines &file) const;
    QString fileName_;
    std::unique_ptr<Lines> batch_; // the file as changed so far, while batching
};
