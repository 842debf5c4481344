#include "window/SettledRead.h"

#include "platform/AtomicFileWrite.h"
#include "platform/FileError.h"
#include "platform/FolderSync.h"
#include "platform/InPlaceWriteSettle.h"
#include "platform/Localization.h"
#include "window/EditorWindowModel.h"

#include <QFile>
#include <QFileInfo>

namespace dunmoss {

namespace {

QString fileName(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;
}

} // namespace

SettledRead settleBeforeReading(const QString& path) {
    const InPlaceWriteSettlement settled = settleInterruptedInPlaceWrite(path);
    if (settled.outcome == InPlaceWriteSettle::CopyLeft)
        throw FileError(FileErrorCode::FileReadUnknown, path,
                        localizedString(QStringLiteral("text-file.interrupted-write-kept.format"))
                            .arg(settled.copy));
    SettledRead out;
    out.strayCopies = settled.strayCopies;
    if (settled.outcome == InPlaceWriteSettle::CopyShown) {
        out.shownCopy = settled.copy;
        out.fileFound = statPath(path);
    }
    return out;
}

void tellSettledRead(EditorWindowModel& model, const QUuid& tabID, const SettledRead& settled) {
    const QString tab = tabID.toString(QUuid::WithoutBraces);
    for (const QString& copy : settled.strayCopies)
        model.presentNotice(
            QStringLiteral("stray-copy:") + copy,
            localizedString(QStringLiteral("document.kept-copy.stray.format")).arg(copy));
    if (settled.shownCopy.isEmpty())
        return;
    const EditorTab* shown = model.tab(tabID);
    if (!shown || !shown->fileURL)
        return;
    model.presentNotice(
        QString::fromLatin1(kKeptCopyNoticeCausePrefix) + tab,
        localizedString(QStringLiteral("document.kept-copy.shown.format"))
            .arg(fileName(shown->fileURL->toLocalFile()), fileName(settled.shownCopy)),
        KeptCopyOffer{settled.shownCopy, settled.fileFound});
}

void putShownCopyBack(const QString& path, const QString& copy, const FileStatus& found) {
    QFile kept(copy);
    if (!kept.open(QIODevice::ReadOnly))
        throw FileError::fromErrno(ENOENT, copy, false);
    const QByteArray bytes = kept.readAll();
    if (kept.error() != QFileDevice::NoError)
        throw FileError(FileErrorCode::FileReadUnknown, copy, kept.errorString());
    const auto changed = [&] {
        return FileError(FileErrorCode::FileWriteUnknown, path,
                         localizedString(QStringLiteral("document.kept-copy.changed")));
    };
    // Whatever wrote the file since the person was told wins.
    const bool written = writeAtomically(
        path, [&](QIODevice& device) { return device.write(bytes) == bytes.size(); },
        [&] { return statPath(path) == found; });
    if (!written)
        throw changed();
    QFile::remove(copy);
    static_cast<void>(syncFolder(QFileInfo(copy).absolutePath()));
}

} // namespace dunmoss
