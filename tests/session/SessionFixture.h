#pragma once

#include "platform/Defaults.h"
#include "search/FindSeams.h"
#include "session/SessionStore.h"
#include "session/SessionWriter.h"
#include "session/WindowSession.h"
#include "support/WaitForOpening.h"
#include "window/DocumentOpening.h"
#include "window/EditorWindowModel.h"
#include "window/ScriptedInteraction.h"
#include "window/WindowDerivedValues.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <future>
#include <gtest/gtest.h>
#include <memory>

namespace dunmoss::test {

// The texts on the window's message bar, oldest first.
inline QStringList noticeMessages(const EditorWindowModel& window) {
    QStringList messages;
    for (const WindowNotice& notice : window.state().notices.shown)
        messages.append(notice.message);
    return messages;
}

// Windows on a private settings file and recovery folder, with their real session. Each test
// starts with the process-wide session state cleared.
class SessionFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        sessionCorruption() = SessionCorruption{};
        bookmarkCache().clear();
        missingBookmarkFiles().clear();
        defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("settings.ini")));
        model = restoredModel();
    }

    std::unique_ptr<EditorWindowModel> makeModel(const QStringList& arguments = {
                                                     QStringLiteral("dunmoss-notepad")}) {
        auto window = std::make_unique<EditorWindowModel>(
            *defaults, EditorWindowModel::Options{true, arguments, recoveryDirectory()});
        installFindSeams(*window);
        WindowSession::attach(*window);
        window->setInteraction(&person);
        return window;
    }

    // A window as it is after its start-up restore.
    std::unique_ptr<EditorWindowModel> restoredModel() {
        std::unique_ptr<EditorWindowModel> window = makeModel();
        WindowSession::of(*window).restore().restoreSession();
        waitForOpening(*window);
        return window;
    }

    // Hands the writer a file it writes only once the promise is kept: until then, whatever is
    // handed to it after waits.
    std::promise<void> keepTheWriterBusy() {
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        SessionWriter::shared().submit(
            dir.filePath(QStringLiteral("busy.txt")),
            std::make_shared<StoredValueOf<int>>(0,
                                                 [released](int, QIODevice& device) {
                                                     released.wait();
                                                     return device.write("busy") == 4;
                                                 }),
            nullptr);
        return release;
    }

    QString recoveryDirectory() const { return dir.filePath(QStringLiteral("Recovery")); }
    QString recoveryFile() const { return recoveryDirectory() + QStringLiteral("/recovery.json"); }
    QString recordFile() const { return dir.filePath(QStringLiteral("session.json")); }
    // Lets the background writer finish what it was handed, and the window hear of it.
    void flush(EditorWindowModel& window) {
        WindowSession::of(window).persistence().waitForWrites();
    }
    void flush() { flush(*model); }
    QString path(const QString& name) const { return dir.filePath(name); }
    SessionStore store() { return SessionStore(*defaults, recoveryDirectory()); }

    QUrl writeFile(const QString& name, const QByteArray& bytes) const {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return QUrl::fromLocalFile(path(name));
    }
    static QByteArray readFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Copies the writer was handed are written first.
    QStringList corruptCopies() const {
        SessionWriter::shared().waitUntilIdle();
        return QDir(recoveryDirectory())
            .entryList({QStringLiteral("corrupt-*.json")}, QDir::Files, QDir::Name);
    }

    int open(const QUrl& url) {
        model->opening().openDocument(url, std::nullopt, std::nullopt, false);
        waitForOpening(*model);
        return model->activeTabIndex();
    }
    void edit(int index, const QString& text) {
        model->setTabText(model->state().tabs.at(index).id, text);
    }
    const EditorTab& tabAt(int index) const { return model->state().tabs.at(index); }

    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;
    ScriptedInteraction person;
    std::unique_ptr<EditorWindowModel> model;
};

} // namespace dunmoss::test
