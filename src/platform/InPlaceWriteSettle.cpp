#include "platform/InPlaceWriteSettle.h"

#include "platform/AtomicFileWrite.h"
#include "platform/FileError.h"
#include "platform/FileStat.h"
#include "platform/FileWriteHold.h"
#include "platform/FolderSync.h"
#include "platform/PosixFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dunmoss {

namespace {

// A copy beside `file` that this program made: a regular file with one name, made by this user
// or given the file's owner. Opened without following a link or waiting on a FIFO.
UniqueFd openOwnCopy(const QByteArray& name, std::optional<uid_t> fileOwner) {
    UniqueFd copy(::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat attributes {};
    if (!copy.isOpen() || ::fstat(copy.get(), &attributes) != 0 || !S_ISREG(attributes.st_mode) ||
        attributes.st_nlink != 1 ||
        (attributes.st_uid != ::geteuid() && attributes.st_uid != fileOwner))
        return UniqueFd();
    return copy;
}

bool isHeldByALiveWriter(int copy) {
    return ::flock(copy, LOCK_EX | LOCK_NB) != 0;
}

QString noteFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Dunmoss Notepad/In-Place Copies");
}

QString notePath(quint64 device, quint64 inode) {
    return noteFolder() + QLatin1Char('/') + QString::number(device, 16) + QLatin1Char('-') +
           QString::number(inode, 16);
}

std::optional<QString> notePathOf(int file) {
    struct stat attributes {};
    if (::fstat(file, &attributes) != 0)
        return std::nullopt;
    return notePath(attributes.st_dev, attributes.st_ino);
}

// The name a copy of `fileName`'s old bytes is shown under: beside it, dated by the copy.
QString shownCopyPath(const QString& folder, const QString& fileName, int kept) {
    struct stat attributes {};
    QDateTime made = QDateTime::currentDateTime();
    if (::fstat(kept, &attributes) == 0)
        made = QDateTime::fromSecsSinceEpoch(attributes.st_mtim.tv_sec);
    const QString base = folder + QLatin1Char('/') + fileName + QStringLiteral(".kept-") +
                         made.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString candidate = base;
    for (int n = 2; QFileInfo::exists(candidate) || QFileInfo(candidate).isSymLink(); ++n)
        candidate = base + QLatin1Char('-') + QString::number(n);
    return candidate;
}

// The old bytes of a hidden copy moved to a file the person sees, made whole and synced before
// the hidden one goes; the shown name, or nothing when that failed (the hidden copy stays).
std::optional<QString> showCopy(int kept, qint64 oldAt, const QByteArray& keptName,
                                const QString& folder, const QString& fileName) {
    const QString shown = shownCopyPath(folder, fileName, kept);
    const QByteArray shownName = QFile::encodeName(shown);
    struct stat attributes {};
    if (::fstat(kept, &attributes) != 0)
        return std::nullopt;
    UniqueFd out(
        ::open(shownName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.isOpen())
        return std::nullopt;
    try {
        if (::lseek(kept, oldAt, SEEK_SET) != oldAt)
            throw FileError::fromErrno(errno, shown, false);
        copyFileContent(kept, out.get(), shown);
        static_cast<void>(keepOwnerGroupAndMode(out.get(), attributes.st_uid, attributes.st_gid,
                                                attributes.st_mode & 0777));
        if (syncAtomicWriteData(out.get()) != 0 || out.close() != 0 || syncFolder(folder) != 0)
            throw FileError::fromErrno(EIO, shown, true);
    } catch (const FileError&) {
        ::unlink(shownName.constData());
        return std::nullopt;
    }
    ::unlink(keptName.constData());
    static_cast<void>(syncFolder(folder));
    return shown;
}

// The file a hidden copy beside `folder` was kept for: the copy's name less our parts.
QString keptFileName(const QString& copyName) {
    const qsizetype cut = copyName.lastIndexOf(QStringLiteral(".dunmoss-kept-"));
    return copyName.mid(1, cut - 1);
}

class Settle {
public:
    explicit Settle(const QString& path) : m_path(path) {}

    InPlaceWriteSettlement run() {
        const QString target = canonicalFilePath(m_path);
        const QFileInfo info(target);
        m_folder = info.absolutePath();
        const QByteArray targetName = QFile::encodeName(target);
        struct stat attributes {};
        const bool exists = ::stat(targetName.constData(), &attributes) == 0;
        if (exists && !S_ISREG(attributes.st_mode))
            return m_out;
        if (exists) {
            m_file = UniqueFd(::open(targetName.constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
            if (!m_file.isOpen())
                m_file =
                    UniqueFd(::open(targetName.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
            m_owner = attributes.st_uid;
        }
        removeHalfMadeCopies(target);
        QStringList copies;
        const QString keptPrefix = QFileInfo(inPlaceKeptCopyPrefix(target)).fileName();
        for (const QString& name : QDir(m_folder).entryList(
                 {keptPrefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System))
            if (name.startsWith(keptPrefix))
                copies.append(m_folder + QLatin1Char('/') + name);
        // Written through another name of the file, its copy stands beside that name.
        if (m_file.isOpen())
            if (const std::optional<QString> note = notePathOf(m_file.get())) {
                QFile noted(*note);
                if (noted.open(QIODevice::ReadOnly)) {
                    const QString elsewhere = QString::fromUtf8(noted.readAll());
                    // The copy it named is gone (settled through its own name, or removed).
                    if (!QFileInfo(elsewhere).isAbsolute() || !QFileInfo::exists(elsewhere))
                        noted.remove();
                    else if (!copies.contains(elsewhere))
                        m_elsewhere = elsewhere;
                }
            }
        for (const QString& copy : copies)
            settleCopy(copy, false);
        // The hold on the file covers every name of it.
        if (!m_elsewhere.isEmpty())
            settleCopy(m_elsewhere, true);
        return m_out;
    }

private:
    void removeHalfMadeCopies(const QString& target) {
        const QString prefix = QFileInfo(inPlaceCopyInTheMakingPrefix(target)).fileName();
        for (const QString& name : QDir(m_folder).entryList(
                 {prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System)) {
            const QByteArray path = QFile::encodeName(m_folder + QLatin1Char('/') + name);
            // Never whole, so nothing was written over the file yet.
            if (const UniqueFd half = openOwnCopy(path, m_owner);
                half.isOpen() && !isHeldByALiveWriter(half.get()))
                ::unlink(path.constData());
        }
    }

    void settleCopy(const QString& copy, bool throughAnotherName) {
        const QByteArray keptName = QFile::encodeName(copy);
        const UniqueFd kept = openOwnCopy(keptName, m_owner);
        if (!kept.isOpen())
            return;
        if (isHeldByALiveWriter(kept.get()))
            return leave(copy);
        const std::optional<std::pair<KeptCopyRecord, qint64>> record =
            readKeptCopyRecord(kept.get());
        const QString copyFolder = QFileInfo(copy).absolutePath();
        const QString fileName = keptFileName(QFileInfo(copy).fileName());
        if (!record || !m_file.isOpen() || !isSameFileLife(record->first, m_file.get())) {
            // Found through the other name's note, it belongs to the file at that name.
            if (throughAnotherName)
                return;
            if (const std::optional<QString> shown =
                    showCopy(kept.get(), record ? record->second : 0, keptName, m_folder, fileName))
                m_out.strayCopies.append(*shown);
            else
                leave(copy);
            return;
        }
        const qint64 oldAt = record->second;
        const std::optional<InPlaceWrittenState> state =
            judgeInPlaceWrite(m_file.get(), kept.get(), oldAt, record->first);
        if (!state)
            return leave(copy);
        switch (*state) {
        case InPlaceWrittenState::OldBytes:
        case InPlaceWrittenState::NewBytes:
            drop(keptName, copyFolder);
            return raise(InPlaceWriteSettle::KeptWrittenBytes, {});
        case InPlaceWrittenState::PartlyWritten:
            if (!putKeptBytesBack(kept.get(), oldAt, m_file.get(), copy))
                return leave(copy);
            drop(keptName, copyFolder);
            return raise(InPlaceWriteSettle::PutOldBytesBack, {});
        case InPlaceWrittenState::Other:
            if (const std::optional<QString> shown =
                    showCopy(kept.get(), oldAt, keptName, copyFolder, fileName)) {
                forgetInPlaceCopy(m_file.get());
                return raise(InPlaceWriteSettle::CopyShown, *shown);
            }
            return leave(copy);
        }
    }

    void drop(const QByteArray& keptName, const QString& copyFolder) {
        ::unlink(keptName.constData());
        // Should the removal not reach the disk, the copy is judged again next time, and the
        // file, already whole, is left as it is.
        static_cast<void>(syncFolder(copyFolder));
        forgetInPlaceCopy(m_file.get());
    }

    void leave(const QString& copy) { raise(InPlaceWriteSettle::CopyLeft, copy); }

    // The outcome that asks most of the caller wins.
    void raise(InPlaceWriteSettle outcome, const QString& copy) {
        if (int(outcome) < int(m_out.outcome))
            return;
        m_out.outcome = outcome;
        if (!copy.isEmpty())
            m_out.copy = copy;
    }

    const QString m_path;
    QString m_folder;
    UniqueFd m_file;
    std::optional<uid_t> m_owner;
    QString m_elsewhere;
    InPlaceWriteSettlement m_out;
};

} // namespace

InPlaceWriteSettlement settleInterruptedInPlaceWrite(const QString& path) {
    const AtomicWriteHold hold(path);
    return Settle(path).run();
}

void noteInPlaceCopy(int file, const QString& keptCopy) {
    const std::optional<QString> note = notePathOf(file);
    if (!note || !QDir().mkpath(noteFolder()))
        return;
    // Not synced: a note lost to a power cut leaves the copy to be found beside the name the
    // write went through.
    QFile out(*note);
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        out.write(keptCopy.toUtf8());
}

void forgetInPlaceCopy(int file) {
    if (const std::optional<QString> note = notePathOf(file))
        QFile::remove(*note);
}

} // namespace dunmoss
