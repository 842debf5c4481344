#include "text/EditorTab.h"
#include "platform/Defaults.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace dunmoss;

namespace {

class TempFiles {
public:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QUrl url(const QString& name) const { return QUrl::fromLocalFile(path(name)); }

    QUrl write(const QString& name, const QByteArray& bytes) const {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        return url(name);
    }

    void setModified(const QString& name, qint64 seconds, qint64 nanoseconds) const {
        const timespec times[2] = {{static_cast<time_t>(seconds), static_cast<long>(nanoseconds)},
                                   {static_cast<time_t>(seconds), static_cast<long>(nanoseconds)}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path(name)).constData(), times, 0), 0);
    }

private:
    QTemporaryDir m_dir;
};

LoadedPlainTextDocument loaded(const QString& text, bool preview = false,
                               std::optional<qint64> byteCount = std::nullopt) {
    LoadedPlainTextDocument result;
    result.document.text = text;
    result.isLargeFilePreview = preview;
    result.originalByteCount = byteCount;
    return result;
}

EditorSessionRestorePayload payloadFor(std::optional<QUrl> url, const QString& draft,
                                       const QString& saved) {
    EditorSessionRestorePayload payload;
    payload.id = QUuid::createUuid();
    payload.fileURL = std::move(url);
    payload.draftText = draft;
    payload.savedSnapshot = saved;
    payload.selectedRange = TextRange{1, 2};
    payload.selectedRanges = {TextRange{1, 2}};
    return payload;
}

} // namespace

TEST(EditorTabModified, FollowsTextEncodingAndLineEndingUnlessReadOnly) {
    EditorTab tab = untitledTab();
    EXPECT_FALSE(tabIsModified(tab));

    tab.document.lineEnding = TextLineEnding::CarriageReturnLineFeed;
    EXPECT_TRUE(tabIsModified(tab));
    tab.document.lineEnding = TextLineEnding::LineFeed;
    EXPECT_FALSE(tabIsModified(tab));

    tab.document.encoding = TextFileEncoding::Gb18030;
    EXPECT_TRUE(tabIsModified(tab));
    tab.document.encoding = TextFileEncoding::Utf8;

    tab.document.text = QStringLiteral("typed");
    EXPECT_TRUE(tabIsModified(tab));
    tab.isReadOnly = true;
    EXPECT_FALSE(tabIsModified(tab));
}

TEST(EditorTabBuilding, UntitledTabIsEmptyAndFresh) {
    const EditorTab a = untitledTab();
    const EditorTab b = untitledTab();
    EXPECT_NE(a.id, b.id);
    EXPECT_TRUE(a.isUntitled());
    EXPECT_TRUE(a.document.text.isEmpty());
    EXPECT_EQ(a.document.encoding, TextFileEncoding::Utf8);
    EXPECT_EQ(a.document.lineEnding, TextLineEnding::LineFeed);
    EXPECT_EQ(a.selectedRange, (TextRange{0, 0}));
    EXPECT_EQ(a.selectedRanges, (QList<TextRange>{TextRange{0, 0}}));
    EXPECT_FALSE(a.lastKnownModificationDate || a.lastKnownFileSize || a.originalByteCount);
    EXPECT_FALSE(a.hasExternalChanges || a.isReadOnly || a.isLargeFilePreview);
}

TEST(EditorTabBuilding, LoadedFileReadsAttributesAndPreviewIsReadOnly) {
    TempFiles files;
    const QUrl url = files.write(QStringLiteral("a.txt"), "hello");
    const EditorTab tab = makeTabForLoadedFile(url, loaded(QStringLiteral("hello")));
    EXPECT_EQ(tab.lastKnownFileSize, 5);
    EXPECT_TRUE(tab.lastKnownModificationDate.has_value());
    EXPECT_FALSE(tabIsModified(tab));
    EXPECT_FALSE(tab.isReadOnly);

    const EditorTab preview =
        makeTabForLoadedFile(url, loaded(QStringLiteral("he"), true, 6'000'000));
    EXPECT_TRUE(preview.isReadOnly);
    EXPECT_TRUE(preview.isLargeFilePreview);
    EXPECT_EQ(preview.originalByteCount, 6'000'000);
}

TEST(EditorTabList, RemovePristineUntitledTabOnlyForOneEmptyUntitledTab) {
    QList<EditorTab> single{untitledTab()};
    const QUuid id = single.first().id;
    EXPECT_EQ(removePristineUntitledTab(single), id);
    EXPECT_TRUE(single.isEmpty());

    QList<EditorTab> two{untitledTab(), untitledTab()};
    EXPECT_FALSE(removePristineUntitledTab(two));
    EXPECT_EQ(two.size(), 2);

    QList<EditorTab> fileBacked{untitledTab()};
    fileBacked.first().fileURL = QUrl::fromLocalFile(QStringLiteral("/tmp/x.txt"));
    EXPECT_FALSE(removePristineUntitledTab(fileBacked));
    EXPECT_EQ(fileBacked.size(), 1);

    QList<EditorTab> typed{untitledTab()};
    typed.first().document.text = QStringLiteral("a");
    EXPECT_FALSE(removePristineUntitledTab(typed));
    EXPECT_EQ(typed.size(), 1);

    // Unmodified but not empty (a read-only tab with text) is not pristine either.
    QList<EditorTab> readOnlyText{untitledTab()};
    readOnlyText.first().isReadOnly = true;
    readOnlyText.first().document.text = QStringLiteral("a");
    EXPECT_FALSE(removePristineUntitledTab(readOnlyText));
}

TEST(EditorTabList, TabsOrNewUntitled) {
    const QList<EditorTab> none = tabsOrNewUntitled({});
    ASSERT_EQ(none.size(), 1);
    EXPECT_TRUE(none.first().isUntitled());

    const EditorTab a = untitledTab();
    const QList<EditorTab> kept = tabsOrNewUntitled({a});
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(kept.first().id, a.id);
}

TEST(EditorTabSaveAll, ChoosesFormatByCountsAndFillsInOrder) {
    QStringList asked;
    const auto localizer = [&asked](const QString& key) {
        asked.append(key);
        return key + QStringLiteral(" [%1] [%2] [%3]");
    };
    EXPECT_EQ(saveAllSummaryMessage(localizer, 3, 0, 0),
              QStringLiteral("command.save-all.done.format [3] [%2] [%3]"));
    EXPECT_EQ(saveAllSummaryMessage(localizer, 2, 1, 0),
              QStringLiteral("command.save-all.partial.format [2] [1] [%3]"));
    EXPECT_EQ(saveAllSummaryMessage(localizer, 2, 1, 1),
              QStringLiteral("command.save-all.external-changes.format [2] [1] [1]"));
    EXPECT_EQ(saveAllSummaryMessage(localizer, 0, 0, 4),
              QStringLiteral("command.save-all.external-changes.format [0] [0] [4]"));
    EXPECT_EQ(asked.size(), 4);
}

TEST(EditorTabSaveAll, CountsAreNotReadAsPlaceholders) {
    // A translation may put the placeholders in another order; each count lands in its own.
    const auto localizer = [](const QString&) { return QStringLiteral("%2 of %1, %3"); };
    EXPECT_EQ(saveAllSummaryMessage(localizer, 12, 3, 1), QStringLiteral("3 of 12, 1"));
}

TEST(EditorTabFileState, ModificationDatesDifferByMoreThanOneMillisecond) {
    const FileTimestamp base{1'700'000'000, 999'800'000};
    EXPECT_FALSE(modificationDatesDiffer(std::nullopt, std::nullopt));
    EXPECT_TRUE(modificationDatesDiffer(base, std::nullopt));
    EXPECT_TRUE(modificationDatesDiffer(std::nullopt, base));
    EXPECT_FALSE(modificationDatesDiffer(base, base));
    // 0.0005 s apart across a second boundary.
    EXPECT_FALSE(modificationDatesDiffer(base, FileTimestamp{1'700'000'001, 300'000}));
    EXPECT_TRUE(modificationDatesDiffer(base, FileTimestamp{1'700'000'001, 1'800'000}));
    EXPECT_FALSE(modificationDatesDiffer(base, FileTimestamp{1'700'000'000, 998'800'000}));
    EXPECT_TRUE(modificationDatesDiffer(FileTimestamp{1'700'000'001, 1'800'000}, base));
    EXPECT_TRUE(modificationDatesDiffer(base, FileTimestamp{0, 0}));
    EXPECT_TRUE(modificationDatesDiffer(FileTimestamp{std::numeric_limits<qint64>::max(), 0},
                                        FileTimestamp{std::numeric_limits<qint64>::min(), 0}));
}

TEST(EditorTabFileState, HasFileChangedOnDisk) {
    TempFiles files;
    const QUrl missing = files.url(QStringLiteral("missing.txt"));
    EXPECT_FALSE(hasFileChangedOnDisk(missing, std::nullopt, std::nullopt));
    EXPECT_TRUE(hasFileChangedOnDisk(missing, std::nullopt, 10));
    EXPECT_TRUE(hasFileChangedOnDisk(missing, FileTimestamp{5, 0}, std::nullopt));

    const QUrl url = files.write(QStringLiteral("f.txt"), "abc");
    files.setModified(QStringLiteral("f.txt"), 1'600'000'000, 250'000'000);
    const FileTimestamp date{1'600'000'000, 250'000'000};
    EXPECT_FALSE(hasFileChangedOnDisk(url, date, 3));
    EXPECT_TRUE(hasFileChangedOnDisk(url, date, 2));
    EXPECT_FALSE(hasFileChangedOnDisk(url, FileTimestamp{1'600'000'000, 250'400'000}, 3));
    EXPECT_TRUE(hasFileChangedOnDisk(url, FileTimestamp{1'600'000'000, 252'000'000}, 3));
    // Nothing known about an existing file: its date now counts as a change.
    EXPECT_TRUE(hasFileChangedOnDisk(url, std::nullopt, std::nullopt));
    EXPECT_FALSE(hasFileChangedOnDisk(url, date, std::nullopt));
}

TEST(EditorTabFileState, MarkSavedAndApplyLoadedDocument) {
    TempFiles files;
    const QUrl url = files.write(QStringLiteral("s.txt"), "saved!");
    EditorTab tab = untitledTab();
    tab.document.text = QStringLiteral("saved!");
    tab.document.lineEnding = TextLineEnding::CarriageReturn;
    tab.hasExternalChanges = true;
    tab.bookmarkedLines = {3};
    markSaved(tab, url);
    EXPECT_EQ(tab.fileURL, url);
    EXPECT_FALSE(tabIsModified(tab));
    EXPECT_EQ(tab.savedLineEnding, TextLineEnding::CarriageReturn);
    EXPECT_EQ(tab.lastKnownFileSize, 6);
    EXPECT_FALSE(tab.hasExternalChanges);
    EXPECT_EQ(tab.bookmarkedLines, std::set<int>{3});

    // Without a URL the file stays; attributes are read again.
    files.write(QStringLiteral("s.txt"), "saved again");
    tab.document.text = QStringLiteral("saved again");
    markSaved(tab);
    EXPECT_EQ(tab.fileURL, url);
    EXPECT_EQ(tab.lastKnownFileSize, 11);

    tab.document.text = QStringLiteral("edited");
    tab.selectedRange = TextRange{2, 1};
    applyLoadedDocument(tab, loaded(QStringLiteral("from disk"), true, 9'000'000));
    EXPECT_EQ(tab.document.text, QStringLiteral("from disk"));
    EXPECT_EQ(tab.savedSnapshot, QStringLiteral("from disk"));
    EXPECT_TRUE(tab.isReadOnly);
    EXPECT_TRUE(tab.isLargeFilePreview);
    EXPECT_EQ(tab.originalByteCount, 9'000'000);
    EXPECT_EQ(tab.selectedRange, (TextRange{2, 1}));

    EditorTab untitled = untitledTab();
    untitled.lastKnownFileSize = 4;
    markSaved(untitled);
    EXPECT_FALSE(untitled.lastKnownFileSize.has_value());
}

TEST(EditorTabRestore, UnchangedDraftTakesTheFileOnDisk) {
    TempFiles files;
    const QUrl url = files.write(QStringLiteral("r.txt"), "new disk text");
    EditorSessionRestorePayload payload =
        payloadFor(url, QStringLiteral("old"), QStringLiteral("old"));
    payload.bookmarkedLines = {1, 4};
    payload.hasExternalChanges = true;
    payload.lastKnownFileSize = 3;
    const EditorTab tab =
        makeTabFromRestorePayload(payload, loaded(QStringLiteral("new disk text")));
    EXPECT_EQ(tab.id, payload.id);
    EXPECT_EQ(tab.document.text, QStringLiteral("new disk text"));
    EXPECT_FALSE(tabIsModified(tab));
    EXPECT_FALSE(tab.hasExternalChanges);
    EXPECT_EQ(tab.lastKnownFileSize, 13);
    // The file on disk has one line: the bookmark on line 4 goes.
    EXPECT_EQ(tab.bookmarkedLines, (std::set<int>{1}));
    EXPECT_EQ(tab.selectedRange, (TextRange{1, 2}));
}

TEST(EditorTabRestore, ChangedDraftOfMissingFileIsKeptAndFlagged) {
    TempFiles files;
    EditorSessionRestorePayload payload = payloadFor(
        files.url(QStringLiteral("gone.txt")), QStringLiteral("draft"), QStringLiteral("saved"));
    payload.hasExternalChanges = false;
    payload.lastKnownFileSize = 5;
    payload.encoding = TextFileEncoding::Big5;
    payload.savedEncoding = TextFileEncoding::Big5;
    payload.bookmarkedLines = {1, 2, 5};
    const EditorTab tab = makeTabFromRestorePayload(payload, std::nullopt);
    EXPECT_EQ(tab.document.text, QStringLiteral("draft"));
    EXPECT_EQ(tab.bookmarkedLines, std::set<int>{1});
    EXPECT_EQ(tab.document.encoding, TextFileEncoding::Big5);
    EXPECT_TRUE(tabIsModified(tab));
    EXPECT_TRUE(tab.hasExternalChanges);
}

TEST(EditorTabRestore, UntitledDraftUsesStoredFlag) {
    EditorSessionRestorePayload payload =
        payloadFor(std::nullopt, QStringLiteral("notes"), QString());
    EditorTab tab = makeTabFromRestorePayload(payload, std::nullopt);
    EXPECT_FALSE(tab.hasExternalChanges);
    EXPECT_TRUE(tabIsModified(tab));
    EXPECT_FALSE(tab.lastKnownModificationDate.has_value());
    payload.hasExternalChanges = true;
    EXPECT_TRUE(makeTabFromRestorePayload(payload, std::nullopt).hasExternalChanges);
}

TEST(EditorTabRestore, ChangedDraftComparesWholeLoadedFileWithTheSavedText) {
    TempFiles files;
    // Neither stored text: a file holding one is never changed on disk.
    const QUrl url = files.write(QStringLiteral("c.txt"), "other");
    files.setModified(QStringLiteral("c.txt"), 1'500'000'000, 0);
    EditorSessionRestorePayload payload =
        payloadFor(url, QStringLiteral("draft"), QStringLiteral("saved"));
    payload.lastKnownModificationDate = FileTimestamp{1'500'000'000, 0};
    // No stored flag and no stored size: the loaded text decides.
    EXPECT_FALSE(
        makeTabFromRestorePayload(payload, loaded(QStringLiteral("saved"))).hasExternalChanges);
    EXPECT_TRUE(
        makeTabFromRestorePayload(payload, loaded(QStringLiteral("other"))).hasExternalChanges);

    // With both stored, the loaded text still decides (a rewrite within the second that a coarse
    // file system keeps leaves date and size as they were), and the file's attributes too.
    payload.hasExternalChanges = false;
    payload.lastKnownFileSize = 5;
    EXPECT_TRUE(
        makeTabFromRestorePayload(payload, loaded(QStringLiteral("other"))).hasExternalChanges);
    EXPECT_FALSE(
        makeTabFromRestorePayload(payload, loaded(QStringLiteral("saved"))).hasExternalChanges);
    payload.lastKnownFileSize = 6;
    EXPECT_TRUE(
        makeTabFromRestorePayload(payload, loaded(QStringLiteral("saved"))).hasExternalChanges);
    payload.lastKnownFileSize = 5;
    payload.hasExternalChanges = true;
    EXPECT_TRUE(
        makeTabFromRestorePayload(payload, loaded(QStringLiteral("saved"))).hasExternalChanges);

    // A changed draft of a file that now loads only as a preview is always flagged.
    payload.hasExternalChanges = false;
    EXPECT_TRUE(
        makeTabFromRestorePayload(payload, loaded(QStringLiteral("sav"), true)).hasExternalChanges);
}

TEST(EditorTabRestore, PreviewStaysPreviewAndChangedDraftCannotOverwriteTheFile) {
    TempFiles files;
    const QUrl url = files.write(QStringLiteral("big.log"), "beginning and much more");
    EditorSessionRestorePayload payload =
        payloadFor(url, QStringLiteral("beginning"), QStringLiteral("beginning"));
    payload.isReadOnly = true;
    payload.isLargeFilePreview = true;
    payload.originalByteCount = 6'000'000;

    const EditorTab fresh =
        makeTabFromRestorePayload(payload, loaded(QStringLiteral("beginning"), true, 6'000'000));
    EXPECT_TRUE(fresh.isReadOnly);
    EXPECT_TRUE(fresh.isLargeFilePreview);
    EXPECT_FALSE(canSaveOverOriginalFile(fresh));

    const EditorTab kept = makeTabFromRestorePayload(payload, std::nullopt);
    EXPECT_TRUE(kept.isReadOnly);
    EXPECT_TRUE(kept.isLargeFilePreview);
    EXPECT_EQ(kept.originalByteCount, 6'000'000);

    // A changed draft becomes editable, but its text is still only the file's beginning.
    payload.draftText = QStringLiteral("beginning, edited");
    const EditorTab edited =
        makeTabFromRestorePayload(payload, loaded(QStringLiteral("beginning"), true, 6'000'000));
    EXPECT_FALSE(edited.isReadOnly);
    EXPECT_TRUE(tabIsModified(edited));
    EXPECT_TRUE(edited.isLargeFilePreview);
    EXPECT_FALSE(canSaveOverOriginalFile(edited));
    EXPECT_FALSE(canSaveTabTo(edited, url));
    EXPECT_TRUE(canSaveTabTo(edited, files.url(QStringLiteral("copy.log"))));

    // Saved elsewhere, the new file holds the whole text: saving over it is fine again.
    files.write(QStringLiteral("copy.log"), "beginning, edited");
    EditorTab savedAs = edited;
    markSavedAs(savedAs, files.url(QStringLiteral("copy.log")));
    EXPECT_FALSE(savedAs.isLargeFilePreview);
    EXPECT_FALSE(savedAs.originalByteCount.has_value());
    EXPECT_TRUE(canSaveOverOriginalFile(savedAs));
    EXPECT_FALSE(tabIsModified(savedAs));

    // Plain markSaved (a write in place) does not lift the flag.
    EditorTab inPlace = edited;
    markSaved(inPlace);
    EXPECT_TRUE(inPlace.isLargeFilePreview);
}

TEST(EditorTabRestore, InvalidSelectionsFallBackToSelectedRange) {
    EditorSessionRestorePayload payload = payloadFor(std::nullopt, QString(), QString());
    payload.selectedRange = TextRange{3, 0};
    payload.selectedRanges = {TextRange{-1, 0}, TextRange{2, -4}, TextRange::notFound()};
    EXPECT_EQ(makeTabFromRestorePayload(payload, std::nullopt).selectedRanges,
              (QList<TextRange>{TextRange{3, 0}}));

    payload.selectedRanges = {TextRange{-1, 0}, TextRange{5, 2}, TextRange{0, 0}};
    EXPECT_EQ(makeTabFromRestorePayload(payload, std::nullopt).selectedRanges,
              (QList<TextRange>{TextRange{5, 2}, TextRange{0, 0}}));
}

TEST(EditorTabLocation, SameFileThroughLinksAndDotDot) {
    TempFiles files;
    const QUrl file = files.write(QStringLiteral("target.txt"), "x");
    const QUrl other = files.write(QStringLiteral("other.txt"), "x");
    ASSERT_TRUE(QFile::link(files.path(QStringLiteral("target.txt")),
                            files.path(QStringLiteral("link.txt"))));
    ASSERT_EQ(::link(QFile::encodeName(files.path(QStringLiteral("target.txt"))).constData(),
                     QFile::encodeName(files.path(QStringLiteral("hard.txt"))).constData()),
              0);
    QDir(files.path(QString())).mkdir(QStringLiteral("sub"));

    EXPECT_TRUE(isSameFileLocation(file, file));
    EXPECT_TRUE(isSameFileLocation(file, files.url(QStringLiteral("link.txt"))));
    EXPECT_TRUE(isSameFileLocation(files.url(QStringLiteral("hard.txt")), file));
    EXPECT_TRUE(isSameFileLocation(file, files.url(QStringLiteral("sub/../target.txt"))));
    EXPECT_FALSE(isSameFileLocation(file, other));
    EXPECT_FALSE(isSameFileLocation(std::nullopt, file));

    // Missing files compare by their cleaned paths; URLs without a path never match.
    EXPECT_TRUE(isSameFileLocation(files.url(QStringLiteral("sub/../gone.txt")),
                                   files.url(QStringLiteral("gone.txt"))));
    EXPECT_FALSE(isSameFileLocation(files.url(QStringLiteral("gone.txt")),
                                    files.url(QStringLiteral("gone2.txt"))));
    EXPECT_FALSE(isSameFileLocation(QUrl(QStringLiteral("https://example.com/a")),
                                    QUrl(QStringLiteral("https://example.com/a"))));
}

TEST(EditorTabNotice, SessionSaveFailedNoticeIsTakenOnce) {
    QTemporaryDir dir;
    Defaults defaults(dir.filePath(QStringLiteral("d.ini")));
    const QString key = QString::fromLatin1(kSessionSaveFailedNoticeKey);
    EXPECT_FALSE(takeSessionSaveFailedNotice(defaults));

    defaults.setValue(key, QStringLiteral("disk full"));
    EXPECT_EQ(takeSessionSaveFailedNotice(defaults), QStringLiteral("disk full"));
    EXPECT_FALSE(takeSessionSaveFailedNotice(defaults));
    EXPECT_FALSE(defaults.contains(key));

    defaults.setValue(key, QString());
    EXPECT_FALSE(takeSessionSaveFailedNotice(defaults));
    EXPECT_TRUE(defaults.contains(key));
}
