#include "window/TabFileRead.h"

#include "editor/LongLineDocumentLayout.h"
#include "editor/TextStorage.h"
#include "platform/FileError.h"
#include "platform/FileStat.h"
#include "platform/Localization.h"
#include "platform/SecurityScopedAccess.h"
#include "text/TextFileLoader.h"
#include "window/WindowErrors.h"

#include <QFileInfo>

namespace dunmoss {

namespace {

// Texts at least this long get their document filled on the reading thread; a shorter one costs
// the main thread less than a millisecond, and a document per file of a batch of thousands
// would cost memory for nothing.
constexpr qsizetype kPreparedDocumentLength = 64 * 1024;

} // namespace

// Filling a document costs a block per line; what a long line costs is its layout, which
// follows every setting the view makes on a filled document. Such a text is filled by the view,
// unless the width it wraps at is known (its lines made here are then taken back by the view) or
// the line is long enough to be broken into lines aside anyway.
bool worthPreparingDocument(const QString& text, qreal wrapWidth, bool longLinesAside) {
    if (text.size() < kPreparedDocumentLength)
        return false;
    if (wrapWidth > 0)
        return true;
    // A line of at least kLongBlockLength characters holds a whole stretch of half that length
    // starting at a multiple of it, and only such a stretch has no line feed: the text is read
    // a stretch at a time, each up to its first line feed, and only a long line is read whole.
    const QStringView all(text);
    constexpr qsizetype stretch = LongLineDocumentLayout::kLongBlockLength / 2;
    for (qsizetype at = 0; at + stretch <= all.size(); at += stretch) {
        if (all.sliced(at, stretch).contains(QLatin1Char('\n')))
            continue;
        const qsizetype start = at == 0 ? 0 : all.first(at).lastIndexOf(QLatin1Char('\n')) + 1;
        qsizetype end = all.indexOf(QLatin1Char('\n'), at + stretch);
        if (end < 0)
            end = all.size();
        const qsizetype length = end - start;
        if (length >= LongLineDocumentLayout::kLongBlockLength &&
            (length < LongLineDocumentLayout::kAsideLayoutLength || !longLinesAside))
            return false;
        // Past the line: the stretch holding its line feed.
        at = end / stretch * stretch - stretch;
    }
    return true;
}

namespace {

// Reading a FIFO or a device would block or never end, and a folder has no text: such items
// are refused before anything is read. A missing or unreadable item is left to the loader,
// which reports it in its own words.
std::optional<QString> refusalForNonRegularFile(const QString& path) {
    const std::optional<FileStatus> status = statPath(path);
    if (!status || status->kind == FileKind::Regular)
        return std::nullopt;
    QString name = QFileInfo(path).fileName();
    if (name.isEmpty())
        name = path;
    return localizedString(QStringLiteral("document.open.not-a-regular-file.format")).arg(name);
}

} // namespace

TabFileRead readFileForTab(const QUrl& url, const std::optional<QUrl>& folderAccess,
                           bool withDocument, const std::optional<TextStorage::Look>& look) {
    TabFileRead out;
    try {
        if (!url.isLocalFile())
            throw FileError(FileErrorCode::FileReadUnsupportedScheme, url.toString());
        std::unique_ptr<SecurityScopedAccess> folder;
        if (folderAccess)
            folder = std::make_unique<SecurityScopedAccess>(*folderAccess);
        const SecurityScopedAccess file(url);
        out.failure = refusalForNonRegularFile(url.toLocalFile());
        if (out.failure)
            return out;
        out.settled = settleBeforeReading(url.toLocalFile());
        out.tab = makeTabForLoadedFile(url, loadTextFile(url));
    } catch (const std::exception& error) {
        out.failure = localizedErrorDescription(error);
        return out;
    }
    if (withDocument)
        prepareTabDocument(out, look);
    return out;
}

void prepareTabDocument(TabFileRead& read, const std::optional<TextStorage::Look>& look,
                        bool longLinesAside) {
    if (read.tab && !read.document &&
        worthPreparingDocument(read.tab->document.text, look ? look->width : 0, longLinesAside)) {
        read.document = TextStorage::prepareDocument(read.tab->document.text, look);
        read.counts.emplace(read.tab->document.text);
    }
}

} // namespace dunmoss
