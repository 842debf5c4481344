#pragma once

#include "platform/FileStat.h"
#include "platform/Localization.h"
#include "platform/TextRange.h"
#include "text/EditorLanguage.h"
#include "text/OwnWriteRecord.h"
#include "text/PlainTextDocument.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <functional>
#include <optional>
#include <set>

namespace dunmoss {

class Defaults;

inline constexpr const char* kSessionSaveFailedNoticeKey = "editor.session.saveFailed.notice";
// The status shown when Save or autosave refuses a tab (see canSaveOverOriginalFile).
inline constexpr const char* kLargeFileSaveBlockedKey = lkey("large-file.read-only-save-blocked");

// One open document of an editor window. A plain value: the window replaces it whenever it
// changes and finds it again by `id`.
struct EditorTab {
    QUuid id = QUuid::createUuid();
    PlainTextDocument document;
    // A local file URL; absent for an untitled tab.
    std::optional<QUrl> fileURL;
    // Absent: the language follows the file extension.
    std::optional<EditorLanguage> languageOverride;
    TextRange selectedRange{0, 0};
    QList<TextRange> selectedRanges{TextRange{0, 0}};
    QString savedSnapshot;
    TextFileEncoding savedEncoding = TextFileEncoding::Utf8;
    TextLineEnding savedLineEnding = TextLineEnding::LineFeed;
    // Line numbers starting at 1.
    std::set<int> bookmarkedLines;
    // What was last seen of the file on disk. Its identity and change time are absent where
    // they are not known (a session stored by an older version): then only date and size count.
    std::optional<FileTimestamp> lastKnownModificationDate;
    std::optional<qint64> lastKnownFileSize;
    std::optional<FileIdentity> lastKnownFileIdentity;
    std::optional<FileTimestamp> lastKnownChangeTime;
    bool hasExternalChanges = false;
    bool isReadOnly = false;
    // The text is only the beginning of a large file. Such text must never be written over
    // that file, even when the tab has become editable (see canSaveOverOriginalFile).
    bool isLargeFilePreview = false;
    // The whole file's size as reported when it was loaded.
    std::optional<qint64> originalByteCount;
    // The file's bytes are not text: its decoded text would not write them back as they were
    // (line breaks, the fallback's reading), so the tab is read-only. Decided at every load.
    bool isBinary = false;

    bool isUntitled() const { return !fileURL.has_value(); }
};

// The values a tab is rebuilt from when a session is restored.
struct EditorSessionRestorePayload {
    QUuid id;
    std::optional<QUrl> fileURL;
    std::optional<EditorLanguage> languageOverride;
    QString draftText;
    QString savedSnapshot;
    TextRange selectedRange{0, 0};
    QList<TextRange> selectedRanges;
    TextFileEncoding encoding = TextFileEncoding::Utf8;
    TextLineEnding lineEnding = TextLineEnding::LineFeed;
    TextFileEncoding savedEncoding = TextFileEncoding::Utf8;
    TextLineEnding savedLineEnding = TextLineEnding::LineFeed;
    std::set<int> bookmarkedLines;
    std::optional<FileTimestamp> lastKnownModificationDate;
    std::optional<qint64> lastKnownFileSize;
    std::optional<FileIdentity> lastKnownFileIdentity;
    std::optional<FileTimestamp> lastKnownChangeTime;
    // Absent when the stored record lacks it.
    std::optional<bool> hasExternalChanges;
    bool isReadOnly = false;
    bool isLargeFilePreview = false;
    std::optional<qint64> originalByteCount;
    // The tab's last write as the writer noted it, and when the stored session was built.
    std::optional<OwnWriteRecord> lastWrite;
    std::optional<double> sessionBuiltAt;
};

// A new, empty, unsaved tab with a fresh identifier.
EditorTab untitledTab();

// A tab for a file just read from disk: not modified; a large-file preview or a binary file is
// read-only.
EditorTab makeTabForLoadedFile(const QUrl& fileURL, const LoadedPlainTextDocument& loaded);

// Reads an absent modification date or size from the tab's file, as building a tab does.
void fillMissingFileAttributes(EditorTab& tab);

// What the tab knows of its file from one look at it (nothing: the file is missing).
void takeKnownFileStatus(EditorTab& tab, const std::optional<FileStatus>& status);

// Not read-only, and the text, encoding or line ending differs from what was last saved.
bool tabIsModified(const EditorTab& tab);

// Whether Save and autosave may write the tab's text to its own file. False for text that is
// only the beginning of a large file: writing it back would cut the file short. Save and
// autosave refuse such a tab with kLargeFileSaveBlockedKey; Save As to another file stays
// allowed (check canSaveTabTo, then markSavedAs).
bool canSaveOverOriginalFile(const EditorTab& tab);

// Whether Save As may write the tab's text to the destination: not over the large file its
// text was cut from.
bool canSaveTabTo(const EditorTab& tab, const QUrl& destination);

// The keys of the statuses that refuse an edit or a save of a read-only tab, saying why it is.
const char* readOnlyEditBlockedKey(const EditorTab& tab);
const char* readOnlySaveBlockedKey(const EditorTab& tab);

// After a successful write, optionally to a new location.
void markSaved(EditorTab& tab, const std::optional<QUrl>& url = std::nullopt);

// After a successful Save As: the destination now holds the whole text, so the tab no longer
// stands for the beginning of a larger file.
void markSavedAs(EditorTab& tab, const QUrl& url);

// Bookmarks name lines of the text: those past its last line go when the text is restored,
// reloaded or shortened.
void dropBookmarksBeyondLastLine(EditorTab& tab);
// The same with the text's line count known (kept in step with its edits): nothing is counted.
void dropBookmarksBeyondLastLine(EditorTab& tab, qsizetype lineCount);

// After a reload or a reopen with another encoding.
void applyLoadedDocument(EditorTab& tab, const LoadedPlainTextDocument& loaded);

// Drops the single empty, unmodified untitled tab before a file is added; returns its id so the
// caller can drop its undo stack and text storage.
std::optional<QUuid> removePristineUntitledTab(QList<EditorTab>& tabs);

// The status line after Save All; the localiser turns a key into its format string.
QString saveAllSummaryMessage(const std::function<QString(const QString&)>& localizer, int saved,
                              int failed, int externallyChanged);

// Rebuilds a tab from the session, preferring the file on disk when the draft was unchanged. A
// changed draft's file is changed on disk when its text differs from the saved text or its
// identity, change time, date or size from the stored ones, unless its bytes are exactly those
// of the stored draft (the tab is then saved at it), of the saved text, or of the tab's last
// noted write where the session knew the file as it was before that write; what is known of the
// file is then read afresh. A noted write whose text was taken after the session was built is
// newer than the draft: the tab shows it, saved. Reads the file: not on the window's thread.
EditorTab makeTabFromRestorePayload(const EditorSessionRestorePayload& payload,
                                    const std::optional<LoadedPlainTextDocument>& loaded);

QList<EditorTab> tabsOrNewUntitled(const QList<EditorTab>& tabs);

// What is known of the file when its bytes are exactly those the document is written as (the
// file looked at before and after they are read, the same both times); nothing when they
// differ, the file cannot be read, or the text cannot be encoded. Reads the file.
std::optional<FileStatus> fileHoldingExactly(const QString& path,
                                             const PlainTextDocument& document);

// True when the file's date or size differs from what was last known, or when it vanished after
// something was known about it. An identity or change time given counts too: a file renamed into
// place is another file, and one rewritten in place moves its change time even when its date
// is set back or stays within the second a coarse file system keeps.
bool hasFileChangedOnDisk(const QUrl& fileURL, const std::optional<FileTimestamp>& lastKnownDate,
                          const std::optional<qint64>& lastKnownSize,
                          const std::optional<FileIdentity>& lastKnownIdentity = {},
                          const std::optional<FileTimestamp>& lastKnownChangeTime = {});
// The same against all the tab knows of its file.
bool hasTabFileChangedOnDisk(const EditorTab& tab);

// More than a millisecond apart, or exactly one of them absent.
bool modificationDatesDiffer(const std::optional<FileTimestamp>& a,
                             const std::optional<FileTimestamp>& b);
// More than a microsecond apart (what a time kept as seconds in a double may lose), or exactly
// one of them absent: the kernel's clock moves the change time a millisecond or more.
bool changeTimesDiffer(const std::optional<FileTimestamp>& a,
                       const std::optional<FileTimestamp>& b);

// Same canonical path, or failing that the same file identity (hard links).
bool isSameFileLocation(const std::optional<QUrl>& a, const QUrl& b);

// The message left by a failed session save, returned once.
std::optional<QString> takeSessionSaveFailedNotice(Defaults& defaults);

} // namespace dunmoss
