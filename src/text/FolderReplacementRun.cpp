#include "text/FolderReplacementRun.h"

#include "platform/FileError.h"
#include "platform/FileStat.h"
#include "text/FolderReplacementBackup.h"
#include "text/FolderReplacementWrites.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <unistd.h>

namespace dunmoss {

namespace {

FolderReplacementStepHook& stepHook() {
    static FolderReplacementStepHook hook;
    return hook;
}

void step(FolderReplacementStep kind) {
    if (const FolderReplacementStepHook& hook = stepHook())
        hook(kind);
}

// A folder on each file system a phase wrote to, by device.
using FileSystems = QMap<quint64, QString>;

void syncEach(const FileSystems& fileSystems) {
    for (const QString& folder : fileSystems)
        syncFileSystemOf(folder);
}

QList<QUrl> urlsOf(const QList<FolderRewrite>& batch, qsizetype count) {
    QList<QUrl> urls;
    urls.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        urls.append(QUrl::fromLocalFile(batch[i].path));
    return urls;
}

qint64 replacementsIn(const QList<FolderRewrite>& batch, qsizetype count) {
    qint64 total = 0;
    for (qsizetype i = 0; i < count; ++i)
        total += batch[i].replacementCount;
    return total;
}

} // namespace

void setFolderReplacementStepHook(FolderReplacementStepHook hook) {
    stepHook() = std::move(hook);
}

FolderReplacementRun::FolderReplacementRun(QUrl rootURL) : m_rootURL(std::move(rootURL)) {}

void FolderReplacementRun::commit(const QList<FolderRewrite>& batch) {
    if (batch.isEmpty())
        return;
    if (!m_runFolder) {
        step(FolderReplacementStep::MakeRunFolder);
        m_runFolder = makeFolderReplaceBackupFolder();
    }
    const QString runPath = m_runFolder->toLocalFile();
    const auto runIdentity = fileIdentity(runPath);
    const quint64 runDevice = runIdentity ? runIdentity->device : 0;

    // Each phase goes on with the files the one before finished; the first error stops the
    // files after it, and is thrown once the files before it are rewritten.
    std::exception_ptr error;
    auto attempt = [&error](FolderReplacementStep kind, const auto& action) {
        try {
            step(kind);
            action();
            return true;
        } catch (...) {
            if (!error)
                error = std::current_exception();
            return false;
        }
    };

    qsizetype copied = 0;
    while (copied < batch.size() && attempt(FolderReplacementStep::KeepOriginal, [&] {
               backUpOriginalFile(QUrl::fromLocalFile(batch[copied].path), m_rootURL, *m_runFolder);
           }))
        ++copied;
    // The copies are durable before the manifest names them.
    qsizetype ready = copied;
    if (ready > 0 && !attempt(FolderReplacementStep::Sync, [&] {
            syncEach({{runDevice, runPath}});
        }))
        ready = 0;
    // The manifest on disk lists a file before the file changes.
    const QList<QUrl> before = m_changed;
    if (ready > 0 && !attempt(FolderReplacementStep::WriteManifest, [&] {
            writeFolderReplacementManifest(*m_runFolder, m_rootURL, before + urlsOf(batch, ready),
                                           m_total + replacementsIn(batch, ready));
        }))
        ready = 0;
    const qsizetype listed = ready;

    QStringList staged;
    FileSystems targets;
    while (staged.size() < ready && attempt(FolderReplacementStep::WriteNew, [&] {
               quint64 device = 0;
               const FolderRewrite& file = batch[staged.size()];
               staged.append(writeBesideFile(file.path, file.bytes, device));
               targets.insert(device, QFileInfo(file.path).path());
           }))
        ;
    ready = staged.size();
    // Copies, manifest and new contents are all durable before the first file is replaced.
    FileSystems written = targets;
    written.insert(runDevice, runPath);
    if (ready > 0 && !attempt(FolderReplacementStep::Sync, [&] { syncEach(written); }))
        ready = 0;
    qsizetype renamed = 0;
    while (renamed < ready && attempt(FolderReplacementStep::Rename, [&] {
               const QString& path = batch[renamed].path;
               if (::rename(QFile::encodeName(staged[renamed]).constData(),
                            QFile::encodeName(path).constData()) != 0)
                   throw FileError::fromErrno(errno, path, true);
           })) {
        m_changed.append(QUrl::fromLocalFile(batch[renamed].path));
        m_total += batch[renamed].replacementCount;
        ++renamed;
    }
    for (qsizetype i = renamed; i < staged.size(); ++i)
        ::unlink(QFile::encodeName(staged[i]).constData());
    if (renamed > 0)
        attempt(FolderReplacementStep::Sync, [&] { syncEach(targets); });

    if (!error)
        return;
    // The manifest lists exactly the files rewritten, and the copies of the others go; a copy
    // stays wherever a manifest on disk may still list it.
    bool unlisted = listed == renamed;
    if (!unlisted) {
        try {
            writeFolderReplacementManifest(*m_runFolder, m_rootURL, m_changed, m_total);
            unlisted = true;
        } catch (...) {
        }
    }
    if (unlisted) {
        const QUrl files = QUrl::fromLocalFile(runPath + QStringLiteral("/files"));
        for (qsizetype i = renamed; i < copied; ++i) {
            const QString relative =
                relativePathUnderRoot(QUrl::fromLocalFile(batch[i].path), m_rootURL);
            ::unlink(QFile::encodeName(resolveManifestRelativePath(relative, files).toLocalFile())
                         .constData());
        }
    }
    std::rethrow_exception(error);
}

} // namespace dunmoss
