#include "platform/IniFile.h"

#include "platform/AtomicFile.h"
#include "platform/CodePage.h"
#include "platform/QuoraneError.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <limits>

struct IniFile::Lines {
    QStringList lines;
    QString eol = QStringLiteral("\n");
    // The file is there but could not be read (no right, not a file, a
    // read error): its content is unknown and it must not be replaced.
    bool unreadable = false;
    QString reason;
};

namespace {

IniFile::Lines Load(const QString &fileName) {
    IniFile::Lines out;
    QFile f(fileName);
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile()) {
        out.unreadable = true;
        out.reason = QStringLiteral("It is not a file");
        return out;
    }
    if (!f.open(QIODevice::ReadOnly)) {
        out.unreadable = info.exists();
        out.reason = f.errorString();
        return out;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        out.unreadable = true;
        out.reason = f.errorString();
        return out;
    }
    if (bytes.contains("\r\n"))
        out.eol = QStringLiteral("\r\n");
    const QString text = CodePage::FromAnsi(bytes);
    out.lines = text.split(QLatin1Char('\n'));
    for (QString &l : out.lines)
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
    // A final line end adds no line of its own.
    if (!out.lines.isEmpty() && out.lines.last().isEmpty())
        out.lines.removeLast();
    return out;
}

// The section name of a "[name]" line, or a null string for other lines.
QString SectionOf(const QString &line) {
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return QString();
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    return (close < 0 ? t.mid(1) : t.mid(1, close - 1)).trimmed();
}

// The key of a "name=value" line, or a null string.
QString KeyOf(const QString &line, QString *rawValue = nullptr) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return QString();
    if (rawValue)
        *rawValue = line.mid(eq + 1);
    return line.left(eq).trimmed();
}

int DigitValue(QChar c, int base) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (base == 16 && u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (base == 16 && u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

bool Same(const QString &a, const QString &b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString CleanValue(QString v) {
    v = v.trimmed();
    if (v.size() >= 2) {
        const QChar q = v.front();
        if ((q == QLatin1Char('"') || q == QLatin1Char('\'')) && v.back() == q)
            v = v.mid(1, v.size() - 2);
    }
    return v.left(IniFile::MaxValueLength);
}

} // namespace

IniFile::IniFile(const QString &fileName) : fileName_(fileName) {}

IniFile::~IniFile() = default;

bool IniFile::Unreadable(QString *reason) const {
    const Lines file = Load(fileName_);
    if (reason)
        *reason = file.reason;
    return file.unreadable;
}

void IniFile::BeginBatch() {
    batch_ = std::make_unique<Lines>(Load(fileName_));
}

void IniFile::Commit() {
    if (!batch_)
        return;
    const std::unique_ptr<Lines> file = std::move(batch_);
    Store(*file);
}

void IniFile::Store(const Lines &file) const {
    if (!file.unreadable) {
        const QByteArray bytes = CodePage::ToAnsi(file.lines.join(file.eol) + file.eol);
        // Settings may hold the proxy's login: a new file is its owner's alone.
        if (WriteFileAtomically(fileName_, bytes, nullptr, 0600))
            return;
    }
    throw QuoraneError(QStringLiteral("Unable to write to %1").arg(fileName_));
}

QString IniFile::ReadString(const QString &section, const QString &key, const QString &def) const {
    const Lines file = batch_ ? *batch_ : Load(fileName_);
    bool inSection = false;
    for (const QString &line : file.lines) {
        const QString sec = SectionOf(line);
        if (!sec.isNull()) {
            inSection = Same(sec, section);
            continue;
        }
        if (!inSection)
            continue;
        QString raw;
        const QString k = KeyOf(line, &raw);
        if (!k.isNull() && Same(k, key))
            return CleanValue(raw);
    }
    return def;
}

int IniFile::ParseInteger(const QString &text, bool *ok) {
    *ok = false;
    QString t = text.trimmed();
    bool negative = false;
    if (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) {
        negative = t.front() == QLatin1Char('-');
        t = t.mid(1);
    }
    int base = 10;
    if (t.startsWith(QLatin1Char('$'))) {
        base = 16;
        t = t.mid(1);
    } else if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        t = t.mid(2);
    }
    if (t.isEmpty())
        return 0;
    qint64 value = 0;
    for (QChar c : t) {
        const int d = DigitValue(c, base);
        if (d < 0)
            return 0;
        value = value * base + d;
        if (value > qint64(std::numeric_limits<int>::max()) + 1)
            return 0;
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return 0;
    *ok = true;
    return int(value);
}

int IniFile::ReadInteger(const QString &section, const QString &key, int def) const {
    const QString text = ReadString(section, key, QString());
    bool ok = false;
    const int v = ParseInteger(text, &ok);
    return ok ? v : def;
}

void IniFile::WriteString(const QString &section, const QString &key, const QString &value) {
    Lines loaded;
    if (!batch_)
        loaded = Load(fileName_);
    Lines &file = batch_ ? *batch_ : loaded;
    const QString entry = key + QLatin1Char('=') + value;

    qsizetype sectionStart = -1; // the "[section]" line
    qsizetype lastKeyLine = -1;  // where a new key goes after
    bool inSection = false;
    bool done = false;
    for (qsizetype i = 0; i < file.lines.size() && !done; ++i) {
        const QString &line = file.lines.at(i);
        const QString sec = SectionOf(line);
        if (!sec.isNull()) {
            if (inSection)
                break; // the section ended without the key
            inSection = Same(sec, section);
            if (inSection) {
                sectionStart = i;
                lastKeyLine = i;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (!line.trimmed().isEmpty())
            lastKeyLine = i;
        const QString k = KeyOf(line);
        if (!k.isNull() && Same(k, key)) {
            file.lines[i] = entry;
            done = true;
        }
    }
    if (!done) {
        if (sectionStart >= 0) {
            file.lines.insert(lastKeyLine + 1, entry);
        } else {
            file.lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
            file.lines.append(entry);
        }
    }

    if (!batch_)
        Store(file);
}

void IniFile::DeleteKey(const QString &section, const QString &key) {
    Lines loaded;
    if (!batch_)
        loaded = Load(fileName_);
    Lines &file = batch_ ? *batch_ : loaded;
    bool inSection = false;
    bool removed = false;
    for (qsizetype i = 0; i < file.lines.size();) {
        const QString sec = SectionOf(file.lines.at(i));
        if (!sec.isNull()) {
            inSection = Same(sec, section);
        } else if (inSection) {
            const QString k = KeyOf(file.lines.at(i));
            if (!k.isNull() && Same(k, key)) {
                file.lines.removeAt(i);
                removed = true;
                continue;
            }
        }
        ++i;
    }
    if (removed && !batch_)
        Store(file);
}

void IniFile::WriteInteger(const QString &section, const QString &key, int value) {
    WriteString(section, key, QString::number(value));
}
