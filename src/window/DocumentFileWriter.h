#pragma once

#include "text/PlainTextDocument.h"

#include <QByteArray>
#include <QUrl>
#include <functional>
#include <memory>
#include <mutex>

class QIODevice;

namespace dunmoss {

// The bytes a document is written as: LF turned into its line ending, then encoded without
// loss. Throws FileError (FileWriteInapplicableStringEncoding, naming the file) when a
// character cannot be held by the encoding.
QByteArray encodedDocumentBytes(const PlainTextDocument& document, const QUrl& destination);

// Replaces a local file atomically with the bytes (the caller holds any access it needs): they
// go to a temporary file beside the target, which then replaces it (through a symbolic link,
// keeping the file's permissions). A destination that exists but is no regular file (a folder,
// FIFO, socket or device) is refused. Throws FileError; on failure the file on disk is as it was.
// Documents are written this way by the window's writer (see DocumentWriteQueue).
void writeBytesAtomically(const QByteArray& bytes, const QString& path);
// The same for bytes made as they are written: `produce` writes them into the device and
// answers false when a write was refused.
void writeAtomically(const QString& path, const std::function<bool(QIODevice&)>& produce);

// Atomic writes to one path never overlap in this process: each holds the path while it
// writes and replaces the file. Whoever holds it may look at the file and then write it
// without another write coming between (writes on the holding thread pass).
class AtomicWriteHold {
public:
    explicit AtomicWriteHold(const QString& path);
    ~AtomicWriteHold();
    AtomicWriteHold(const AtomicWriteHold&) = delete;
    AtomicWriteHold& operator=(const AtomicWriteHold&) = delete;

private:
    std::shared_ptr<std::recursive_mutex> m_mutex;
};

} // namespace dunmoss
