// A backup's manifest is outside input: the user picks the backup folder, and anyone can edit
// it. Decoding must refuse anything malformed without crashing; a decoded manifest must encode
// and decode to the same values; and every entry must either be refused as unsafe or resolve to
// a path strictly inside the folder it is resolved under.
#include "platform/FileError.h"
#include "text/FolderReplacementBackup.h"
#include "text/FolderReplacementManifest.h"

#include <QDir>
#include <cstdint>
#include <cstdlib>

using namespace dunmoss;

namespace {

bool isWellFormed(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return false;
    }
    return true;
}

void checkEntry(const QString& entry) {
    static const QString base = QStringLiteral("/fuzz/target");
    QUrl resolved;
    try {
        resolved = resolveManifestRelativePath(entry, QUrl::fromLocalFile(base));
    } catch (const FolderReplacementBackupError& error) {
        if (error.kind() != FolderReplacementBackupError::Kind::UnsafeRelativePath)
            std::abort();
        return;
    }
    const QString path = resolved.toLocalFile();
    if (!path.startsWith(base + u'/') || QDir::cleanPath(path) != path || path.contains(u'\0'))
        std::abort();
    const QStringList below = path.mid(base.size() + 1).split(u'/');
    for (const QString& piece : below)
        if (piece.isEmpty() || piece == u"." || piece == u"..")
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    FolderReplacementManifest manifest;
    try {
        manifest = decodeFolderReplacementManifest(bytes);
    } catch (const FileError& error) {
        if (error.code() != FileErrorCode::FileReadCorruptFile)
            std::abort();
        return 0;
    }
    for (const QString& entry : manifest.files)
        checkEntry(entry);
    bool wellFormed = isWellFormed(manifest.rootPath);
    for (const QString& entry : manifest.files)
        wellFormed = wellFormed && isWellFormed(entry);
    if (wellFormed) {
        const FolderReplacementManifest again =
            decodeFolderReplacementManifest(encodeFolderReplacementManifest(manifest));
        if (!(again == manifest))
            std::abort();
    }
    return 0;
}
