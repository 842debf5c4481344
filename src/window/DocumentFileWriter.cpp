#include "window/DocumentFileWriter.h"

#include "platform/FileError.h"
#include "platform/FileStat.h"
#include "platform/FolderSync.h"
#include "platform/Localization.h"
#include "text/TextFileLoader.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace dunmoss {

namespace {

// QSaveFile reports Qt's error kinds, not the system's: take errno from the failing call when
// it is set, else judge from the destination's folder.
FileError writeError(const QSaveFile& file, int savedErrno, const QString& path) {
    if (savedErrno != 0)
        return FileError::fromErrno(savedErrno, path, true);
    const QFileInfo folder(QFileInfo(path).absolutePath());
    FileErrorCode code = FileErrorCode::FileWriteUnknown;
    if (!folder.exists())
        code = FileErrorCode::FileNoSuchFile;
    else if (!folder.isWritable())
        code = FileErrorCode::FileWriteNoPermission;
    else if (file.error() == QFileDevice::ResourceError)
        code = FileErrorCode::FileWriteOutOfSpace;
    return FileError(code, path, file.errorString());
}

// The atomic write renames a new file over the destination, which would silently turn a FIFO,
// socket or device into a plain file. Only a regular file (or nothing yet) may be replaced.
void refuseNonRegularDestination(const QString& path) {
    const std::optional<FileStatus> status = statPath(path);
    if (!status || status->kind == FileKind::Regular)
        return;
    const QString reason = status->kind == FileKind::Directory
                               ? localizedString(QStringLiteral("text-file.is-folder"))
                               : localizedString(QStringLiteral("text-file.not-regular"));
    throw FileError(FileErrorCode::FileWriteUnknown, path, reason);
}

std::atomic<int>& injectedSyncFailure(AtomicWriteSync sync) {
    static std::atomic<int> failures[2];
    return failures[sync == AtomicWriteSync::FileData ? 0 : 1];
}

std::atomic<void (*)()>& syncHook() {
    static std::atomic<void (*)()> hook = nullptr;
    return hook;
}

// The errno of a failed sync, 0 when the disk holds what was asked.
int syncFileData(int fd) {
    if (void (*hook)() = syncHook().load())
        hook();
    if (const int injected = injectedSyncFailure(AtomicWriteSync::FileData).load())
        return injected;
    return ::fdatasync(fd) == 0 ? 0 : errno;
}

int syncFolderOf(const QString& path) {
    if (const int injected = injectedSyncFailure(AtomicWriteSync::Folder).load())
        return injected;
    return syncFolder(QFileInfo(path).absolutePath());
}

// A write the disk did not confirm is a failed write, said so in the person's language.
FileError syncError(int savedErrno, const QString& path) {
    return FileError(FileError::fromErrno(savedErrno, path, true).code(), path,
                     localizedString(QStringLiteral("text-file.sync-failed.format"))
                         .arg(QString::fromLocal8Bit(std::strerror(savedErrno))));
}

} // namespace

void failAtomicWriteSyncForTesting(AtomicWriteSync sync, int errnoValue) {
    injectedSyncFailure(sync).store(errnoValue);
}

void beforeAtomicWriteSyncForTesting(void (*hook)()) {
    syncHook().store(hook);
}

AtomicWriteHold::AtomicWriteHold(const QString& path) {
    // Never destroyed: the session writer's thread may still write while the process ends.
    static std::mutex& registryMutex = *new std::mutex;
    static auto& registry = *new QHash<QString, std::weak_ptr<std::recursive_mutex>>;
    {
        std::lock_guard lock(registryMutex);
        m_mutex = registry.value(path).lock();
        if (!m_mutex) {
            // Paths no longer written by anyone are dropped now and then.
            if (registry.size() > 64)
                registry.removeIf([](const auto& entry) { return entry.value().expired(); });
            m_mutex = std::make_shared<std::recursive_mutex>();
            registry.insert(path, m_mutex);
        }
    }
    m_mutex->lock();
}

AtomicWriteHold::~AtomicWriteHold() {
    m_mutex->unlock();
}

QByteArray encodedDocumentBytes(const PlainTextDocument& document, const QUrl& destination) {
    try {
        return fileDataForSaving(document);
    } catch (const FileError& error) {
        throw FileError(error.code(), destination.toLocalFile(), error.systemMessage());
    }
}

void writeBytesAtomically(const QByteArray& bytes, const QString& path) {
    writeAtomically(path,
                    [&bytes](QIODevice& device) { return device.write(bytes) == bytes.size(); });
}

void writeAtomically(const QString& path, const std::function<bool(QIODevice&)>& produce) {
    const AtomicWriteHold hold(path);
    refuseNonRegularDestination(path);
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        throw writeError(file, errno, path);
    errno = 0;
    // What is still buffered (up to 16 KB) is written by the flush, whose failure commit() would
    // not see: it would rename the cut file into place and report success.
    if (!produce(file) || !file.flush()) {
        const int savedErrno = errno;
        file.cancelWriting();
        throw writeError(file, savedErrno, path);
    }
    // commit() syncs too but ignores the answer: a file the disk did not take would replace
    // the old one and count as saved. Synced here first, the old file stays when it fails.
    if (const int syncErrno = syncFileData(file.handle())) {
        file.cancelWriting();
        throw syncError(syncErrno, path);
    }
    errno = 0;
    if (!file.commit())
        throw writeError(file, errno, path);
    // The new name lives in the folder of the file written (through a link, the link's
    // target): only once that folder is synced does the replacement survive a power cut.
    if (const int syncErrno = syncFolderOf(canonicalFilePath(path))) {
        const FileError error = syncError(syncErrno, path);
        throw UnconfirmedReplacement(error.code(), error.path(), error.systemMessage());
    }
}

} // namespace dunmoss
