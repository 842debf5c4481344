#pragma once

#include "platform/PosixFile.h"

#include <QFile>
#include <QString>
#include <sys/types.h>

namespace dunmoss {

// The new file that takes a file's place by rename: made beside the final name (through
// symbolic links, beside their target) under a name of its own, then renamed over it, or
// removed when it goes uncommitted. It syncs nothing itself: the caller syncs its bytes before
// the commit and the folder after, the two syncs that make the replacement durable.
class ReplacementFile {
public:
    // `mode` before the umask; the file is only readable by those who may read it. Throws the
    // FileError of a failed creation, or of an existing file its writer may not write, naming
    // `path`.
    ReplacementFile(const QString& path, mode_t mode);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Writes to the new file; buffered, so the caller flushes before it syncs.
    QFile& device() { return m_device; }
    int handle() const { return m_fd.get(); }
    // Where the new file will stand: the path, or the final target of its links.
    const QString& finalPath() const { return m_finalPath; }
    // Closes the new file (a delayed write error is seen) and renames it over the final name.
    // Throws the FileError naming `path`; the new file is then gone.
    void commit();
    // Removes the new file now.
    void cancel();

private:
    QString m_path;
    QString m_finalPath;
    QByteArray m_tempName;
    UniqueFd m_fd;
    QFile m_device;
};

} // namespace dunmoss
