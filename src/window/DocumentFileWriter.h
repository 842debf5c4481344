#pragma once

#include "platform/FileError.h"
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
// go to a temporary file beside the target, which is synced and then replaces it (through a
// symbolic link, keeping the file's permissions); the folder is synced after the rename, so a
// write that returns survives a power cut. A destination that exists but is no regular file (a
// folder, FIFO, socket or device) is refused. Throws FileError; on failure the temporary file is
// gone and the file on disk is as it was, except when the folder's sync failed after the
// rename (the new bytes are in place, but the disk did not confirm them). Waits for the disk:
// never on the window's thread. Documents are written this way by the window's writer (see
// DocumentWriteQueue).
void writeBytesAtomically(const QByteArray& bytes, const QString& path);
// Thrown when only the folder's sync after the rename failed: the new bytes are the file now.
class UnconfirmedReplacement : public FileError {
public:
    using FileError::FileError;
};
// The same for bytes made as they are written: `produce` writes them into the device and
// answers false when a write was refused.
void writeAtomically(const QString& path, const std::function<bool(QIODevice&)>& produce);

// The syncs of an atomic write: the new file's bytes before it replaces the old one, and the
// folder after the rename.
enum class AtomicWriteSync { FileData, Folder };
// Tests only: that sync of every atomic write fails with `errnoValue` without asking the disk,
// as a failing disk would answer (0: the disk is asked again).
void failAtomicWriteSyncForTesting(AtomicWriteSync sync, int errnoValue);
// Tests only: runs before the file-data sync of every atomic write, on the writing thread, as a
// slow disk would hold it (null: none).
void beforeAtomicWriteSyncForTesting(void (*hook)());

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
