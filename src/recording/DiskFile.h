#pragma once
// A file a song is written to: blocks gathered into writes of 64 KiB (a
// station's frames are a few hundred bytes each), every one written whole,
// and closed with its bytes on the disk; each step fails with the system's
// own reason ("No space left on device"), which the user then reads.
// Writer thread.
#include <QByteArray>
#include <QString>

class DiskFile {
public:
    DiskFile() = default;
    ~DiskFile();
    DiskFile(const DiskFile &) = delete;
    DiskFile &operator=(const DiskFile &) = delete;

    // Creates (or empties) the file.
    bool Open(const QString &path, QString &reason);
    bool Write(const QByteArray &bytes, QString &reason);
    // Syncs and closes; the file is closed afterwards either way.
    bool Close(QString &reason);

private:
    bool Flush(QString &reason);

    int fd_ = -1;
    QByteArray pending_; // written to the file once it holds 64 KiB
};
