#include "text/FolderReplacementBackup.h"

#include "platform/AtomicFileWrite.h"
#include "platform/FileError.h"
#include "text/FolderReplacementManifest.h"
#include "text/FolderReplacementWrites.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUuid>
#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace dunmoss {

namespace {

QString joinPath(const QString& folder, const QString& name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

bool holdsUnnameableCharacter(const QString& text) {
    if (text.contains(QChar(u'\0')))
        return true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            return true;
    }
    return false;
}

// Code-point order, which differs from UTF-16 order for characters above U+FFFF.
bool precedesByCodePoint(const QString& a, const QString& b) {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(), [](QChar x, QChar y) {
            // Surrogates sort above every other BMP unit.
            auto key = [](QChar c) {
                const char16_t u = c.unicode();
                return u >= 0xD800 && u < 0xE000 ? u + 0x2000 : u >= 0xE000 ? u - 0x800 : u;
            };
            return key(x) < key(y);
        });
}

} // namespace

FolderReplacementBackupError::FolderReplacementBackupError(Kind kind, QString path,
                                                           QStringList entries)
    : m_kind(kind), m_path(std::move(path)), m_entries(std::move(entries)) {
    m_what = localizedDescription().toStdString();
}

FolderReplacementBackupError FolderReplacementBackupError::unsafeRelativePath(const QString& e) {
    return FolderReplacementBackupError(Kind::UnsafeRelativePath, e, {});
}

FolderReplacementBackupError FolderReplacementBackupError::fileOutsideRoot(const QString& path) {
    return FolderReplacementBackupError(Kind::FileOutsideRoot, path, {});
}

FolderReplacementBackupError FolderReplacementBackupError::symlinkInRestorePath(const QString& p) {
    return FolderReplacementBackupError(Kind::SymlinkInRestorePath, p, {});
}

FolderReplacementBackupError
FolderReplacementBackupError::restoreRefused(const QStringList& entries) {
    return FolderReplacementBackupError(Kind::RestoreRefused, {}, entries);
}

QString FolderReplacementBackupError::localizedDescription() const {
    switch (m_kind) {
    case Kind::UnsafeRelativePath:
        return QStringLiteral("Backup manifest contains an unsafe relative path: ") + m_path;
    case Kind::FileOutsideRoot:
        return QStringLiteral("Cannot back up a file outside the searched folder: ") + m_path;
    case Kind::SymlinkInRestorePath:
        return QStringLiteral("Restore destination passes through a symbolic link: ") + m_path;
    case Kind::RestoreRefused:
        return QStringLiteral("Refused to restore ") + QString::number(m_entries.size()) +
               QStringLiteral(" file(s) because the destination passes through a symbolic link: ") +
               m_entries.join(QStringLiteral(", "));
    }
    return {};
}

QString folderReplaceBackupsPath() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::tempPath();
    return joinPath(joinPath(base, QStringLiteral("Dunmoss Notepad")),
                    QStringLiteral("Folder Replace Backups"));
}

QString makeFolderReplaceRunName() {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QString stamp = now.toString(Qt::ISODate); // whole seconds, "Z"
    stamp.replace(u':', u'-');
    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    return stamp + u'-' + uuid.left(8);
}

QUrl makeFolderReplaceBackupFolder() {
    const QString parent = folderReplaceBackupsPath();
    if (!QDir().mkpath(parent))
        throw FileError(FileErrorCode::FileWriteUnknown, parent);
    // A new name each time; an existing folder is never reused for another run.
    for (;;) {
        const QString run = joinPath(parent, makeFolderReplaceRunName());
        if (::mkdir(QFile::encodeName(run).constData(), 0755) == 0)
            return QUrl::fromLocalFile(run);
        if (errno != EEXIST)
            throw FileError::fromErrno(errno, run, true);
    }
}

QStringList standardizedPathComponents(const QUrl& url) {
    const QString path = url.toLocalFile();
    if (path.isEmpty())
        return {};
    return QDir::cleanPath(path).split(u'/', Qt::SkipEmptyParts);
}

QString relativePathUnderRoot(const QUrl& fileURL, const QUrl& rootURL) {
    const QStringList root = standardizedPathComponents(rootURL);
    const QStringList file = standardizedPathComponents(fileURL);
    if (root.size() < file.size() && std::equal(root.begin(), root.end(), file.begin()))
        return file.mid(root.size()).join(u'/');
    throw FolderReplacementBackupError::fileOutsideRoot(QDir::cleanPath(fileURL.toLocalFile()));
}

QUrl resolveManifestRelativePath(const QString& relativePath, const QUrl& baseURL) {
    const QStringList pieces = relativePath.split(u'/', Qt::SkipEmptyParts);
    const bool unsafe =
        relativePath.startsWith(u'/') || pieces.isEmpty() || pieces.contains(QStringLiteral(".")) ||
        pieces.contains(QStringLiteral("..")) || holdsUnnameableCharacter(relativePath);
    if (unsafe)
        throw FolderReplacementBackupError::unsafeRelativePath(relativePath);
    QString path = baseURL.toLocalFile();
    for (const QString& piece : pieces)
        path = joinPath(path, piece);
    return QUrl::fromLocalFile(path);
}

void backUpOriginalFile(const QUrl& fileURL, const QUrl& rootURL, const QUrl& runFolderURL) {
    const QString relative = relativePathUnderRoot(fileURL, rootURL);
    const QUrl files =
        QUrl::fromLocalFile(joinPath(runFolderURL.toLocalFile(), QStringLiteral("files")));
    const QString destination = resolveManifestRelativePath(relative, files).toLocalFile();
    const QString folder = QFileInfo(destination).absolutePath();
    if (!QDir().mkpath(folder))
        throw FileError(FileErrorCode::FileWriteUnknown, folder);
    keepFileExclusively(fileURL.toLocalFile(), destination);
}

void writeFolderReplacementManifest(const QUrl& runFolderURL, const QUrl& rootURL,
                                    const QList<QUrl>& changedFiles, qint64 replacementCount,
                                    const QMap<QString, FolderReplacementWrite>& written,
                                    const QList<PendingFolderReplacement>& pending,
                                    bool unfinished) {
    FolderReplacementManifest manifest;
    manifest.formatVersion = kFolderReplacementManifestVersion;
    manifest.createdAt = QDateTime::currentDateTimeUtc();
    manifest.rootPath = QDir::cleanPath(rootURL.toLocalFile());
    for (const QUrl& file : changedFiles)
        manifest.files.append(relativePathUnderRoot(file, rootURL));
    std::sort(manifest.files.begin(), manifest.files.end(), precedesByCodePoint);
    manifest.replacementCount = replacementCount;
    manifest.pending = pending;
    manifest.unfinished = unfinished;
    const auto keep = [&](const QString& relative) {
        if (const auto record = written.constFind(relative); record != written.cend())
            manifest.written.insert(relative, *record);
    };
    for (const QString& relative : manifest.files)
        keep(relative);
    for (const PendingFolderReplacement& file : pending)
        keep(file.path);

    const QString path = joinPath(runFolderURL.toLocalFile(), QStringLiteral("manifest.json"));
    // Written like a saved document: it counts only once the disk confirmed it.
    writeBytesAtomically(encodeFolderReplacementManifest(manifest), path);
}

} // namespace dunmoss
