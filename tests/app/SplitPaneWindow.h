#pragma once

// A window split in two over two files just written: pane 1 shows the left file (the active
// tab), pane 2 the right one. Helpers click into a pane and read files back.
#include "ProgramDriving.h"
#include "app/EditorCommandsRegistry.h"
#include "app/EditorWindowChrome.h"
#include "app/EditorWindowPresence.h"
#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "chrome/EditorWindowView.h"
#include "chrome/TestWindowOptions.h"
#include "chrome/WindowLayout.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "platform/Defaults.h"
#include "text/EditorTab.h"
#include "window/DocumentSaving.h"
#include "window/DocumentWriteQueue.h"
#include "window/EditorWindowModel.h"

#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace dunmoss::test {

class SplitPaneWindow : public ::testing::Test {
protected:
    void openSplit(const QString& leftText, const QString& rightText) {
        defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("settings.ini")));
        window = new EditorWindowView(testWindowOptions(*defaults));
        installApplicationChrome(*window, *defaults);
        left = fileTab(QStringLiteral("left.txt"), leftText);
        right = fileTab(QStringLiteral("right.txt"), rightText);
        window->model().update([&](EditorWindowState& s) {
            s.tabs = {left, right};
            s.activeTabID = left.id;
            s.panels.showWelcome = false;
            s.split.splitMode = SplitEditorMode::Split;
            s.split.secondaryTabID = right.id;
        });
        window->resize(1100, 600);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->hasCompletedStartUp(); }));
        settle();
    }
    void TearDown() override {
        delete window.data();
        settle();
        EditorCommandsRegistry::shared().reset();
        resetEditorWindowPresence();
    }

    // A tab showing a file just written with the text, unmodified.
    EditorTab fileTab(const QString& name, const QString& content) {
        const QString path = dir.filePath(name);
        writeFile(path, content.toUtf8());
        EditorTab tab = untitledTab();
        tab.fileURL = QUrl::fromLocalFile(path);
        tab.document.text = content;
        tab.savedSnapshot = content;
        fillMissingFileAttributes(tab);
        return tab;
    }
    // The saves under way are on disk, and the window has heard of them.
    void written() {
        window->model().saving().writes().waitForWrites();
        settle();
    }
    static void writeFile(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    static QByteArray readFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    ShortcutTextView* pane(bool second) const {
        EditorArea* area = window->windowLayout().editorArea();
        return (second ? area->secondaryPane() : area->primaryPane())->editorView()->textView();
    }
    // A click on the first line of the pane's text: the keys then go to it.
    void clickInto(bool second) {
        ShortcutTextView* text = pane(second);
        QTest::mouseClick(text->viewport(), Qt::LeftButton, {}, QPoint(40, 8));
        settle();
        ASSERT_EQ(QApplication::focusWidget(), text);
    }

    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;
    QPointer<EditorWindowView> window;
    EditorTab left;
    EditorTab right;
};

} // namespace dunmoss::test
