#include "text/EditorTab.h"

#include "platform/Defaults.h"
#include "platform/FileError.h"
#include "platform/Localization.h"
#include "text/TextFileLoader.h"

#include <QFile>
#include <algorithm>
#include <cstdlib>
#include <limits>

namespace dunmoss {

namespace {

QString localPath(const std::optional<QUrl>& url) {
    return url ? url->toLocalFile() : QString();
}

std::optional<FileStatus> currentStatus(const std::optional<QUrl>& url) {
    if (!url)
        return std::nullopt;
    return statPath(localPath(url));
}

void readFileAttributesNow(EditorTab& tab) {
    takeKnownFileStatus(tab, currentStatus(tab.fileURL));
}

bool isValidSelection(const TextRange& range) {
    return range.location >= 0 && !range.isNotFound() && range.length >= 0;
}

bool loadedDiffersFromSaved(const PlainTextDocument& loaded,
                            const EditorSessionRestorePayload& payload) {
    return loaded.text != payload.savedSnapshot || loaded.encoding != payload.savedEncoding ||
           loaded.lineEnding != payload.savedLineEnding;
}

// The tab now shows the loaded file exactly as it is on disk: not modified, a preview
// read-only, what is known of the file read afresh.
void takeLoadedDocument(EditorTab& tab, const LoadedPlainTextDocument& loaded) {
    tab.document = loaded.document;
    tab.savedSnapshot = loaded.document.text;
    tab.savedEncoding = loaded.document.encoding;
    tab.savedLineEnding = loaded.document.lineEnding;
    tab.isReadOnly = loaded.isLargeFilePreview || loaded.isBinary;
    tab.isLargeFilePreview = loaded.isLargeFilePreview;
    tab.isBinary = loaded.isBinary;
    tab.originalByteCount = loaded.originalByteCount;
    readFileAttributesNow(tab);
    tab.hasExternalChanges = false;
    dropBookmarksBeyondLastLine(tab);
}

// What is known of the file when it holds exactly the bytes (looked at before and after they
// are read, the same both times); nothing when they differ or the file cannot be read.
std::optional<FileStatus> fileHoldingBytes(const QString& path, const QByteArray& expected) {
    const std::optional<FileStatus> before = statPath(path);
    if (!before || before->kind != FileKind::Regular || before->size != expected.size())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.read(expected.size() + 1) != expected)
        return std::nullopt;
    const std::optional<FileStatus> after = statPath(path);
    if (!after || after->modified != before->modified || after->size != before->size ||
        after->identity != before->identity)
        return std::nullopt;
    return before;
}

// A kill right after a save can leave the file holding what the tab stored while the record
// still has the file's date and size from before: the write landed, the record of it did not.
// A file that holds exactly the draft is the tab's saved text; one that holds exactly the saved
// text is what the tab knew. Either way the file is not changed on disk, and its date and size
// are taken as known. Anything else is left to the caller.
bool takeStoredTextOnDisk(EditorTab& tab) {
    const QString path = localPath(tab.fileURL);
    if (const std::optional<FileStatus> draft = fileHoldingExactly(path, tab.document)) {
        tab.savedSnapshot = tab.document.text;
        tab.savedEncoding = tab.document.encoding;
        tab.savedLineEnding = tab.document.lineEnding;
        takeKnownFileStatus(tab, draft);
        return true;
    }
    const PlainTextDocument saved{tab.savedSnapshot, tab.savedEncoding, tab.savedLineEnding, false};
    if (const std::optional<FileStatus> known = fileHoldingExactly(path, saved)) {
        takeKnownFileStatus(tab, known);
        return true;
    }
    return false;
}

// The stored session knew the file as it was when the noted write began: the note speaks of a
// write that came after everything the session knew. Any other note is older than a reload, a
// change kept, or someone else's write since, and proves nothing about the file. A note or a
// session without the file's identity and change time is not trusted.
bool sessionKnewFileBeforeWrite(const OwnWriteRecord& write,
                                const EditorSessionRestorePayload& payload) {
    const std::optional<FileStatus>& before = write.fileBefore;
    return before && payload.lastKnownFileSize && payload.lastKnownFileIdentity &&
           payload.lastKnownChangeTime && before->size == *payload.lastKnownFileSize &&
           before->identity == *payload.lastKnownFileIdentity &&
           !modificationDatesDiffer(before->modified, payload.lastKnownModificationDate) &&
           !changeTimesDiffer(before->changed, payload.lastKnownChangeTime);
}

// A kill can also come after the writer replaced the file with text newer than both stored
// texts. The writer noted those bytes first: a file holding exactly them is the tab's own,
// saved. Its text is what the tab shows when it was taken after the session was built (the
// draft is older); otherwise the newer draft stays, modified.
bool takeNotedWriteOnDisk(EditorTab& tab, const EditorSessionRestorePayload& payload) {
    const std::optional<OwnWriteRecord>& write = payload.lastWrite;
    if (!write || !tab.fileURL ||
        !isSameFileLocation(tab.fileURL, QUrl::fromLocalFile(write->path)) ||
        !sessionKnewFileBeforeWrite(*write, payload))
        return false;
    const QString path = localPath(tab.fileURL);
    PlainTextDocument written;
    QByteArray bytes;
    try {
        const LoadedPlainTextDocument loaded = loadTextFile(path, write->encoding);
        if (loaded.isLargeFilePreview || loaded.isBinary)
            return false;
        written =
            PlainTextDocument{loaded.document.text, write->encoding, write->lineEnding, false};
        bytes = fileDataForSaving(written);
    } catch (const std::exception&) {
        return false;
    }
    if (bytes.size() != write->size || ownWriteDigest(bytes) != write->digest)
        return false;
    const std::optional<FileStatus> held = fileHoldingBytes(path, bytes);
    if (!held)
        return false;
    if (!payload.sessionBuiltAt || write->takenAt > *payload.sessionBuiltAt) {
        tab.document = written;
        const qsizetype length = written.text.size();
        const auto clamped = [length](TextRange range) {
            range.location = std::min(range.location, length);
            range.length = std::min(range.length, length - range.location);
            return range;
        };
        tab.selectedRange = clamped(tab.selectedRange);
        for (TextRange& range : tab.selectedRanges)
            range = clamped(range);
        dropBookmarksBeyondLastLine(tab);
    }
    tab.savedSnapshot = written.text;
    tab.savedEncoding = written.encoding;
    tab.savedLineEnding = written.lineEnding;
    takeKnownFileStatus(tab, held);
    return true;
}

} // namespace

std::optional<FileStatus> fileHoldingExactly(const QString& path,
                                             const PlainTextDocument& document) {
    try {
        return fileHoldingBytes(path, fileDataForSaving(document));
    } catch (const FileError&) {
        return std::nullopt;
    }
}

void dropBookmarksBeyondLastLine(EditorTab& tab) {
    if (tab.bookmarkedLines.empty())
        return;
    // Counts line feeds only as far as the highest bookmark needs, so a text with its
    // bookmarks in place is not scanned to the end.
    const int highest = *tab.bookmarkedLines.rbegin();
    const QString& text = tab.document.text;
    int lines = 1;
    for (qsizetype feed = text.indexOf(u'\n'); feed >= 0 && lines < highest;
         feed = text.indexOf(u'\n', feed + 1))
        ++lines;
    tab.bookmarkedLines.erase(tab.bookmarkedLines.upper_bound(lines), tab.bookmarkedLines.end());
}

void dropBookmarksBeyondLastLine(EditorTab& tab, qsizetype lineCount) {
    const int last = int(std::min<qsizetype>(lineCount, std::numeric_limits<int>::max()));
    tab.bookmarkedLines.erase(tab.bookmarkedLines.upper_bound(last), tab.bookmarkedLines.end());
}

EditorTab untitledTab() {
    return EditorTab{};
}

EditorTab makeTabForLoadedFile(const QUrl& fileURL, const LoadedPlainTextDocument& loaded) {
    EditorTab tab;
    tab.fileURL = fileURL;
    takeLoadedDocument(tab, loaded);
    return tab;
}

void fillMissingFileAttributes(EditorTab& tab) {
    if (tab.lastKnownModificationDate && tab.lastKnownFileSize)
        return;
    const std::optional<FileStatus> status = currentStatus(tab.fileURL);
    if (!tab.lastKnownModificationDate && status)
        tab.lastKnownModificationDate = status->modified;
    if (!tab.lastKnownFileSize && status)
        tab.lastKnownFileSize = status->size;
}

void takeKnownFileStatus(EditorTab& tab, const std::optional<FileStatus>& status) {
    if (!status) {
        tab.lastKnownModificationDate.reset();
        tab.lastKnownFileSize.reset();
        tab.lastKnownFileIdentity.reset();
        tab.lastKnownChangeTime.reset();
        return;
    }
    tab.lastKnownModificationDate = status->modified;
    tab.lastKnownFileSize = status->size;
    tab.lastKnownFileIdentity = status->identity;
    tab.lastKnownChangeTime = status->changed;
}

bool tabIsModified(const EditorTab& tab) {
    if (tab.isReadOnly)
        return false;
    return tab.document.text != tab.savedSnapshot || tab.document.encoding != tab.savedEncoding ||
           tab.document.lineEnding != tab.savedLineEnding;
}

bool canSaveOverOriginalFile(const EditorTab& tab) {
    return !tab.isReadOnly && !tab.isLargeFilePreview;
}

bool canSaveTabTo(const EditorTab& tab, const QUrl& destination) {
    if (tab.isReadOnly)
        return false;
    if (!tab.isLargeFilePreview)
        return true;
    return !isSameFileLocation(tab.fileURL, destination);
}

const char* readOnlyEditBlockedKey(const EditorTab& tab) {
    return tab.isBinary && !tab.isLargeFilePreview ? lkey("binary-file.read-only-edit-blocked")
                                                   : lkey("large-file.read-only-edit-blocked");
}

const char* readOnlySaveBlockedKey(const EditorTab& tab) {
    return tab.isBinary && !tab.isLargeFilePreview ? lkey("binary-file.read-only-save-blocked")
                                                   : kLargeFileSaveBlockedKey;
}

void markSaved(EditorTab& tab, const std::optional<QUrl>& url) {
    if (url)
        tab.fileURL = url;
    tab.savedSnapshot = tab.document.text;
    tab.savedEncoding = tab.document.encoding;
    tab.savedLineEnding = tab.document.lineEnding;
    readFileAttributesNow(tab);
    tab.hasExternalChanges = false;
}

void markSavedAs(EditorTab& tab, const QUrl& url) {
    markSaved(tab, url);
    tab.isLargeFilePreview = false;
    tab.originalByteCount.reset();
}

void applyLoadedDocument(EditorTab& tab, const LoadedPlainTextDocument& loaded) {
    takeLoadedDocument(tab, loaded);
}

std::optional<QUuid> removePristineUntitledTab(QList<EditorTab>& tabs) {
    if (tabs.size() != 1)
        return std::nullopt;
    const EditorTab& only = tabs.first();
    if (!only.isUntitled() || tabIsModified(only) || !only.document.text.isEmpty())
        return std::nullopt;
    const QUuid id = only.id;
    tabs.clear();
    return id;
}

QString saveAllSummaryMessage(const std::function<QString(const QString&)>& localizer, int saved,
                              int failed, int externallyChanged) {
    // One pass over all placeholders, so a digit in one count can never be read as another.
    if (externallyChanged >= 1)
        return localizer(QString::fromLatin1(lkey("command.save-all.external-changes.format")))
            .arg(QString::number(saved), QString::number(failed),
                 QString::number(externallyChanged));
    if (failed >= 1)
        return localizer(QString::fromLatin1(lkey("command.save-all.partial.format")))
            .arg(QString::number(saved), QString::number(failed));
    return localizer(QString::fromLatin1(lkey("command.save-all.done.format")))
        .arg(QString::number(saved));
}

EditorTab makeTabFromRestorePayload(const EditorSessionRestorePayload& payload,
                                    const std::optional<LoadedPlainTextDocument>& loaded) {
    const bool draftUnchanged = payload.draftText == payload.savedSnapshot &&
                                payload.encoding == payload.savedEncoding &&
                                payload.lineEnding == payload.savedLineEnding;

    EditorTab tab;
    tab.id = payload.id;
    tab.fileURL = payload.fileURL;
    tab.languageOverride = payload.languageOverride;
    tab.selectedRange = payload.selectedRange;
    tab.bookmarkedLines = payload.bookmarkedLines;
    tab.selectedRanges.clear();
    for (const TextRange& range : payload.selectedRanges)
        if (isValidSelection(range))
            tab.selectedRanges.append(range);
    if (tab.selectedRanges.isEmpty())
        tab.selectedRanges.append(payload.selectedRange);

    if (loaded && draftUnchanged) {
        // The draft holds nothing the file lacks: the disk wins.
        takeLoadedDocument(tab, *loaded);
        return tab;
    }

    // Keep the draft.
    tab.document =
        PlainTextDocument{payload.draftText, payload.encoding, payload.lineEnding, false};
    dropBookmarksBeyondLastLine(tab);
    tab.savedSnapshot = payload.savedSnapshot;
    tab.savedEncoding = payload.savedEncoding;
    tab.savedLineEnding = payload.savedLineEnding;
    tab.originalByteCount = payload.originalByteCount;
    tab.lastKnownModificationDate = payload.lastKnownModificationDate;
    tab.lastKnownFileSize = payload.lastKnownFileSize;
    tab.lastKnownFileIdentity = payload.lastKnownFileIdentity;
    tab.lastKnownChangeTime = payload.lastKnownChangeTime;
    fillMissingFileAttributes(tab);

    // A changed draft of a preview becomes editable, but its text is still only the beginning
    // of the file, so it keeps the preview flag and can never be saved over that file.
    tab.isReadOnly = payload.isLargeFilePreview && draftUnchanged;
    tab.isLargeFilePreview = payload.isLargeFilePreview;

    if (tab.isUntitled()) {
        tab.hasExternalChanges = payload.hasExternalChanges.value_or(false);
        return tab;
    }
    bool changed = false;
    if (!draftUnchanged && (!loaded || loaded->isLargeFilePreview))
        changed = true;
    else if (!draftUnchanged && loadedDiffersFromSaved(loaded->document, payload))
        // The text is read already: what it says outweighs a date that may keep only whole
        // seconds.
        changed = true;
    else
        changed = payload.hasExternalChanges.value_or(false) || hasTabFileChangedOnDisk(tab);
    // A preview's draft is only the beginning of its file, never what the file holds.
    tab.hasExternalChanges =
        changed && (payload.isLargeFilePreview ||
                    (!takeStoredTextOnDisk(tab) && !takeNotedWriteOnDisk(tab, payload)));
    return tab;
}

QList<EditorTab> tabsOrNewUntitled(const QList<EditorTab>& tabs) {
    if (tabs.isEmpty())
        return {untitledTab()};
    return tabs;
}

bool hasFileChangedOnDisk(const QUrl& fileURL, const std::optional<FileTimestamp>& lastKnownDate,
                          const std::optional<qint64>& lastKnownSize,
                          const std::optional<FileIdentity>& lastKnownIdentity,
                          const std::optional<FileTimestamp>& lastKnownChangeTime) {
    const std::optional<FileStatus> status = statPath(fileURL.toLocalFile());
    if (!status)
        return lastKnownDate || lastKnownSize || lastKnownIdentity;
    if (modificationDatesDiffer(status->modified, lastKnownDate))
        return true;
    if (lastKnownSize && status->size != *lastKnownSize)
        return true;
    if (lastKnownIdentity && status->identity != *lastKnownIdentity)
        return true;
    return lastKnownChangeTime && changeTimesDiffer(status->changed, lastKnownChangeTime);
}

bool hasTabFileChangedOnDisk(const EditorTab& tab) {
    return tab.fileURL &&
           hasFileChangedOnDisk(*tab.fileURL, tab.lastKnownModificationDate, tab.lastKnownFileSize,
                                tab.lastKnownFileIdentity, tab.lastKnownChangeTime);
}

namespace {

bool timesDiffer(const std::optional<FileTimestamp>& a, const std::optional<FileTimestamp>& b,
                 qint64 toleranceNs) {
    if (!a && !b)
        return false;
    if (!a || !b)
        return true;
    // Whole seconds first, so extreme stored values cannot overflow, then the nanosecond
    // difference of dates at most a second apart.
    qint64 seconds = 0;
    if (__builtin_sub_overflow(a->seconds, b->seconds, &seconds) || seconds > 1 || seconds < -1)
        return true;
    const qint64 nanoseconds = seconds * 1'000'000'000 + (a->nanoseconds - b->nanoseconds);
    return std::llabs(nanoseconds) > toleranceNs;
}

} // namespace

bool modificationDatesDiffer(const std::optional<FileTimestamp>& a,
                             const std::optional<FileTimestamp>& b) {
    return timesDiffer(a, b, 1'000'000);
}

bool changeTimesDiffer(const std::optional<FileTimestamp>& a,
                       const std::optional<FileTimestamp>& b) {
    return timesDiffer(a, b, 1'000);
}

bool isSameFileLocation(const std::optional<QUrl>& a, const QUrl& b) {
    if (!a)
        return false;
    const QString pathA = a->toLocalFile();
    const QString pathB = b.toLocalFile();
    const QString canonicalA = canonicalFilePath(pathA);
    const QString canonicalB = canonicalFilePath(pathB);
    if (!canonicalA.isEmpty() && canonicalA == canonicalB)
        return true;
    const std::optional<FileIdentity> idA = fileIdentity(pathA);
    const std::optional<FileIdentity> idB = fileIdentity(pathB);
    return idA && idB && *idA == *idB;
}

std::optional<QString> takeSessionSaveFailedNotice(Defaults& defaults) {
    const QString key = QString::fromLatin1(kSessionSaveFailedNoticeKey);
    const std::optional<QString> notice = defaults.stringValue(key);
    if (!notice || notice->isEmpty())
        return std::nullopt;
    defaults.remove(key);
    return notice;
}

} // namespace dunmoss
