#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace dunmoss {

// What a run left at a file's path: the new file's identity, size and modification time, and
// the SHA-256 of its bytes. A restore puts the old bytes back only over a file that still holds
// them, so that nothing saved after the replace is lost.
struct FolderReplacementWrite {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedSeconds = 0;
    qint64 modifiedNanoseconds = 0;
    QByteArray sha256;

    friend bool operator==(const FolderReplacementWrite&, const FolderReplacementWrite&) = default;
};

// A file a run has written the new content of but may not have renamed over it yet: it counts
// as replaced only while the file is that new content (`device` and `inode`), which a run that
// was stopped is settled by.
struct PendingFolderReplacement {
    QString path;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 replacementCount = 0;

    friend bool operator==(const PendingFolderReplacement&,
                           const PendingFolderReplacement&) = default;
};

// The list of files one folder replacement backed up, stored as "manifest.json" in its backup
// folder. Older manifests lack "formatVersion" and read as version 1.
struct FolderReplacementManifest {
    int formatVersion = 2;
    // Whole seconds, UTC.
    QDateTime createdAt;
    // The searched folder's standardised path.
    QString rootPath;
    qint64 replacementCount = 0;
    // Paths relative to the root, "/"-separated, sorted by code unit.
    QStringList files;
    // While a run goes on: the files of its batch being renamed, not yet in `files` nor in the
    // count ("pending", absent when empty).
    QList<PendingFolderReplacement> pending;
    // What the run wrote, by the paths of `files` and `pending` ("written", absent when empty;
    // manifests written before it was kept have none, and restore as they always did).
    QMap<QString, FolderReplacementWrite> written;
    // The run was stopped before it finished and settled afterwards: `files` holds exactly what
    // it replaced ("unfinished", absent when false).
    bool unfinished = false;

    friend bool operator==(const FolderReplacementManifest&,
                           const FolderReplacementManifest&) = default;
};

inline constexpr int kFolderReplacementManifestVersion = 2;

// Pretty-printed JSON with sorted keys and the date as "2025-03-01T09:30:00Z".
QByteArray encodeFolderReplacementManifest(const FolderReplacementManifest& manifest);

// Strict: the JSON must be an object holding "createdAt" (an internet date-time such as
// "2025-03-01T09:30:00Z" or with a "+hh:mm" offset), "rootPath" (text), "replacementCount"
// (a whole number) and "files" (a list of texts); "formatVersion", when present and not null,
// must be a whole number; "pending" (a list of objects with a text "path", "device" and "inode"
// as decimal texts and a whole "replacementCount") and "unfinished" (true or false) must have
// that form when present, as must "written" (an object whose values hold "device" and "inode"
// as decimal texts, whole "size", "modifiedSeconds" and "modifiedNanoseconds", and "sha256" as
// 64 hexadecimal digits). Other keys are ignored. Throws FileError(FileReadCorruptFile) naming
// `path` for anything else.
FolderReplacementManifest decodeFolderReplacementManifest(QByteArrayView bytes,
                                                          const QString& path = {});

} // namespace dunmoss
