#include "chrome/EditorArea.h"
#include "support/WaitForOpening.h"
#include "chrome/EditorPane.h"
#include "chrome/EditorWindowView.h"
#include "chrome/TestWindowOptions.h"
#include "chrome/WindowLayout.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "platform/Defaults.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace dunmoss;
using dunmoss::test::testWindowOptions;
using dunmoss::test::waitForOpening;

namespace {

class FileDrop : public ::testing::Test {
protected:
    void SetUp() override {
        defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("settings.ini")));
        window = std::make_unique<EditorWindowView>(testWindowOptions(*defaults));
        window->resize(900, 600);
        window->show();
        // These tests work in the editor, which the welcome panel of a fresh window covers.
        window->model().update([](EditorWindowState& state) { state.panels.showWelcome = false; });
        window->refreshNow();
        QFile file(dir.filePath(QStringLiteral("dropped.txt")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("dropped text");
        fileURL = QUrl::fromLocalFile(file.fileName());
    }
    // Drags the data over the widget and lets go; true when the drop was taken.
    static bool drop(QWidget* target, const QMimeData& data) {
        const QPointF point(20, 20);
        QDragEnterEvent enter(point.toPoint(), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent release(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &release);
        QApplication::processEvents();
        return release.isAccepted();
    }
    const EditorWindowState& state() const { return window->model().state(); }

    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;
    std::unique_ptr<EditorWindowView> window;
    QUrl fileURL;
};

TEST_F(FileDrop, AFileDroppedOnTheEditorOpensAsATabInsteadOfBecomingText) {
    QWidget* editor =
        window->windowLayout().editorArea()->primaryPane()->editorView()->textView()->viewport();
    QMimeData data;
    data.setUrls({fileURL});
    data.setText(fileURL.toLocalFile());
    EXPECT_TRUE(drop(editor, data));
    waitForOpening(window->model());
    EXPECT_EQ(activeTab(state()).fileURL, fileURL);
    EXPECT_EQ(activeTab(state()).document.text, QStringLiteral("dropped text"));
    EXPECT_EQ(state().tabs.size(), 1) << "the empty untitled tab gave way";
}

TEST_F(FileDrop, AFolderBecomesTheWorkspaceAndPlainTextIsRefused) {
    QMimeData folder;
    folder.setUrls({QUrl::fromLocalFile(dir.path())});
    EXPECT_TRUE(window->handleFileDrop(folder));
    QApplication::processEvents();
    EXPECT_EQ(state().workspace.workspaceRootURL, QUrl::fromLocalFile(dir.path()));
    EXPECT_TRUE(state().workspace.showWorkspace);

    QMimeData text;
    text.setText(QStringLiteral("not a file"));
    EXPECT_FALSE(window->handleFileDrop(text));
}

} // namespace
