#include "window/DocumentOpening.h"
#include "WindowFixture.h"
#include "editor/TextStorage.h"
#include "platform/Localization.h"
#include "support/WaitForOpening.h"
#include "window/LaunchReadAhead.h"
#include "window/TabUndoRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSemaphore>
#include <QTest>
#include <QTextDocument>
#include <QThread>
#include <QThreadPool>
#include <atomic>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace dunmoss::test {
namespace {

const QByteArray kFallbackOnlyBytes("ab\x81 z", 5);

class DocumentOpen : public WindowFixture {
protected:
    // True when the file was shown and needed the last-resort decoding.
    bool open(const QUrl& url, std::optional<int> line = std::nullopt) {
        model->opening().openDocument(url, line, std::nullopt, true);
        waitForOpening(*model);
        return state().findMessage == fallbackDecodingWarning({url});
    }
};

TEST_F(DocumentOpen, AFileReplacesThePristineUntitledTab) {
    const QUuid pristine = tabAt(0).id;
    model->undoRegistry().undoStackForTab(pristine);
    const QUrl url = writeFile(QStringLiteral("a.txt"), "hello\nworld\n");
    EXPECT_FALSE(open(url));
    ASSERT_EQ(state().tabs.size(), 1);
    const EditorTab& tab = tabAt(0);
    EXPECT_EQ(tab.fileURL, url);
    EXPECT_EQ(tab.document.text, QStringLiteral("hello\nworld\n"));
    EXPECT_FALSE(tabIsModified(tab));
    EXPECT_EQ(tab.selectedRange, (TextRange{0, 0}));
    EXPECT_TRUE(tab.lastKnownModificationDate.has_value());
    EXPECT_EQ(tab.lastKnownFileSize, 12);
    EXPECT_EQ(state().activeTabID, tab.id);
    EXPECT_FALSE(state().panels.showWelcome);
    EXPECT_FALSE(model->undoRegistry().hasUndoStack(pristine));
    EXPECT_EQ(recentFiles, QList<QUrl>{url});
    EXPECT_EQ(sessionSaves, 1);
}

TEST_F(DocumentOpen, AnUntitledTabWithTextStays) {
    model->setTabText(tabAt(0).id, QStringLiteral("draft"));
    open(writeFile(QStringLiteral("a.txt"), "x"));
    ASSERT_EQ(state().tabs.size(), 2);
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("draft"));
    EXPECT_EQ(model->activeTabIndex(), 1);
}

TEST_F(DocumentOpen, TheSameFileByAnyNameIsOneTab) {
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("sub")));
    const QUrl url = writeFile(QStringLiteral("c.txt"), "same");
    open(url);
    ASSERT_EQ(state().tabs.size(), 1);

    const QUrl dotted = QUrl::fromLocalFile(dir.path() + QStringLiteral("/sub/../c.txt"));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("c.txt")), path(QStringLiteral("link.txt"))));
    ASSERT_EQ(::link(QFile::encodeName(path(QStringLiteral("c.txt"))).constData(),
                     QFile::encodeName(path(QStringLiteral("sub/hard.txt"))).constData()),
              0);
    const QUrl other = writeFile(QStringLiteral("other.txt"), "other");
    for (const QUrl& alias : {dotted, QUrl::fromLocalFile(path(QStringLiteral("link.txt"))),
                              QUrl::fromLocalFile(path(QStringLiteral("sub/hard.txt")))}) {
        open(other);
        ASSERT_EQ(model->activeTabIndex(), 1);
        // Changed on disk behind the tab's back: the tab is brought forward, not re-read.
        writeFile(QStringLiteral("c.txt"), "changed");
        EXPECT_FALSE(open(alias)) << alias.toString().toStdString();
        EXPECT_EQ(state().tabs.size(), 2);
        EXPECT_EQ(model->activeTabIndex(), 0);
        EXPECT_EQ(active().document.text, QStringLiteral("same"));
        EXPECT_EQ(recentFiles.last(), alias);
    }
}

TEST_F(DocumentOpen, ALineNumberSelectsThatLineAlsoInAnOpenTab) {
    const QUrl url = writeFile(QStringLiteral("lines.txt"), "one\ntwo\nthree\n");
    open(url, 2);
    EXPECT_EQ(active().selectedRange, (TextRange{4, 3}));
    model->setFindMessage(QStringLiteral("old status"));
    open(url, 3);
    EXPECT_EQ(active().selectedRange, (TextRange{8, 5}));
    EXPECT_EQ(active().selectedRanges, (QList<TextRange>{TextRange{8, 5}}));
    EXPECT_TRUE(state().findMessage.isEmpty());
    open(url, 40);
    EXPECT_EQ(active().selectedRange, (TextRange{14, 0}));
    model->opening().openDocument(url, std::nullopt, TextRange{2, 99}, false);
    waitForOpening(*model);
    EXPECT_EQ(active().selectedRange, (TextRange{2, 12}));
}

TEST_F(DocumentOpen, FallbackDecodingIsAnnounced) {
    // Bytes no strict decoder accepts except the last resort: not UTF-8, no valid legacy
    // double-byte pair, and an odd length for UTF-16.
    const QUrl url = writeFile(QStringLiteral("odd.txt"), kFallbackOnlyBytes);
    ASSERT_TRUE(open(url));
    EXPECT_TRUE(active().document.decodedViaFallback);
    // The warning names the file it is about.
    EXPECT_EQ(state().findMessage,
              "The text encoding of “odd.txt” could not be determined; it was opened as Western "
              "(ISO Latin 1). Check the text before saving.");
    EXPECT_FALSE(open(url));
    EXPECT_TRUE(state().findMessage.isEmpty());
}

TEST_F(DocumentOpen, AMissingFileReportsAndChangesNothing) {
    model->setFindMessage(QStringLiteral("status stays"));
    const QUuid pristine = tabAt(0).id;
    EXPECT_FALSE(open(QUrl::fromLocalFile(path(QStringLiteral("missing.txt")))));
    ASSERT_TRUE(state().errors.errorMessage.has_value());
    EXPECT_TRUE(state().errors.errorMessage->contains(QStringLiteral("missing.txt")));
    ASSERT_EQ(state().tabs.size(), 1);
    EXPECT_EQ(tabAt(0).id, pristine);
    EXPECT_EQ(state().findMessage, QStringLiteral("status stays"));
    EXPECT_FALSE(state().panels.showWelcome);
    EXPECT_EQ(sessionSaves, 0);
    EXPECT_TRUE(recentFiles.isEmpty());
}

TEST_F(DocumentOpen, ItemsThatAreNotRegularFilesAreRefusedWithoutReading) {
    const QString fifo = path(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // Reading a FIFO nobody writes to would block forever.
    EXPECT_FALSE(open(QUrl::fromLocalFile(fifo)));
    ASSERT_TRUE(state().errors.errorMessage.has_value());
    EXPECT_EQ(*state().errors.errorMessage,
              localizedString(QStringLiteral("document.open.not-a-regular-file.format"))
                  .arg(QStringLiteral("pipe")));

    const QString socketPath = path(QStringLiteral("sock"));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(socketPath);
    ASSERT_LT(size_t(native.size()), sizeof(address.sun_path));
    memcpy(address.sun_path, native.constData(), size_t(native.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    EXPECT_FALSE(open(QUrl::fromLocalFile(socketPath)));
    ::close(fd);

    EXPECT_FALSE(open(QUrl::fromLocalFile(QStringLiteral("/dev/zero"))));
    EXPECT_FALSE(open(QUrl::fromLocalFile(dir.path())));
    // Each refusal is queued once, in order.
    EXPECT_EQ(state().errors.queuedErrorMessages.size(), 3);
    EXPECT_EQ(state().tabs.size(), 1);
    EXPECT_TRUE(tabAt(0).isUntitled());
}

TEST_F(DocumentOpen, AnUnreadableFileIsReported) {
    const QUrl url = writeFile(QStringLiteral("secret.txt"), "secret");
    ASSERT_EQ(::chmod(QFile::encodeName(url.toLocalFile()).constData(), 0), 0);
    if (runningAsRoot())
        GTEST_SKIP() << "permissions do not stop root from reading";
    EXPECT_FALSE(open(url));
    ASSERT_TRUE(state().errors.errorMessage.has_value());
    EXPECT_TRUE(tabAt(0).isUntitled());
}

TEST_F(DocumentOpen, ALargeFileOpensAsAReadOnlyPreview) {
    QByteArray bytes(5'000'001, 'a');
    const QUrl url = writeFile(QStringLiteral("big.txt"), bytes);
    open(url);
    const EditorTab& tab = active();
    EXPECT_TRUE(tab.isReadOnly);
    EXPECT_TRUE(tab.isLargeFilePreview);
    EXPECT_EQ(tab.originalByteCount, 5'000'001);
    EXPECT_LE(tab.document.text.size(), 2'000'000);
    // Typing into the preview changes nothing.
    model->setTabText(tab.id, QStringLiteral("typed"));
    EXPECT_EQ(active().document.text.size(), tab.document.text.size());
}

TEST_F(DocumentOpen, OpenPanelOpensEveryChosenFileAndSavesTheSessionOnce) {
    const QUrl a = writeFile(QStringLiteral("a.txt"), "a");
    const QUrl b = writeFile(QStringLiteral("b.txt"), kFallbackOnlyBytes);
    const QUrl c = writeFile(QStringLiteral("c.txt"), kFallbackOnlyBytes);
    person.openAnswers.push_back({a, b, c});
    model->opening().openDocumentsFromPanel();
    waitForOpening(*model);
    ASSERT_EQ(person.openPanels.size(), 1);
    EXPECT_TRUE(person.openPanels.first().allowsMultipleSelection);
    EXPECT_EQ(state().tabs.size(), 3);
    EXPECT_EQ(sessionSaves, 1);
    // The warning names every file it is about, and only those.
    EXPECT_EQ(state().findMessage,
              "The text encodings of 2 files could not be determined (b.txt, c.txt); they were "
              "opened as Western (ISO Latin 1). Check the text before saving.");

    // Cancelled: nothing at all.
    model->opening().openDocumentsFromPanel();
    waitForOpening(*model);
    EXPECT_EQ(state().tabs.size(), 3);
    EXPECT_EQ(sessionSaves, 1);

    // The first panel had no file to start next to; the second starts beside the one shown.
    ASSERT_EQ(person.openPanels.size(), 2);
    EXPECT_FALSE(person.openPanels.first().folder);
    EXPECT_EQ(person.openPanels.last().folder,
              QUrl::fromLocalFile(QFileInfo(c.toLocalFile()).absolutePath()));
}

// Holds the reading of one file on the pool thread until released.
struct HeldRead {
    explicit HeldRead(DocumentOpening& opening, QUrl held) : url(std::move(held)) {
        opening.beforeRead = [this](const QUrl& read) {
            reads.fetch_add(1);
            if (read == url) {
                waiting.store(true);
                gate.acquire();
            }
        };
    }
    QUrl url;
    QSemaphore gate;
    std::atomic<bool> waiting{false};
    std::atomic<int> reads{0};
};

TEST_F(DocumentOpen, FilesAreReadAsideAndShownInTheOrderAskedWithProgressMeanwhile) {
    const QUrl slow = writeFile(QStringLiteral("slow.txt"), "slow");
    const QUrl quick = writeFile(QStringLiteral("quick.txt"), "quick");
    HeldRead held(model->opening(), slow);
    model->opening().openDocument(slow);
    model->opening().openDocument(quick);
    ASSERT_TRUE(QTest::qWaitFor([&] { return held.waiting.load() && held.reads.load() == 2; }));
    // The window goes on; the quicker file waits for its turn.
    QTest::qWait(20);
    EXPECT_TRUE(model->opening().isOpening());
    ASSERT_EQ(state().tabs.size(), 1);
    EXPECT_TRUE(tabAt(0).isUntitled());
    const QString progress =
        localizedString(QStringLiteral("document.opening.format")).arg(QStringLiteral("slow.txt"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return state().findMessage == progress; }));

    held.gate.release();
    waitForOpening(*model);
    ASSERT_EQ(state().tabs.size(), 2);
    EXPECT_EQ(tabAt(0).fileURL, slow);
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("slow"));
    EXPECT_EQ(tabAt(1).fileURL, quick);
    EXPECT_EQ(active().fileURL, quick);
    EXPECT_TRUE(state().findMessage.isEmpty());
    EXPECT_EQ(recentFiles, (QList<QUrl>{slow, quick}));
    EXPECT_EQ(sessionSaves, 2);
}

TEST_F(DocumentOpen, ALargeFileComesWithItsDocumentFilledAside) {
    QByteArray bytes;
    while (bytes.size() < 200'000)
        bytes += "a line of the large file\r\n";
    const QUrl url = writeFile(QStringLiteral("large.txt"), bytes);
    open(url);
    const QUuid id = active().id;
    ASSERT_TRUE(model->textStorageRegistry().contains(id));
    const std::shared_ptr<TextStorage> storage = model->textStorageRegistry().textStorage(id);
    EXPECT_EQ(storage->text(), active().document.text);
    EXPECT_EQ(storage->primaryDocument()->characterCount() - 1, active().document.text.size());
    EXPECT_EQ(active().document.lineEnding, TextLineEnding::CarriageReturnLineFeed);
    // Counted where the document was filled, and counted right.
    ASSERT_TRUE(storage->hasCounts());
    const TextCounts whole(active().document.text);
    EXPECT_EQ(storage->counts().lines().lineCount(), whole.lines().lineCount());
    EXPECT_EQ(storage->counts().clusterCount(), whole.clusterCount());
    EXPECT_EQ(storage->counts().length(), active().document.text.size());
}

TEST_F(DocumentOpen, FilesReadAheadAtLaunchOpenFromThatReadAndNothingIsKept) {
    QByteArray bytes;
    while (bytes.size() < 200'000)
        bytes += "a line read ahead\n";
    const QUrl large = writeFile(QStringLiteral("large.txt"), bytes);
    const QUrl shown = writeFile(QStringLiteral("shown.txt"), "already shown");
    const QUrl missing = QUrl::fromLocalFile(path(QStringLiteral("missing.txt")));
    const QUrl late = writeFile(QStringLiteral("late.txt"), "late");
    open(shown);
    QList<QUrl> reads;
    model->opening().beforeRead = [&reads](const QUrl& url) { reads.append(url); };

    LaunchReadAhead::start({large, shown, missing, shown});
    open(large);
    const std::shared_ptr<TextStorage> storage =
        model->textStorageRegistry().textStorage(active().id);
    EXPECT_EQ(active().document.text, QString::fromLatin1(bytes));
    EXPECT_EQ(storage->primaryDocument()->characterCount() - 1, bytes.size());
    EXPECT_EQ(storage->primaryDocument()->thread(), QThread::currentThread());
    // A file a tab already shows is brought forward, and its read dropped.
    open(shown);
    EXPECT_EQ(active().fileURL, shown);
    EXPECT_EQ(state().tabs.size(), 2);
    // A failed read is not kept: the open reads the file and says why in the window's words.
    open(missing);
    ASSERT_TRUE(state().errors.errorMessage.has_value());
    EXPECT_TRUE(state().errors.errorMessage->contains(QStringLiteral("missing.txt")));
    EXPECT_EQ(reads, QList<QUrl>{missing});
    EXPECT_EQ(LaunchReadAhead::pendingCount(), 0);

    // What no open took by the end of the launch is let go, and a later open reads the file.
    LaunchReadAhead::start({late});
    LaunchReadAhead::dropUntaken();
    EXPECT_EQ(LaunchReadAhead::pendingCount(), 0);
    open(late);
    EXPECT_EQ(active().document.text, QStringLiteral("late"));
    EXPECT_EQ(reads, (QList<QUrl>{missing, late}));

    // Begun before the application existed: the documents wait for it, and a launch that hands
    // its files over leaves no read behind.
    const QUrl second = writeFile(QStringLiteral("second.txt"), bytes);
    LaunchReadAhead::startBeforeApplication({second});
    LaunchReadAhead::dropUntaken();
    LaunchReadAhead::applicationReady();
    EXPECT_TRUE(QThreadPool::globalInstance()->waitForDone(10'000));
    EXPECT_EQ(LaunchReadAhead::pendingCount(), 0);
    LaunchReadAhead::startBeforeApplication({second});
    LaunchReadAhead::applicationReady();
    open(second);
    EXPECT_EQ(
        model->textStorageRegistry().textStorage(active().id)->primaryDocument()->blockCount(),
        bytes.count('\n') + 1);
    EXPECT_EQ(reads, (QList<QUrl>{missing, late}));
}

TEST_F(DocumentOpen, AWindowClosedWhileAFileIsReadOpensNothing) {
    const QUrl url = writeFile(QStringLiteral("a.txt"), "text");
    HeldRead held(model->opening(), url);
    model->opening().openDocument(url);
    ASSERT_TRUE(QTest::qWaitFor([&] { return held.waiting.load(); }));
    model.reset();
    held.gate.release();
    EXPECT_TRUE(QThreadPool::globalInstance()->waitForDone(10'000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(recentFiles.isEmpty());
    EXPECT_EQ(sessionSaves, 0);
}

} // namespace
} // namespace dunmoss::test
