#include "text/FolderReplacement.h"

#include "platform/FileError.h"
#include "platform/FileStat.h"
#include "platform/SecurityScopedAccess.h"
#include "text/FolderPatterns.h"
#include "text/FolderReplacementBackup.h"
#include "text/FolderReplacementLeftovers.h"
#include "text/FolderReplacementRun.h"
#include "text/OrderedFileJobs.h"
#include "text/SearchScanner.h"
#include "text/SearchableText.h"

#include <QCryptographicHash>

namespace dunmoss {

namespace {

// A batch is backed up and rewritten once it holds this much new content or this many files.
constexpr qsizetype kBatchBytes = 64 * 1024 * 1024;
constexpr qsizetype kBatchFiles = 1024;
// Files replaced ahead of the oldest one not yet done, per thread: each may hold a file's new
// contents.
constexpr int kRewritesAheadPerThread = 16;

void countSkipped(SearchableFileContent::Kind kind, FolderSearchSkippedFiles& skipped) {
    switch (kind) {
    case SearchableFileContent::Kind::Binary:
        ++skipped.binaryFileCount;
        break;
    case SearchableFileContent::Kind::Oversized:
        ++skipped.oversizedFileCount;
        break;
    case SearchableFileContent::Kind::EncodingFailed:
        ++skipped.encodingFailedFileCount;
        break;
    case SearchableFileContent::Kind::Text:
        break;
    }
}

// How a file's bytes were laid out: the mark it began with (if any) and the encoding of what
// follows, with generic UTF-16 pinned to the byte order it was read in.
struct ByteLayout {
    QByteArray mark;
    TextFileEncoding body = TextFileEncoding::Utf8;
};

ByteLayout layoutOf(TextFileEncoding encoding, QByteArrayView bytes) {
    static const QByteArray utf8Mark("\xEF\xBB\xBF", 3);
    static const QByteArray littleMark("\xFF\xFE", 2);
    static const QByteArray bigMark("\xFE\xFF", 2);
    auto markIf = [&](const QByteArray& mark) {
        return bytes.startsWith(mark) ? mark : QByteArray();
    };
    switch (encoding) {
    case TextFileEncoding::Utf8WithBOM:
        return {markIf(utf8Mark), TextFileEncoding::Utf8};
    case TextFileEncoding::Utf16LittleEndian:
        return {markIf(littleMark), TextFileEncoding::Utf16LittleEndian};
    case TextFileEncoding::Utf16BigEndian:
        return {markIf(bigMark), TextFileEncoding::Utf16BigEndian};
    case TextFileEncoding::Utf16:
        if (bytes.startsWith(littleMark))
            return {littleMark, TextFileEncoding::Utf16LittleEndian};
        return {markIf(bigMark), TextFileEncoding::Utf16BigEndian};
    default:
        return {{}, encoding};
    }
}

// Throws FileError(FileWriteInapplicableStringEncoding) when the text cannot be held.
QByteArray encodeInLayout(const QString& text, const ByteLayout& layout) {
    QByteArray body = encodeText(text, layout.body);
    const QByteArray ownMark = byteOrderMark(layout.body);
    if (!ownMark.isEmpty() && body.startsWith(ownMark))
        body.remove(0, ownMark.size());
    return layout.mark + body;
}

// Whether the file's text encodes back to the bytes it was read from: when not, a rewrite would
// also change bytes outside the replaced text, so the file is left alone (and the dry run does not
// count it either).
bool encodesBackToItsBytes(const SearchableFileContent& content) {
    try {
        return encodeInLayout(content.text, layoutOf(content.encoding, content.bytes)) ==
               content.bytes;
    } catch (const FileError&) {
        return false;
    }
}

// The new bytes of a changed file, or nothing when they cannot be written faithfully: the new
// text does not fit the encoding, or the old text would not encode back to the old bytes.
std::optional<QByteArray> rewrittenBytes(const SearchableFileContent& content,
                                         const QString& newText) {
    if (!encodesBackToItsBytes(content))
        return std::nullopt;
    try {
        return encodeInLayout(newText, layoutOf(content.encoding, content.bytes));
    } catch (const FileError&) {
        return std::nullopt;
    }
}

// Every match replaced, or nothing when the expression needs more than its work bound for the
// text: such a file is left alone whole, never half replaced, and the run goes on.
std::optional<TextReplaceAllResult> replacedInText(const QString& query, const QString& replacement,
                                                   const QString& text,
                                                   const TextSearchOptions& options) {
    try {
        return replaceAllMatches(query, replacement, text, options);
    } catch (const RegexError& error) {
        if (!error.isTooCostly())
            throw;
        return std::nullopt;
    }
}

// How many matches a replacement would change, or nothing when the expression needs more than
// its work bound for the text, or the run was cancelled part-way: its counts are discarded.
std::optional<qsizetype> replacementsInText(const QString& query, QStringView text,
                                            const TextSearchOptions& options,
                                            const CancellationCheck& cancelled) {
    try {
        SearchScanner scanner(query, text, options);
        if (cancelled)
            scanner.stopWhen(cancelled);
        qsizetype count = 0;
        while (scanner.next())
            count += scanner.range().length > 0 ? 1 : 0;
        return count;
    } catch (const RegexError& error) {
        if (!error.isTooCostly() && !error.isCancelled())
            throw;
        return std::nullopt;
    }
}

// Backups are never rewritten: when the searched folder holds the backup store, the copies
// made by this very run would otherwise be found and changed too. The store is known by its
// identity, so no path to it (through a link to the searched folder, a bind mount) leads in.
// It may be made during the run, so it is looked for again until it exists.
class BackupStore {
public:
    bool isStore(const FileIdentity& folder) {
        if (!m_identity)
            m_identity = fileIdentity(m_path);
        return m_identity && *m_identity == folder;
    }

private:
    QString m_path = folderReplaceBackupsPath();
    std::optional<FileIdentity> m_identity;
};

// The walk of a folder run: out of the backup store, counting the files whose names are not
// valid UTF-8 (and so cannot be read by name) as skipped when the patterns take them.
FolderWalkOptions runWalkOptions(BackupStore& store, FolderPatternFilter& filter,
                                 FolderSearchSkippedFiles& skipped) {
    FolderWalkOptions options;
    options.excludesFolder = [&store](const FileIdentity& folder) { return store.isStore(folder); };
    options.unnamedFile = [&filter, &skipped](const QString& readablePath) {
        if (filter.accepts(readablePath))
            ++skipped.unnamedFileCount;
    };
    return options;
}

} // namespace

FolderReplacementPreview previewFolderReplacement(const QString& query, const QString& replacement,
                                                  const QUrl& folderURL, const QStringList& include,
                                                  const QStringList& exclude,
                                                  const TextSearchOptions& options,
                                                  const CancellationCheck& cancelled) {
    FolderReplacementPreview preview;
    if (query.isEmpty())
        return preview;
    const SecurityScopedAccess access(folderURL);
    const QString root = folderPathOfURL(folderURL);
    WildcardRegexCache cache;
    FolderPatternFilter filter(root, include, exclude, cache);
    BackupStore store;
    struct Counted {
        SearchableFileContent::Kind kind = SearchableFileContent::Kind::Text;
        qsizetype replacements = 0;
        std::optional<QUrl> costly;
    };
    OrderedFileJobs<Counted> jobs(
        [&](const QString& path) {
            if (isCancelled(cancelled))
                return Counted{};
            const SearchableFileContent content = loadSearchableText(path);
            if (content.kind != SearchableFileContent::Kind::Text)
                return Counted{content.kind, 0, {}};
            // Only counted: the dry run builds no new text, and a cancellation ends it inside
            // the file.
            const auto replacements = replacementsInText(query, content.text, options, cancelled);
            if (!replacements)
                return isCancelled(cancelled) ? Counted{}
                                              : Counted{content.kind, 0, QUrl::fromLocalFile(path)};
            if (*replacements > 0 && !encodesBackToItsBytes(content))
                return Counted{SearchableFileContent::Kind::EncodingFailed, 0, {}};
            return Counted{content.kind, *replacements, {}};
        },
        [&](Counted&& counted) {
            countSkipped(counted.kind, preview.skippedFiles);
            if (counted.costly)
                preview.skippedFiles.costlyFiles.append(*counted.costly);
            if (counted.replacements > 0) {
                preview.replacementCount += int(counted.replacements);
                ++preview.fileCount;
            }
        });
    FolderWalkOptions walkOptions = runWalkOptions(store, filter, preview.skippedFiles);
    walkOptions.runAhead = jobs.aheadRunner();
    walkFolderFiles(
        root, cancelled,
        [&](const QString& path) {
            if (filter.accepts(path))
                jobs.submit(path);
            return true;
        },
        walkOptions);
    jobs.finish();
    return preview;
}

FolderReplacementOutcome replaceInFolder(const QString& query, const QString& replacement,
                                         const QUrl& folderURL, const QStringList& include,
                                         const QStringList& exclude,
                                         const TextSearchOptions& options,
                                         const CancellationCheck& cancelled,
                                         FolderReplacementOutcome* doneBeforeError) {
    FolderReplacementOutcome outcome;
    if (query.isEmpty())
        return outcome;
    const SecurityScopedAccess access(folderURL);
    // What a stopped run left beside the files goes before this one reads them.
    settleUnfinishedFolderReplacements();
    const QString root = folderPathOfURL(folderURL);
    WildcardRegexCache cache;
    FolderPatternFilter filter(root, include, exclude, cache);
    BackupStore store;
    FolderReplacementRun run(folderURL);
    auto tally = [&] {
        outcome.replacementCount = int(run.replacementCount());
        outcome.changedFiles = run.changedFiles();
        outcome.fileCount = int(run.changedFiles().size());
        outcome.backupURL = run.runFolder();
        outcome.filesChangedDuringReplace = run.changedDuringReplace();
        outcome.filesWithOtherNames = run.withOtherNames();
        outcome.filesWithAttributesNotKept = run.attributesNotKept();
    };
    // Files are read and replaced in parallel, then backed up and rewritten in walk order a
    // batch at a time; the batch also bounds the new contents held in memory.
    QList<FolderRewrite> batch;
    qsizetype batchBytes = 0;
    bool committing = false;
    auto commitBatch = [&] {
        committing = true;
        run.commit(batch);
        committing = false;
        batch.clear();
        batchBytes = 0;
    };
    struct Planned {
        SearchableFileContent::Kind kind = SearchableFileContent::Kind::Text;
        std::optional<QUrl> costly;
        std::optional<FolderRewrite> rewrite;
    };
    OrderedFileJobs<Planned> jobs(
        [&](const QString& path) {
            // Every file the walk handed over is in hand, so a cancellation finishes it.
            const SearchableFileContent content = loadSearchableText(path);
            if (content.kind != SearchableFileContent::Kind::Text)
                return Planned{content.kind, {}, {}};
            const auto replaced = replacedInText(query, replacement, content.text, options);
            if (!replaced)
                return Planned{content.kind, QUrl::fromLocalFile(path), {}};
            if (replaced->count == 0)
                return Planned{};
            std::optional<QByteArray> bytes = rewrittenBytes(content, replaced->text);
            if (!bytes)
                return Planned{SearchableFileContent::Kind::EncodingFailed, {}, {}};
            const QByteArray sha256 = QCryptographicHash::hash(*bytes, QCryptographicHash::Sha256);
            return Planned{
                content.kind,
                {},
                FolderRewrite{path, std::move(*bytes), replaced->count, content.status, sha256}};
        },
        [&](Planned&& planned) {
            countSkipped(planned.kind, outcome.skippedFiles);
            if (planned.costly)
                outcome.skippedFiles.costlyFiles.append(*planned.costly);
            if (!planned.rewrite)
                return;
            batchBytes += planned.rewrite->bytes.size();
            batch.append(std::move(*planned.rewrite));
            if (batchBytes >= kBatchBytes || batch.size() >= kBatchFiles)
                commitBatch();
        },
        kRewritesAheadPerThread);
    FolderWalkOptions walkOptions = runWalkOptions(store, filter, outcome.skippedFiles);
    walkOptions.runAhead = jobs.aheadRunner();
    try {
        walkFolderFiles(
            root, cancelled,
            [&](const QString& path) {
                if (filter.accepts(path))
                    jobs.submit(path);
                return true;
            },
            walkOptions);
        jobs.finish();
        commitBatch();
        run.finish();
    } catch (...) {
        // The files found before a failed file are rewritten, as one at a time would have.
        if (!committing) {
            try {
                commitBatch();
            } catch (...) {
            }
        }
        try {
            run.finish();
        } catch (...) {
            // The run stays marked unfinished; the next folder operation settles it.
        }
        if (doneBeforeError) {
            tally();
            *doneBeforeError = outcome;
        }
        throw;
    }
    tally();
    return outcome;
}

} // namespace dunmoss
