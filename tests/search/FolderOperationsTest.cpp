#include "FolderFixture.h"

#include "platform/Localization.h"
#include "session/WindowSession.h"
#include "text/FolderBackupRestore.h"
#include "text/FolderPatterns.h"
#include "text/FolderReplacementRun.h"
#include "text/SearchableText.h"

#include <QRegularExpression>
#include <csignal>
#include <sys/resource.h>

namespace dunmoss::test {
namespace {

using FolderOperations = FolderFixture;

TEST(FolderPatternList, SplitsAtCommaSemicolonAndSpaceOnly) {
    EXPECT_EQ(parsePatternList(QStringLiteral("a,b;c d")), QStringList({"a", "b", "c", "d"}));
    EXPECT_EQ(parsePatternList(QStringLiteral("a\tb")), QStringList({"a\tb"}));
    EXPECT_EQ(parsePatternList(QStringLiteral(" ,; ;")), QStringList());
    EXPECT_EQ(parsePatternList(QStringLiteral("x,,x")), QStringList({"x", "x"}));
}

// The examples the pattern fields suggest do what they say, in both languages.
TEST(FolderPatternList, ThePlaceholderExamplesIncludeAndExcludeWhatTheyName) {
    const QString root = QStringLiteral("/p");
    for (const QString& language : availableLocalizations()) {
        const auto examples = [&](const char* key) {
            const QString text = localizationTable(language).value(QString::fromLatin1(key));
            return parsePatternList(text.section(QRegularExpression(QStringLiteral("[:：]")), 1));
        };
        const QStringList include = examples("folder-search.include.placeholder");
        const QStringList exclude = examples("folder-search.exclude.placeholder");
        ASSERT_EQ(include.size(), 2) << language.toStdString();
        ASSERT_EQ(exclude.size(), 2) << language.toStdString();
        WildcardRegexCache cache;
        FolderPatternFilter onlyIncluded(root, include, {}, cache);
        EXPECT_TRUE(onlyIncluded.accepts(QStringLiteral("/p/app.swift")));
        EXPECT_TRUE(onlyIncluded.accepts(QStringLiteral("/p/src/deep/main.c")));
        EXPECT_FALSE(onlyIncluded.accepts(QStringLiteral("/p/notes.txt")));
        FolderPatternFilter excluded(root, {}, exclude, cache);
        EXPECT_FALSE(excluded.accepts(QStringLiteral("/p/build/out/app.o")));
        EXPECT_FALSE(excluded.accepts(QStringLiteral("/p/web/site.min.js")));
        EXPECT_TRUE(excluded.accepts(QStringLiteral("/p/web/site.js")));
    }
}

TEST_F(FolderOperations, SearchNeedsAFolderAndReportsHitsFilesAndRegexErrors) {
    put("a.txt", "foo\nbar foo\n");
    put("sub/b.txt", "foo\n");
    put("c.md", "foo\n");
    setInputs("foo");
    ops().startFolderSearch();
    EXPECT_EQ(folder().folderSearchMessage, l("folder-search.choose-folder-first"));
    EXPECT_FALSE(folder().isFolderSearchRunning);

    // Choosing a folder searches at once when a query is typed, with the include patterns.
    ops().setIncludePattern(QStringLiteral("*.txt"));
    person.folderAnswers.push_back(root());
    ops().chooseFolderSearchFolder();
    EXPECT_TRUE(folder().isFolderSearchRunning);
    EXPECT_EQ(folder().folderSearchMessage, l("folder-search.searching"));
    settle();
    EXPECT_FALSE(folder().isFolderSearchRunning);
    EXPECT_EQ(folder().folderSearchResults.size(), 3);
    EXPECT_EQ(folder().folderSearchMessage, "3 results in 2 files.");
    EXPECT_TRUE(state().searchCenter.showSearchCenter);
    EXPECT_EQ(state().searchCenter.searchCenterScope, SearchCenterScope::Folder);
    EXPECT_EQ(state().searchCenter.searchCenterFolderResults.size(), 3);
    ASSERT_EQ(state().searchCenter.searchCenterRuns.size(), 1);

    // An invalid expression shows its error in the status line and keeps the hits.
    setInputs("(", {}, {true, false, false});
    ops().startFolderSearch();
    settle();
    EXPECT_TRUE(folder().folderSearchMessage.startsWith(
        l("find.regex-error.format").section(QStringLiteral("%1"), 0, 0)));
    EXPECT_EQ(folder().folderSearchResults.size(), 3);

    // With an empty query, choosing a folder only says it is ready.
    setInputs("");
    person.folderAnswers.push_back(root());
    ops().chooseFolderSearchFolder();
    EXPECT_EQ(folder().folderSearchMessage, l("folder-search.ready"));
    EXPECT_FALSE(folder().isFolderSearchRunning);
}

TEST_F(FolderOperations, ALaterSearchSupersedesAnEarlierOneWhichNeverClearsTheBusyFlag) {
    put("a.txt", "alpha beta\n");
    useFolder(root());
    // The first search waits until the second one has been started and has finished.
    std::atomic_int reads{0};
    QSemaphore firstGate;
    runner().beforeWork = [&](bool) {
        if (reads.fetch_add(1) == 0)
            firstGate.acquire();
    };
    setInputs("alpha");
    ops().startFolderSearch();
    while (reads.load() < 1)
        QThread::yieldCurrentThread();
    setInputs("beta");
    ops().startFolderSearch();
    while (reads.load() < 2)
        QThread::yieldCurrentThread();
    // Only the second can finish now; the first is still held.
    while (operationPool().activeThreadCount() > 1)
        QThread::yieldCurrentThread();
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(folder().isFolderSearchRunning);
    const QString secondMessage = folder().folderSearchMessage;
    ASSERT_EQ(folder().folderSearchResults.size(), 1);
    EXPECT_EQ(folder().folderSearchResults[0].column, 7);
    // The superseded first search neither shows its hits nor touches flag or message.
    model->update([](EditorWindowState& s) { s.folderSearch.isFolderSearchRunning = true; });
    firstGate.release();
    settle();
    EXPECT_TRUE(folder().isFolderSearchRunning);
    EXPECT_EQ(folder().folderSearchMessage, secondMessage);
    EXPECT_EQ(folder().folderSearchResults[0].column, 7);
}

TEST_F(FolderOperations, AFailedDryRunLeavesNoProgressText) {
    put("a.txt", "foo\n");
    useFolder(root());
    setInputs("(", "x", {true, false, false});
    ops().requestFolderReplaceAll();
    settle();
    EXPECT_TRUE(state().errors.errorMessage);
    EXPECT_FALSE(folder().isFolderSearchRunning);
    EXPECT_TRUE(folder().folderSearchMessage.isEmpty());
    EXPECT_EQ(read("a.txt"), "foo\n");
}

TEST_F(FolderOperations, AWindowClosingTellsARunningSearchToStop) {
    put("a.txt", "alpha\n");
    useFolder(root());
    std::atomic_int reads{0};
    QSemaphore held;
    runner().beforeWork = [&](bool) {
        reads.fetch_add(1);
        held.acquire();
    };
    setInputs("alpha");
    ops().startFolderSearch();
    while (reads.load() < 1)
        QThread::yieldCurrentThread();
    WindowSession::of(*model).cancelWindowTasks();
    held.release();
    settle();
    // Stopped before it read a file, the search found nothing.
    EXPECT_TRUE(folder().folderSearchResults.isEmpty());
    EXPECT_FALSE(folder().isFolderSearchRunning);
}

TEST_F(FolderOperations, NothingToReplaceShowsTheSearchWithoutAnAlert) {
    put("a.txt", "nothing here\n");
    useFolder(root());
    setInputs("absent", "x");
    ops().requestFolderReplaceAll();
    settle();
    EXPECT_TRUE(person.alerts.isEmpty());
    EXPECT_EQ(folder().folderSearchMessage, l("folder-search.replace-none"));
    EXPECT_FALSE(folder().folderReplacePreview);
    EXPECT_FALSE(folder().isFolderSearchRunning);
    EXPECT_TRUE(state().searchCenter.showSearchCenter);
}

TEST_F(FolderOperations, ReplaceAllConfirmsTheCountsAndReportsBackupAndSkippedFiles) {
    put("a.txt", "foo foo foo\n");
    put("b.txt", "foo\nfoo\n");
    put("sub/c.txt", "x foo y foo\n");
    put("one.bin", QByteArray("foo\0\0foo", 8));
    put("two.bin", QByteArray("\0foo", 4));
    {
        QFile big(path("big.txt"));
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        ASSERT_TRUE(big.resize(folderSearchMaxFileBytes + 1));
    }
    useFolder(root());
    setInputs("foo", "bar");

    // Cancelling the alert writes nothing, drops the preview and leaves no progress text.
    person.alertAnswers.push_back(1);
    ops().requestFolderReplaceAll();
    settle();
    ASSERT_EQ(person.alerts.size(), 1);
    EXPECT_EQ(person.alerts[0].message,
              "7 replacements in 3 files. A backup of every changed file is kept.");
    EXPECT_EQ(read("a.txt"), "foo foo foo\n");
    EXPECT_FALSE(folder().folderReplacePreview);
    EXPECT_FALSE(folder().showFolderReplaceConfirmation);
    EXPECT_FALSE(folder().isFolderSearchRunning);
    EXPECT_TRUE(folder().folderSearchMessage.isEmpty());

    person.alertAnswers.push_back(0);
    ops().requestFolderReplaceAll();
    settle();
    EXPECT_EQ(read("a.txt"), "bar bar bar\n");
    EXPECT_EQ(read("b.txt"), "bar\nbar\n");
    EXPECT_EQ(read("sub/c.txt"), "x bar y bar\n");
    EXPECT_EQ(read("one.bin"), QByteArray("foo\0\0foo", 8));
    const QString message = folder().folderSearchMessage;
    EXPECT_TRUE(message.startsWith("Replaced 7 matches in 3 files. Backup: "))
        << message.toStdString();
    EXPECT_TRUE(message.endsWith(" 3 files skipped.")) << message.toStdString();
    EXPECT_TRUE(folder().folderSearchResults.isEmpty());
    EXPECT_FALSE(folder().folderReplacePreview);
    EXPECT_FALSE(folder().isFolderSearchRunning);
}

// Files whose names are not valid UTF-8 cannot be read: every summary says how many were
// skipped and why, from the search to the confirmation and the outcome of a replacement.
TEST_F(FolderOperations, SummariesCountFilesWhoseNamesAreNotUtf8) {
    put("a.txt", "foo\n");
    for (const QByteArray& name : {QByteArray("/caf\xE9.txt"), QByteArray("/\xFF.txt")}) {
        FILE* file = std::fopen((QFile::encodeName(tree.path()) + name).constData(), "wb");
        ASSERT_TRUE(file);
        std::fputs("foo\n", file);
        std::fclose(file);
    }
    const QString skipped =
        u' ' + l("folder-search.skipped-unnamed.format").arg(localizedCount(2, kCountedFiles));
    useFolder(root());
    setInputs("foo", "bar");
    ops().startFolderSearch();
    settle();
    EXPECT_EQ(folder().folderSearchMessage,
              l("folder-search.results-files.format")
                      .arg(localizedCount(1, kCountedResults), localizedCount(1, kCountedFiles)) +
                  skipped);

    person.alertAnswers.push_back(0);
    ops().requestFolderReplaceAll();
    settle();
    ASSERT_EQ(person.alerts.size(), 1);
    EXPECT_EQ(person.alerts[0].message, l("folder-search.replace-confirm.message.format")
                                                .arg(localizedCount(1, kCountedReplacements),
                                                     localizedCount(1, kCountedFiles)) +
                                            skipped);
    EXPECT_EQ(read("a.txt"), "bar\n");
    EXPECT_TRUE(folder().folderSearchMessage.endsWith(skipped))
        << folder().folderSearchMessage.toStdString();

    // With nothing left to replace, the search that follows says it too.
    ops().requestFolderReplaceAll();
    settle();
    EXPECT_EQ(folder().folderSearchMessage, l("folder-search.replace-none") + skipped);
}

TEST_F(FolderOperations, MatchesGoneBeforeConfirmingReportWhatRemains) {
    put("a.txt", "foo\n");
    put("b.txt", "foo\n");
    useFolder(root());
    setInputs("foo", "bar");
    person.deferAnswers = true;
    person.alertAnswers.push_back(0);
    ops().requestFolderReplaceAll();
    settle();
    ASSERT_EQ(person.pending.size(), 1u);
    put("a.txt", "gone\n");
    put("b.txt", "gone\n");
    person.releasePending();
    settle();
    EXPECT_EQ(folder().folderSearchMessage,
              "Replaced 0 matches; still found: 0 results in 0 files.");
    EXPECT_EQ(read("a.txt"), "gone\n");
}

TEST_F(FolderOperations, AFailedSearchAfterAReplacementStillShowsTheOutcome) {
    put("a.txt", "foo\n");
    useFolder(root());
    setInputs("foo", "bar");
    runner().beforeFollowUpSearch = [] {
        throw RegexError(RegexError::Kind::TimedOut, QStringLiteral("foo"), QString());
    };
    person.alertAnswers.push_back(0);
    ops().requestFolderReplaceAll();
    settle();
    EXPECT_EQ(read("a.txt"), "bar\n");
    EXPECT_TRUE(folder().folderSearchMessage.startsWith("Replaced 1 match in 1 file. Backup: /"))
        << folder().folderSearchMessage.toStdString();
    ASSERT_TRUE(state().errors.errorMessage);
    EXPECT_FALSE(folder().isFolderSearchRunning);
}

TEST_F(FolderOperations, WhileAReplacementWritesEveryOtherStartIsRefused) {
    put("a.txt", "foo\n");
    put("b.txt", "foo\n");
    useFolder(root());
    setInputs("foo", "bar");
    holdWrites();
    person.alertAnswers.push_back(0);
    ops().requestFolderReplaceAll();
    // The dry run finished and the confirmation started the replacement, now held.
    waitUntilHeld();
    const int panelsBefore = int(person.folderPanels.size());
    ops().startFolderSearch();
    EXPECT_EQ(folder().folderSearchMessage, l("folder-search.busy"));
    ops().requestFolderReplaceAll();
    ops().startBackupRestore();
    EXPECT_EQ(int(person.folderPanels.size()), panelsBefore);
    EXPECT_EQ(person.alerts.size(), 1);
    EXPECT_TRUE(folder().isFolderSearchRunning);

    gate.release();
    settle();
    EXPECT_EQ(read("a.txt"), "bar\n");
    EXPECT_EQ(read("b.txt"), "bar\n");
    EXPECT_TRUE(folder().folderSearchMessage.startsWith(
        l("folder-search.replaced-backup.format").section(u'%', 0, 0)));
    EXPECT_FALSE(folder().isFolderSearchRunning);

    // Searches start again once the write has been reported.
    ops().startFolderSearch();
    EXPECT_EQ(folder().folderSearchMessage, l("folder-search.searching"));
    settle();
}

TEST_F(FolderOperations, AWindowClosingWhileAReplacementWritesLetsItFinish) {
    put("a.txt", "foo\n");
    put("b.txt", "foo\n");
    useFolder(root());
    setInputs("foo", "bar");
    holdWrites();
    person.alertAnswers.push_back(0);
    ops().requestFolderReplaceAll();
    waitUntilHeld();
    // Closing tells folder reads to stop, never a write.
    WindowSession::of(*model).cancelWindowTasks();
    model.reset();
    gate.release();
    // Nothing of the gone window is touched when the write ends.
    FolderOperationRunner::waitForBackgroundWork();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(read("a.txt"), "bar\n");
    EXPECT_EQ(read("b.txt"), "bar\n");
}

// A file the expression is too costly for is named in every summary, from the search to the
// confirmation and the outcome of a replacement; the other files are searched and replaced.
TEST_F(FolderOperations, SummariesNameFilesTooCostlyForTheExpression) {
    put("a.txt", "foo\n");
    put("sub/slow.txt", "foo " + QByteArray(40, 'x') + "\n");
    const QString skipped =
        u' ' + l("folder-search.skipped-costly.format")
                   .arg(localizedCount(1, kCountedFiles), QStringLiteral("sub/slow.txt"));
    useFolder(root());
    setInputs("foo|(x+x+)+y", "bar", TextSearchOptions{true, true, false});
    ops().startFolderSearch();
    settle();
    EXPECT_EQ(folder().folderSearchMessage,
              l("folder-search.results-files.format")
                      .arg(localizedCount(1, kCountedResults), localizedCount(1, kCountedFiles)) +
                  skipped);
    EXPECT_EQ(folder().folderSearchResults.size(), 1);

    person.alertAnswers.push_back(0);
    ops().requestFolderReplaceAll();
    settle();
    ASSERT_EQ(person.alerts.size(), 1);
    EXPECT_EQ(person.alerts[0].message, l("folder-search.replace-confirm.message.format")
                                                .arg(localizedCount(1, kCountedReplacements),
                                                     localizedCount(1, kCountedFiles)) +
                                            skipped);
    EXPECT_EQ(read("a.txt"), "bar\n");
    EXPECT_EQ(read("sub/slow.txt"), "foo " + QByteArray(40, 'x') + "\n");
    EXPECT_TRUE(folder().folderSearchMessage.endsWith(skipped))
        << folder().folderSearchMessage.toStdString();
}

TEST_F(FolderOperations, ManyCostlyFilesAreCountedAndTheFirstNamed) {
    const QUrl folder = QUrl::fromLocalFile(QStringLiteral("/p"));
    QList<QUrl> costly;
    for (const char* name : {"/p/a.js", "/p/b/c.js", "/q/d.js", "/p/e.js"})
        costly.append(QUrl::fromLocalFile(QString::fromLatin1(name)));
    EXPECT_EQ(withCostlyFilesSkipped(QStringLiteral("Done."), costly, folder),
              QStringLiteral("Done. ") + l("folder-search.skipped-costly.format")
                                             .arg(localizedCount(4, kCountedFiles),
                                                  QStringLiteral("a.js, b/c.js, d.js, …")));
    EXPECT_EQ(withCostlyFilesSkipped(QStringLiteral("Done."), {}, folder), QStringLiteral("Done."));
}

// A file another program writes while the replacement runs keeps that write, and the outcome
// names it.
TEST_F(FolderOperations, TheOutcomeNamesAFileThatChangedDuringTheReplacement) {
    put("a.txt", "foo\n");
    put("b.txt", "foo\n");
    useFolder(root());
    setInputs("foo", "bar");
    bool edited = false;
    setFolderReplacementStepHook([&](FolderReplacementStep step) {
        if (step == FolderReplacementStep::Rename && !edited) {
            edited = true;
            put("b.txt", "foo, edited\n");
        }
    });
    person.alertAnswers.push_back(0);
    ops().requestFolderReplaceAll();
    settle();
    setFolderReplacementStepHook({});
    EXPECT_EQ(read("a.txt"), "bar\n");
    EXPECT_EQ(read("b.txt"), "foo, edited\n");
    EXPECT_TRUE(folder().folderSearchMessage.endsWith(
        u' ' + l("folder-search.changed-during-replace.format")
                   .arg(localizedCount(1, kCountedFiles), QStringLiteral("b.txt"))))
        << folder().folderSearchMessage.toStdString();
}

// A file the replacement or the restore left to its owner is named, whether the run ended or
// stopped.
TEST(FolderReplaceMessages, NameTheFilesWhoseOwnerANewFileCouldNotKeep) {
    const QUrl folder = QUrl::fromLocalFile(QStringLiteral("/shared"));
    FolderReplacementOutcome outcome;
    outcome.filesWithAttributesNotKept = {QUrl::fromLocalFile(QStringLiteral("/shared/b.txt"))};
    const QString named =
        u' ' + localizedString(QStringLiteral("folder-search.attributes-not-kept.format"))
                   .arg(localizedCount(1, kCountedFiles), QStringLiteral("b.txt"));
    EXPECT_TRUE(folderReplaceOutcomeMessage(outcome, {}, folder).endsWith(named));
    EXPECT_TRUE(folderReplaceStoppedMessage(outcome, folder).endsWith(named));

    FolderRestoreOutcome restored;
    restored.attributesNotKept = outcome.filesWithAttributesNotKept;
    const QString left =
        u' ' +
        localizedString(QStringLiteral("folder-search.restore-backup.attributes-not-kept.format"))
            .arg(localizedCount(1, kCountedFiles), QStringLiteral("b.txt"));
    EXPECT_TRUE(folderRestoreOutcomeMessage(restored, false, folder).endsWith(left));
    EXPECT_TRUE(
        withFilesLeftByRestore(QStringLiteral("Stopped."), restored, folder).endsWith(left));
}

// A write that fails after other files were replaced stops the run: beside the error, the status
// says exactly which files were replaced and where their backup is.
TEST_F(FolderOperations, AReplacementStoppedByAFailedWriteSaysWhichFilesItReplaced) {
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        put(QString::fromLatin1(name), "foo\n");
    QStringList order;
    walkFolderFiles(tree.path(), {}, [&](const QString& file) {
        order.append(file.mid(tree.path().size() + 1));
        return true;
    });
    ASSERT_EQ(order.size(), 3);
    // The second file grows past the size limit set below; its backup still fits.
    const QByteArray many = QByteArray("foo ").repeated(1000);
    put(order[1], many);
    useFolder(root());
    setInputs("foo", "barbarbarbar");

    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = previous;
    limited.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    person.alertAnswers.push_back(0);
    ops().requestFolderReplaceAll();
    settle();
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(read(order[0]), "barbarbarbar\n");
    EXPECT_EQ(read(order[1]), many);
    EXPECT_EQ(read(order[2]), "foo\n");
    ASSERT_TRUE(state().errors.errorMessage);
    const QString message = folder().folderSearchMessage;
    const QString expected = l("folder-search.replace-stopped.format")
                                 .arg(localizedCount(1, kCountedMatches),
                                      localizedCount(1, kCountedFiles), order[0], QString());
    ASSERT_TRUE(message.startsWith(expected)) << message.toStdString();
    EXPECT_TRUE(QFileInfo(message.mid(expected.size()) + QStringLiteral("/manifest.json")).isFile())
        << message.toStdString();
    EXPECT_FALSE(folder().isFolderSearchRunning);
}

} // namespace
} // namespace dunmoss::test
