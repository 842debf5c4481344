#pragma once

#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "search/FindBarStatus.h"
#include "search/FindReplace.h"
#include "search/FindResultsRefresh.h"
#include "search/FindSeams.h"
#include "search/FindStepRunner.h"
#include "search/SearchCenter.h"
#include "session/WindowSession.h"
#include "support/WaitForOpening.h"
#include "window/DocumentOpening.h"
#include "window/EditorWindowModel.h"
#include "window/ScriptedInteraction.h"
#include "window/TabUndoRegistry.h"
#include "window/WindowDerivedValues.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>

namespace dunmoss::test {

// A window on private settings with the real find seams; helpers read like the person's use
// of the find bar.
class FindFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("settings.ini")));
        model = makeWindow();
    }

    std::unique_ptr<EditorWindowModel> makeWindow() {
        auto window = std::make_unique<EditorWindowModel>(
            *defaults, EditorWindowModel::Options{true, {QStringLiteral("dunmoss-notepad")}, {}});
        installFindSeams(*window);
        // Next and previous end at once here; the tests of the hand-over lower it.
        FindStepRunner::of(*window).waitMilliseconds = 60'000;
        WindowSession::attach(*window);
        window->setInteraction(&person);
        window->seams().persistSession = [this] { ++sessionSaves; };
        return window;
    }

    // Puts the text into the active tab as if typed, with the caret at the given place.
    void type(const QString& text, qsizetype caret = 0) {
        const QUuid id = active().id;
        model->setTabText(id, text);
        model->setSelection(caret, 0, model->activeTabIndex());
    }
    void query(const QString& text, TextSearchOptions options = {}) {
        find().setFindQuery(text);
        find().setFindOptions(options);
    }
    QUrl writeFile(const QString& name, const QByteArray& bytes) const {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return QUrl::fromLocalFile(dir.filePath(name));
    }
    void open(const QUrl& url) {
        model->opening().openDocument(url);
        waitForOpening(*model);
    }
    // Waits until the lists on show have caught up with the edits; a runaway expression takes
    // seconds of work before it is named one, longer on a loaded machine.
    void waitForLists() {
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return !FindResultsRefresh::of(*model).isPending(); }, 120'000));
    }

    FindReplace find() { return FindReplace(*model); }
    SearchCenter center() { return SearchCenter(*model); }
    const EditorWindowState& state() const { return model->state(); }
    const EditorTab& active() const { return activeTab(model->state()); }
    // What the find bar says about the keyboard tab.
    QString message() const { return findBarStatus(*model); }
    void clearMessage() {
        model->update([](EditorWindowState& s) { s.find.reports.clear(); });
    }
    TextRange selection() const { return active().selectedRange; }
    QUndoStack* undoStack() { return model->undoRegistry().undoStackForTab(active().id); }
    static QString l(const char* key) { return localizedString(QString::fromLatin1(key)); }

    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;
    test::ScriptedInteraction person;
    std::unique_ptr<EditorWindowModel> model;
    int sessionSaves = 0;
};

} // namespace dunmoss::test
