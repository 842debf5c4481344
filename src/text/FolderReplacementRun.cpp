#include "text/FolderReplacementRun.h"

#include "platform/FileError.h"
#include "platform/FileStat.h"
#include "platform/FileWriteHold.h"
#include "text/FolderReplacementBackup.h"
#include "text/FolderReplacementLeftovers.h"
#include "text/FolderReplacementWrites.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <sys/stat.h>
#include <unistd.h>
#include <variant>
#include <vector>

namespace dunmoss {

namespace {

FolderReplacementStepHook& stepHook() {
    static FolderReplacementStepHook hook;
    return hook;
}

// A folder on each file system a phase wrote to, by device.
using FileSystems = QMap<quint64, QString>;

void syncEach(const FileSystems& fileSystems) {
    for (const QString& folder : fileSystems)
        syncFileSystemOf(folder);
}

// Whether the file (a link not followed) has a name besides its path and, when it is one, the
// backup's copy: a rename over it would leave that name with the old content.
bool hasOtherNames(const QString& path, const QString& backupCopy = {}) {
    struct stat file {};
    if (::lstat(QFile::encodeName(path).constData(), &file) != 0 || !S_ISREG(file.st_mode))
        return false;
    nlink_t names = file.st_nlink;
    struct stat copy {};
    if (!backupCopy.isEmpty() && ::lstat(QFile::encodeName(backupCopy).constData(), &copy) == 0 &&
        copy.st_dev == file.st_dev && copy.st_ino == file.st_ino)
        --names;
    return names > 1;
}

FolderReplacementWrite writeRecord(const StagedFile& staged, const QByteArray& sha256) {
    return {
        staged.written.identity.device,  staged.written.identity.inode,       staged.written.size,
        staged.written.modified.seconds, staged.written.modified.nanoseconds, sha256};
}

} // namespace

void setFolderReplacementStepHook(FolderReplacementStepHook hook) {
    stepHook() = std::move(hook);
}

void takeFolderReplacementStep(FolderReplacementStep kind) {
    if (const FolderReplacementStepHook& hook = stepHook())
        hook(kind);
}

FolderReplacementRun::FolderReplacementRun(QUrl rootURL) : m_rootURL(std::move(rootURL)) {}

// A run left without finish() keeps its marker: the next folder operation settles it.
FolderReplacementRun::~FolderReplacementRun() = default;

void FolderReplacementRun::commit(const QList<FolderRewrite>& batch) {
    if (batch.isEmpty())
        return;
    if (!m_runFolder) {
        takeFolderReplacementStep(FolderReplacementStep::MakeRunFolder);
        const QUrl made = makeFolderReplaceBackupFolder();
        try {
            m_marker = markFolderReplaceRunUnfinished(made, m_rootURL);
        } catch (...) {
            ::rmdir(QFile::encodeName(made.toLocalFile()).constData());
            throw;
        }
        m_runFolder = made;
    }
    const QString runPath = m_runFolder->toLocalFile();
    const auto runIdentity = fileIdentity(runPath);
    const quint64 runDevice = runIdentity ? runIdentity->device : 0;
    const QString tag = folderReplaceRunTag(*m_runFolder);

    // Each phase goes on with the files the one before finished; the first error stops the
    // files after it, and is thrown once the files before it are rewritten.
    std::exception_ptr error;
    auto attempt = [&error](FolderReplacementStep kind, const auto& action) {
        try {
            takeFolderReplacementStep(kind);
            action();
            return true;
        } catch (...) {
            if (!error)
                error = std::current_exception();
            return false;
        }
    };

    const QUrl copies = QUrl::fromLocalFile(runPath + QStringLiteral("/files"));
    const auto copyOf = [&](qsizetype i) {
        const QString relative =
            relativePathUnderRoot(QUrl::fromLocalFile(batch[i].path), m_rootURL);
        return resolveManifestRelativePath(relative, copies).toLocalFile();
    };
    // Files with other names are neither kept nor written.
    std::vector<bool> otherNames(size_t(batch.size()), false);
    qsizetype copied = 0;
    while (copied < batch.size() && attempt(FolderReplacementStep::KeepOriginal, [&] {
               if (hasOtherNames(batch[copied].path))
                   otherNames[size_t(copied)] = true;
               else
                   backUpOriginalFile(QUrl::fromLocalFile(batch[copied].path), m_rootURL,
                                      *m_runFolder);
           }))
        ++copied;
    // The copies are durable before the manifest names them.
    qsizetype ready = copied;
    if (ready > 0 && !attempt(FolderReplacementStep::Sync, [&] {
            syncEach({{runDevice, runPath}});
        }))
        ready = 0;

    // The new contents, for the files still as they were read and whose owner, group, mode and
    // attributes a new file can take.
    std::vector<std::optional<StagedFile>> staged;
    std::vector<bool> attributesNotKept(size_t(batch.size()), false);
    FileSystems targets;
    while (qsizetype(staged.size()) < ready && attempt(FolderReplacementStep::WriteNew, [&] {
               const FolderRewrite& file = batch[qsizetype(staged.size())];
               if (otherNames[staged.size()]) {
                   staged.push_back(std::nullopt);
                   return;
               }
               auto written = writeBesideFile(file.path, file.bytes, file.read, tag);
               if (const auto* left = std::get_if<LeftAsItIs>(&written)) {
                   attributesNotKept[staged.size()] = *left == LeftAsItIs::AttributesNotKept;
                   staged.push_back(std::nullopt);
                   return;
               }
               staged.push_back(std::get<StagedFile>(std::move(written)));
               targets.insert(staged.back()->identity.device, QFileInfo(file.path).path());
           }))
        ;
    // The manifest on disk lists a file before the file changes: as pending, replaced only
    // while the file is the new content, since the rename may yet find the file changed.
    QList<PendingFolderReplacement> pending;
    QMap<QString, FolderReplacementWrite> records = m_written;
    for (size_t i = 0; i < staged.size(); ++i) {
        if (!staged[i])
            continue;
        const FolderRewrite& file = batch[qsizetype(i)];
        const QString relative = relativePathUnderRoot(QUrl::fromLocalFile(file.path), m_rootURL);
        pending.append({relative, staged[i]->identity.device, staged[i]->identity.inode,
                        file.replacementCount});
        records.insert(relative, writeRecord(*staged[i], file.sha256));
    }
    ready = qsizetype(staged.size());
    if (!pending.isEmpty() && !attempt(FolderReplacementStep::WriteManifest, [&] {
            writeFolderReplacementManifest(*m_runFolder, m_rootURL, m_changed, m_total, records,
                                           pending);
        }))
        ready = 0;
    // Copies, manifest and new contents are all durable before the first file is replaced.
    FileSystems written = targets;
    written.insert(runDevice, runPath);
    if (!pending.isEmpty() && !attempt(FolderReplacementStep::Sync, [&] { syncEach(written); }))
        ready = 0;

    std::vector<bool> renamed(size_t(batch.size()), false);
    // Files found changed since they were read: before their new content was written, or
    // before their rename.
    std::vector<bool> changed(size_t(batch.size()), false);
    for (size_t i = 0; i < staged.size(); ++i)
        changed[i] = !staged[i] && !otherNames[i] && !attributesNotKept[i];
    bool anyRenamed = false;
    for (qsizetype i = 0; i < ready; ++i) {
        const FolderRewrite& file = batch[i];
        if (!staged[size_t(i)])
            continue;
        const QByteArray temporary = QFile::encodeName(staged[size_t(i)]->path);
        const bool done = attempt(FolderReplacementStep::Rename, [&] {
            // Another program, or a save of an open tab, may have written it since it was read;
            // held, no save of this program lands between the look and the rename.
            const AtomicWriteHold hold(file.path);
            if (!isStillAsRead(file.path, file.read)) {
                changed[size_t(i)] = true;
                return;
            }
            // A name given to it since it was first looked at.
            if (hasOtherNames(file.path, copyOf(i))) {
                otherNames[size_t(i)] = true;
                return;
            }
            if (::rename(temporary.constData(), QFile::encodeName(file.path).constData()) != 0)
                throw FileError::fromErrno(errno, file.path, true);
            renamed[size_t(i)] = true;
        });
        if (!done)
            break;
        if (renamed[size_t(i)]) {
            anyRenamed = true;
            m_changed.append(QUrl::fromLocalFile(file.path));
            m_total += file.replacementCount;
            m_written.insert(relativePathUnderRoot(QUrl::fromLocalFile(file.path), m_rootURL),
                             writeRecord(*staged[size_t(i)], file.sha256));
        }
    }
    // What was not renamed goes: its temporary file, then its copy, which no manifest lists as
    // replaced (a pending entry counts only while the file is the new content).
    for (qsizetype i = 0; i < copied; ++i) {
        if (renamed[size_t(i)])
            continue;
        if (size_t(i) < staged.size() && staged[size_t(i)])
            ::unlink(QFile::encodeName(staged[size_t(i)]->path).constData());
        // A file found with other names before its backup has none.
        if (!otherNames[size_t(i)] || (size_t(i) < staged.size() && staged[size_t(i)]))
            ::unlink(QFile::encodeName(copyOf(i)).constData());
    }
    for (qsizetype i = 0; i < batch.size(); ++i) {
        if (changed[size_t(i)])
            m_changedMeanwhile.append(QUrl::fromLocalFile(batch[i].path));
        else if (otherNames[size_t(i)])
            m_withOtherNames.append(QUrl::fromLocalFile(batch[i].path));
        else if (attributesNotKept[size_t(i)])
            m_attributesNotKept.append(QUrl::fromLocalFile(batch[i].path));
    }
    if (anyRenamed)
        attempt(FolderReplacementStep::Sync, [&] { syncEach(targets); });
    if (error)
        std::rethrow_exception(error);
}

void FolderReplacementRun::finish() {
    if (!m_runFolder || !m_marker.isOpen())
        return;
    takeFolderReplacementStep(FolderReplacementStep::Finish);
    if (m_changed.isEmpty()) {
        // Nothing was replaced (every file changed before its turn, or the first batch failed):
        // the run backs up nothing.
        markFolderReplaceRunFinished(m_marker, *m_runFolder);
        QDir(m_runFolder->toLocalFile()).removeRecursively();
        m_runFolder.reset();
        return;
    }
    writeFolderReplacementManifest(*m_runFolder, m_rootURL, m_changed, m_total, m_written);
    markFolderReplaceRunFinished(m_marker, *m_runFolder);
}

} // namespace dunmoss
