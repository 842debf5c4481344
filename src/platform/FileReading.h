#pragma once

#include <QByteArray>
#include <QString>

namespace dunmoss {

// Reads a regular file's bytes from its start until `limit` bytes are in or the file ends;
// `expected` (its size when opened) sizes the buffer. A large file is read in pieces from idle
// pool threads, so the fresh pages are cleared and filled on several cores. Throws FileError
// naming `path`.
QByteArray readFileBytes(int fd, qint64 limit, qint64 expected, const QString& path);

// The same in pieces of about `pieceBytes` bytes whatever the size (0: one piece), so that the
// seams can be tested on small files.
QByteArray readFileBytesInPieces(int fd, qint64 limit, qint64 expected, const QString& path,
                                 qint64 pieceBytes);

} // namespace dunmoss
