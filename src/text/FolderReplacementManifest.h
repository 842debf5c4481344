#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace dunmoss {

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

    friend bool operator==(const FolderReplacementManifest&,
                           const FolderReplacementManifest&) = default;
};

inline constexpr int kFolderReplacementManifestVersion = 2;

// Pretty-printed JSON with sorted keys and the date as "2025-03-01T09:30:00Z".
QByteArray encodeFolderReplacementManifest(const FolderReplacementManifest& manifest);

// Strict: the JSON must be an object holding "createdAt" (an internet date-time such as
// "2025-03-01T09:30:00Z" or with a "+hh:mm" offset), "rootPath" (text), "replacementCount"
// (a whole number) and "files" (a list of texts); "formatVersion", when present and not null,
// must be a whole number. Other keys are ignored. Throws FileError(FileReadCorruptFile) naming
// `path` for anything else.
FolderReplacementManifest decodeFolderReplacementManifest(QByteArrayView bytes,
                                                          const QString& path = {});

} // namespace dunmoss
