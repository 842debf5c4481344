#pragma once

#include "text/FolderReplacementManifest.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <exception>
#include <string>

namespace dunmoss {

// A backup or restore refused for the safety of the user's files. The descriptions are fixed
// English texts.
class FolderReplacementBackupError : public std::exception {
public:
    enum class Kind { UnsafeRelativePath, FileOutsideRoot, SymlinkInRestorePath, RestoreRefused };

    static FolderReplacementBackupError unsafeRelativePath(const QString& entry);
    static FolderReplacementBackupError fileOutsideRoot(const QString& path);
    static FolderReplacementBackupError symlinkInRestorePath(const QString& path);
    static FolderReplacementBackupError restoreRefused(const QStringList& entries);

    Kind kind() const { return m_kind; }
    // The entry or path involved (empty for a refused restore).
    const QString& path() const { return m_path; }
    // The refused manifest entries of a refused restore.
    const QStringList& entries() const { return m_entries; }

    QString localizedDescription() const;
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    FolderReplacementBackupError(Kind kind, QString path, QStringList entries);

    Kind m_kind;
    QString m_path;
    QStringList m_entries;
    std::string m_what;
};

// The folder holding one subfolder per replacement run:
// <GenericDataLocation>/Dunmoss Notepad/Folder Replace Backups (the temporary folder stands in
// for a missing data location).
QString folderReplaceBackupsPath();

// A run name: the current UTC time as "2025-03-01T09-30-00Z", "-" and eight upper-case
// characters of a new UUID.
QString makeFolderReplaceRunName();

// Creates a new, empty run folder under folderReplaceBackupsPath(). Throws FileError.
QUrl makeFolderReplaceBackupFolder();

// Keeps a file, byte for byte and with its permissions, in the run folder's "files" at its
// path relative to the root: as a second name of the file where it can (the rewrite then
// leaves the original to the backup alone), else as a copy. Throws FolderReplacementBackupError
// (the file is not below the root) or FileError (including an existing copy, which is never
// overwritten).
void backUpOriginalFile(const QUrl& fileURL, const QUrl& rootURL, const QUrl& runFolderURL);

// Writes the run folder's "manifest.json" atomically: now, the root, the changed files'
// relative paths sorted by code unit, and the count, with what the run wrote at each of them
// (`written`, by relative path; records of files not listed are left out), the files whose
// renames are pending and whether the run was stopped before it finished. It counts as written
// only once the disk confirmed it (see writeAtomically). Throws FolderReplacementBackupError or
// FileError.
void writeFolderReplacementManifest(const QUrl& runFolderURL, const QUrl& rootURL,
                                    const QList<QUrl>& changedFiles, qint64 replacementCount,
                                    const QMap<QString, FolderReplacementWrite>& written,
                                    const QList<PendingFolderReplacement>& pending = {},
                                    bool unfinished = false);

// The cleaned absolute path split at "/", without empty pieces.
QStringList standardizedPathComponents(const QUrl& url);

// The file's path below the root, "/"-separated. Throws fileOutsideRoot when the file is not
// strictly below the root (components compared exactly; the root itself is outside).
QString relativePathUnderRoot(const QUrl& fileURL, const QUrl& rootURL);

// The manifest entry appended to the base folder. Throws unsafeRelativePath for an entry that
// is absolute, empty, has a "." or ".." component, or holds a character no file name can
// carry (a zero character or an unpaired surrogate).
QUrl resolveManifestRelativePath(const QString& relativePath, const QUrl& baseURL);

} // namespace dunmoss
