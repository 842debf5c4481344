#pragma once

#include "platform/FileStat.h"
#include "platform/PosixFile.h"
#include "text/FolderReplacementManifest.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

namespace dunmoss {

// One file a folder replacement rewrites: its new bytes, the replacements they hold, the file as
// it was when read, and the SHA-256 of the new bytes (kept in the manifest for the restore).
struct FolderRewrite {
    QString path;
    QByteArray bytes;
    qint64 replacementCount = 0;
    FileStatus read;
    QByteArray sha256;
};

// The backup run of one folder replacement, whose files are rewritten a batch at a time. A batch
// is made durable a phase at a time, not a file at a time: every original is copied into the
// backup and the copies are synced; the manifest listing them is written and the new contents
// go to hidden temporary files beside their files, then the manifest lists them as pending
// with the new files' identities, and all are synced; only then is each temporary file renamed
// over its file, and the renames are synced. So a kill or a crash at any moment leaves every
// file whole, old or new, and every file replaced has a durable copy that the manifest on disk
// lists, as done or as pending on a rename whose outcome the file itself shows. A sync costs the
// same for one file as for many, so a batch of thousands of files costs a few syncs instead of
// three per file.
//
// A batch is decided on when its files are read and done later, so each file is confirmed to
// be still what was read (same file, size and modification time) as its new content is written
// and again right before its rename, inside the file's hold (AtomicWriteHold), which a save of
// the file shares: no save lands between that look and the rename. A file that changed
// meanwhile is left as it is, its temporary file and copy removed, and named in
// changedDuringReplace(); no manifest lists it as replaced.
//
// A rename would give only one of a file's names the new content, so a file with other names
// (hard links) is left as it is and named in withOtherNames(), looked at before its backup and
// again inside its hold right before its rename (its backup's own name aside). A file whose
// owner, group, mode or attributes a new file cannot take (another user's file in a folder a
// group shares) is left as it is too, named in attributesNotKept(): the run writes nothing in
// place.
class FolderReplacementRun {
public:
    explicit FolderReplacementRun(QUrl rootURL);
    ~FolderReplacementRun();

    // Backs up and rewrites the files, in order. On an error the files before the one that
    // failed are still rewritten, as if the files were done one at a time, and the error is
    // thrown. The run folder, with its marker (see FolderReplacementLeftovers), is made with
    // the first batch.
    void commit(const QList<FolderRewrite>& batch);

    // Writes the last manifest, listing exactly the files rewritten, and removes the marker; a
    // run folder that ends up holding no file replaced is removed. Throws like commit.
    void finish();

    // The run folder; nothing before the first batch and after a finish that replaced nothing.
    const std::optional<QUrl>& runFolder() const { return m_runFolder; }
    // The files rewritten so far, in the order they were given.
    const QList<QUrl>& changedFiles() const { return m_changed; }
    qint64 replacementCount() const { return m_total; }
    // The files left alone because they changed after they were read, in the order given.
    const QList<QUrl>& changedDuringReplace() const { return m_changedMeanwhile; }
    // The files left alone because they have other names, in the order given.
    const QList<QUrl>& withOtherNames() const { return m_withOtherNames; }
    // The files left alone because a new file could not keep what they are besides their bytes,
    // in the order given.
    const QList<QUrl>& attributesNotKept() const { return m_attributesNotKept; }

private:
    QUrl m_rootURL;
    std::optional<QUrl> m_runFolder;
    UniqueFd m_marker;
    QList<QUrl> m_changed;
    QList<QUrl> m_changedMeanwhile;
    QList<QUrl> m_withOtherNames;
    QList<QUrl> m_attributesNotKept;
    // What each file rewritten holds, by its path below the root.
    QMap<QString, FolderReplacementWrite> m_written;
    qint64 m_total = 0;
};

// The steps of a run that change the disk, in the order a batch takes them.
enum class FolderReplacementStep {
    MakeRunFolder,
    KeepOriginal,  // one file kept in the backup
    Sync,          // the file systems written so far
    WriteNew,      // one file's new content beside it
    WriteManifest, // the manifest, listing the kept files as pending
    Rename,        // one new content moved over its file (or left, the file having changed)
    Finish,        // the last manifest, listing exactly the files replaced
    RestoreStage,  // a restore: one saved copy staged beside the file it puts back
    RestorePlace,  // a restore: one staged copy moved into place
};

// Called before each step of a run or a restore. Tests stop the process or throw there to prove
// that no moment leaves a file half written or unbacked, and follow the order of the syncs.
using FolderReplacementStepHook = std::function<void(FolderReplacementStep)>;
void setFolderReplacementStepHook(FolderReplacementStepHook hook);
// Calls the hook, if one is set.
void takeFolderReplacementStep(FolderReplacementStep kind);

} // namespace dunmoss
