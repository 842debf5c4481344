#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

namespace dunmoss {

// One file a folder replacement rewrites: its new bytes and the replacements they hold.
struct FolderRewrite {
    QString path;
    QByteArray bytes;
    qint64 replacementCount = 0;
};

// The backup run of one folder replacement, whose files are rewritten a batch at a time. A batch
// is made durable a phase at a time, not a file at a time: every original is copied into the
// backup and the copies are synced; the manifest listing them is written and the new contents
// go to hidden temporary files beside their files, and both are synced; only then is each
// temporary file renamed over its file, and the renames are synced. So a kill or a crash at any
// moment leaves every file whole, old or new, and every file replaced has a durable copy that
// the manifest on disk lists. A sync costs the same for one file as for many, so a batch of
// thousands of files costs a few syncs instead of three per file.
class FolderReplacementRun {
public:
    explicit FolderReplacementRun(QUrl rootURL);

    // Backs up and rewrites the files, in order. On an error the files before the one that
    // failed are still rewritten, as if the files were done one at a time; those are all the
    // manifest lists from this batch, and the error is thrown. The run folder is made with the
    // first batch.
    void commit(const QList<FolderRewrite>& batch);

    const std::optional<QUrl>& runFolder() const { return m_runFolder; }
    // The files rewritten so far, in the order they were given.
    const QList<QUrl>& changedFiles() const { return m_changed; }
    qint64 replacementCount() const { return m_total; }

private:
    QUrl m_rootURL;
    std::optional<QUrl> m_runFolder;
    QList<QUrl> m_changed;
    qint64 m_total = 0;
};

// The steps of a run that change the disk, in the order a batch takes them.
enum class FolderReplacementStep {
    MakeRunFolder,
    KeepOriginal,  // one file kept in the backup
    Sync,          // the file systems written so far
    WriteManifest, // the manifest, listing the kept files
    WriteNew,      // one file's new content beside it
    Rename,        // one new content moved over its file
};

// Called before each step of a run. Tests stop the process or throw there to prove that no
// moment leaves a file half written or unbacked, and follow the order of the syncs.
using FolderReplacementStepHook = std::function<void(FolderReplacementStep)>;
void setFolderReplacementStepHook(FolderReplacementStepHook hook);

} // namespace dunmoss
