#include "recording/Id3v24Tag.h"

namespace {

// ID3v2.4 sizes are "synchsafe": seven bits to a byte.
void AppendSynchsafe(QByteArray &out, quint32 n) {
    for (int shift = 21; shift >= 0; shift -= 7)
        out.append(char((n >> shift) & 0x7F));
}

void AppendFrame(QByteArray &out, const char *id, const QByteArray &content) {
    out.append(id, 4);
    AppendSynchsafe(out, quint32(content.size()));
    out.append(2, '\0'); // no frame flags
    out.append(content);
}

constexpr char Utf8Encoding = 3;

} // namespace

QByteArray Id3v24Tag::Build(const SongTags &tags) {
    QByteArray frames;
    const auto text = [&](const char *id, const QString &value) {
        if (!value.isEmpty())
            AppendFrame(frames, id, Utf8Encoding + value.toUtf8());
    };
    text("TIT2", tags.Title);
    text("TPE1", tags.Artist);
    text("TALB", tags.Album);
    text("TDRC", tags.Date);
    if (!tags.Comment.isEmpty()) {
        // Encoding, an undetermined language, an empty description, the text.
        QByteArray comment;
        comment.append(Utf8Encoding);
        comment.append("XXX", 3);
        comment.append('\0');
        comment.append(tags.Comment.toUtf8());
        AppendFrame(frames, "COMM", comment);
    }
    QByteArray tag("ID3\x04\x00\x00", 6);
    AppendSynchsafe(tag, quint32(frames.size()));
    tag.append(frames);
    return tag;
}
