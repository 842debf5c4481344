// The whole program path: the real window opens a GB 18030 file with CRLF line breaks, keys are
// typed into its editor, the File menu's Save writes it, and the bytes on disk are checked.
#include "ProgramDriving.h"
#include "app/CommandLine.h"
#include "app/DunmossNotepadApp.h"
#include "app/EditorCommandsRegistry.h"
#include "app/EditorMenuBar.h"
#include "app/EditorWindowChrome.h"
#include "app/EditorWindowPresence.h"
#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "chrome/EditorWindowView.h"
#include "chrome/LargeFileBanner.h"
#include "chrome/StatusBarView.h"
#include "chrome/TabStripView.h"
#include "chrome/WindowLayout.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "platform/Defaults.h"
#include "platform/NotificationBus.h"
#include "text/EditorTab.h"
#include "window/DocumentSaving.h"
#include "window/DocumentWriteQueue.h"
#include "window/EditorWindowModel.h"
#include "window/TabUndoRegistry.h"
#include "window/WindowDerivedValues.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>
#include <gtest/gtest.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

using EndToEnd = ProgramFixture;

} // namespace

TEST_F(EndToEnd, TypedTextIsSavedInTheFilesEncodingAndLineEnding) {
    const QString path = dir.filePath(QStringLiteral("notes.txt"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(gb18030(QStringLiteral("第一行：你好\r\n第二行 second\r\n")));
    }
    DunmossNotepadApp app({QStringLiteral("dunmoss-notepad")}, *defaults);
    app.setRecoveryDirectory(dir.filePath(QStringLiteral("Recovery")));
    EditorWindowView* window = app.start({path});
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->size(), QSize(1060, 720));
    QSignalSpy started(window, &EditorWindowView::startUpCompleted);
    ASSERT_TRUE(window->hasCompletedStartUp() || started.wait(2000));
    EditorWindowModel& model = window->model();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return activeTab(model.state()).fileURL == QUrl::fromLocalFile(path); }, 10'000));
    settle();

    ASSERT_EQ(model.state().tabs.size(), 1); // the pristine untitled tab gave way
    const EditorTab& tab = activeTab(model.state());
    EXPECT_EQ(tab.document.encoding, TextFileEncoding::Gb18030);
    EXPECT_EQ(tab.document.lineEnding, TextLineEnding::CarriageReturnLineFeed);

    ShortcutTextView* editor =
        window->windowLayout().editorArea()->primaryPane()->editorView()->textView();
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_End, Qt::ControlModifier);
    typeText(editor, QStringLiteral("第三行 third\n"));
    settle();
    EXPECT_TRUE(tabIsModified(activeTab(model.state())));
    EXPECT_EQ(window->windowLayout().tabStrip()->items().first().symbolName,
              QStringLiteral("circle.fill"));

    // Undo is per tab and reaches the typing; redo brings it back.
    QUndoStack* stack = model.undoRegistry().existingUndoStack(tab.id);
    ASSERT_NE(stack, nullptr);
    EXPECT_TRUE(stack->canUndo());

    editorMenuBar(*window)->actionForKey(QStringLiteral("command.save"))->trigger();
    model.saving().writes().waitForWrites();
    settle();

    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(),
              gb18030(QStringLiteral("第一行：你好\r\n第二行 second\r\n第三行 third\r\n")));
    EXPECT_FALSE(tabIsModified(activeTab(model.state())));
    EXPECT_EQ(window->windowLayout().statusBar()->texts().savedState,
              localizedString(QStringLiteral("status.saved")));
    EXPECT_EQ(window->windowLayout().tabStrip()->items().first().symbolName,
              QStringLiteral("doc.plaintext"));
}

// A file of binary data (a copy of a program: zero bytes, carriage returns, bytes only the
// last-resort decoding reads) opens read-only and says why; keys typed into it and Save change
// none of its bytes, and the status says it was not saved.
TEST_F(EndToEnd, ABinaryFileOpensReadOnlyAndTypingAndSavingLeaveItsBytesAlone) {
    const QString path = dir.filePath(QStringLiteral("program-copy"));
    QByteArray bytes = QByteArray::fromHex("7f454c4602010100000000000000000002003e00");
    for (int i = 0; i < 600; ++i)
        bytes.append(char((i * 37) % 256)).append(i % 3 ? '\r' : '\n');
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    DunmossNotepadApp app({QStringLiteral("dunmoss-notepad")}, *defaults);
    app.setRecoveryDirectory(dir.filePath(QStringLiteral("Recovery")));
    EditorWindowView* window = app.start({path});
    ASSERT_NE(window, nullptr);
    window->show();
    QSignalSpy started(window, &EditorWindowView::startUpCompleted);
    ASSERT_TRUE(window->hasCompletedStartUp() || started.wait(2000));
    EditorWindowModel& model = window->model();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return activeTab(model.state()).fileURL == QUrl::fromLocalFile(path); }, 10'000));
    settle();

    EditorPane* pane = window->windowLayout().editorArea()->primaryPane();
    EXPECT_TRUE(pane->showsBanner());
    EXPECT_EQ(pane->banner()->message(), localizedString(QStringLiteral("binary-file.banner")));
    EXPECT_EQ(window->windowLayout().statusBar()->texts().readOnly,
              localizedString(QStringLiteral("status.read-only")));

    ShortcutTextView* editor = pane->editorView()->textView();
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_End, Qt::ControlModifier);
    typeText(editor, QStringLiteral("x"));
    QTest::keyClick(editor, Qt::Key_Backspace);
    settle();
    editorMenuBar(*window)->actionForKey(QStringLiteral("command.save"))->trigger();
    settle();
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), bytes);
    EXPECT_EQ(model.state().findMessage,
              localizedString(QStringLiteral("binary-file.read-only-save-blocked")));
}

// Every path named on the command line reaches the window once its start-up is done: what
// cannot be opened is reported in the error alert, a folder becomes the workspace root, and a
// file that needed the last-resort decoding keeps its warning although a later file opened
// cleanly.
TEST_F(EndToEnd, CommandLinePathsReachTheWindowAndFailuresAreReported) {
    const QString good = dir.filePath(QStringLiteral("a.txt"));
    {
        QFile file(good);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("plain text\n");
    }
    const QString binary = dir.filePath(QStringLiteral("b.dat"));
    {
        QFile file(binary);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QByteArray bytes;
        for (int i = 0; i < 1024; ++i)
            bytes.append(char(i % 256));
        file.write(bytes);
    }
    const QString folder = dir.filePath(QStringLiteral("folder"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString missing = dir.filePath(QStringLiteral("missing.txt"));

    DunmossNotepadApp app({QStringLiteral("dunmoss-notepad")}, *defaults);
    app.setRecoveryDirectory(dir.filePath(QStringLiteral("Recovery")));
    EditorWindowView* window = app.start({missing, binary, folder, good});
    // The files open once the window has restored its session.
    EXPECT_EQ(window->model().state().tabs.size(), 1);
    QSignalSpy started(window, &EditorWindowView::startUpCompleted);
    ASSERT_TRUE(started.wait(2000));
    const EditorWindowState& state = window->model().state();
    ASSERT_TRUE(QTest::qWaitFor([&] { return state.tabs.size() == 2; }, 10'000));
    EXPECT_EQ(state.tabs[0].fileURL, QUrl::fromLocalFile(binary));
    EXPECT_EQ(state.tabs[1].fileURL, QUrl::fromLocalFile(good));
    EXPECT_EQ(state.findMessage,
              "The text encoding of “b.dat” could not be determined; it was opened as Western "
              "(ISO Latin 1). Check the text before saving.");
    EXPECT_EQ(state.workspace.workspaceRootURL, QUrl::fromLocalFile(folder));
    EXPECT_TRUE(NotificationBus::shared().unclaimedOpenURLRequests().isEmpty());

    ASSERT_TRUE(state.errors.errorMessage.has_value());
    EXPECT_TRUE(state.errors.errorMessage->contains(QStringLiteral("missing.txt")))
        << state.errors.errorMessage->toStdString();
    EXPECT_TRUE(state.errors.queuedErrorMessages.isEmpty());

    // Relative paths are taken from the working directory.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    EXPECT_EQ(DunmossNotepadApp::fileURLsFromArguments({QStringLiteral("a.txt"), QString()}),
              QList<QUrl>{QUrl::fromLocalFile(good)});
    QDir::setCurrent(previous);
}

TEST_F(EndToEnd, AFileNameThatIsNotUtf8IsReportedInTheWindow) {
    QTemporaryDir dir;
    DunmossNotepadApp app({QStringLiteral("dunmoss-notepad")}, *defaults);
    app.setRecoveryDirectory(dir.filePath(QStringLiteral("Recovery")));
    const QString readable = dir.filePath(QStringLiteral("caf\\xE9.txt"));
    EditorWindowView* window = app.start({}, {readable});
    QSignalSpy started(window, &EditorWindowView::startUpCompleted);
    ASSERT_TRUE(started.wait(2000));
    const EditorWindowState& state = window->model().state();
    EXPECT_EQ(state.errors.errorMessage, unnamedFileMessage(readable));
    EXPECT_EQ(state.tabs.size(), 1);
}

TEST_F(EndToEnd, UiTestingFlagResetsOnlyTheTestingKey) {
    defaults->setValue(QStringLiteral("window.always-on-top.enabled"), true);
    defaults->setValue(QStringLiteral("ui-testing.window.always-on-top.enabled"), true);
    DunmossNotepadApp({QStringLiteral("x"), QStringLiteral("--dunmoss-ui-testing-extra")},
                      *defaults);
    EXPECT_TRUE(defaults->boolean(QStringLiteral("ui-testing.window.always-on-top.enabled")));
    DunmossNotepadApp({QStringLiteral("x"), QStringLiteral("--dunmoss-ui-testing")}, *defaults);
    EXPECT_FALSE(
        defaults->boolean(QStringLiteral("ui-testing.window.always-on-top.enabled"), true));
    EXPECT_TRUE(defaults->boolean(QStringLiteral("window.always-on-top.enabled")));
}

TEST_F(EndToEnd, LanguagePreferenceChoosesTheSceneLocale) {
    EXPECT_EQ(DunmossNotepadApp::sceneLocale(AppLanguagePreference::English).name(),
              QLocale(QStringLiteral("en")).name());
    EXPECT_EQ(DunmossNotepadApp::sceneLocale(AppLanguagePreference::SimplifiedChinese).script(),
              QLocale::SimplifiedHanScript);
    EXPECT_EQ(DunmossNotepadApp::sceneLocale(AppLanguagePreference::System), QLocale::system());
}
