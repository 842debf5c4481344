// Session files of the person's own: saved from a window, opened into one; outside input,
// read strictly.
#include "session/SessionFiles.h"
#include "SessionFixture.h"
#include "platform/Localization.h"
#include "session/SessionRecord.h"
#include "session/StrictJson.h"
#include "session/WindowSession.h"
#include "support/FailingSyncs.h"
#include "support/WaitForOpening.h"
#include "window/TabClosing.h"

#include <QTest>
#include <functional>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

class SessionFileTest : public SessionFixture {
protected:
    QString status() const { return model->state().findMessage; }
    QString error() const { return model->state().errors.errorMessage.value_or(QString()); }
    // Saves the window's files to the path and waits until the window heard how it went.
    void saveSessionTo(const QString& target) {
        person.saveAnswers = {QUrl::fromLocalFile(target)};
        model->setFindMessage(QString());
        model->setErrorMessage(QString());
        WindowSession::of(*model).files().saveSessionFile();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !status().isEmpty() || !error().isEmpty(); }));
    }
    QString sessionFile(const QByteArray& json) {
        writeFile(QStringLiteral("s.json"), json);
        return path(QStringLiteral("s.json"));
    }
};

} // namespace

TEST_F(SessionFileTest, SavedFilesOpenAgainWithTheActiveOne) {
    WindowSession::of(*model).files().saveSessionFile();
    EXPECT_EQ(status(), localizedString(QStringLiteral("session.empty")));
    EXPECT_TRUE(person.savePanels.isEmpty());

    const QUrl a = writeFile(QStringLiteral("a.txt"), "a");
    const QUrl b = writeFile(QStringLiteral("b.txt"), "b");
    open(a);
    open(b);
    model->opening().appendTabsReplacingPristineTab({untitledTab()}, std::nullopt);
    model->setActiveTabID(tabAt(0).id);
    const QUrl target = QUrl::fromLocalFile(path(QStringLiteral("mine.json")));
    saveSessionTo(target.toLocalFile());
    EXPECT_EQ(person.savePanels.first().suggestedName,
              QStringLiteral("DunmossNotepadSession.dunmosssession.json"));
    EXPECT_EQ(status(), localizedString(QStringLiteral("session.saved")));
    const EditorSessionFile saved = decodeSessionFile(readFile(target.toLocalFile()));
    EXPECT_EQ(saved.files, (QStringList{a.toLocalFile(), b.toLocalFile()}));
    EXPECT_EQ(saved.activeFile, a.toLocalFile());
    // An untitled active tab leaves the key out.
    model->setActiveTabID(tabAt(2).id);
    saveSessionTo(target.toLocalFile());
    EXPECT_FALSE(readFile(target.toLocalFile()).contains("activeFile"));

    // Opened in a fresh window: the pristine tab gives way, the active file is found through a
    // link, and a file listed twice opens once.
    ASSERT_TRUE(QFile::link(a.toLocalFile(), path(QStringLiteral("link.txt"))));
    model = restoredModel();
    person.openAnswers = {{QUrl::fromLocalFile(
        sessionFile(QStringLiteral(R"({"files":["%1","%2","%1"],"activeFile":"%3","later":1})")
                        .arg(a.toLocalFile(), b.toLocalFile(), path(QStringLiteral("link.txt")))
                        .toUtf8()))}};
    WindowSession::of(*model).files().openSessionFile();
    waitForOpening(*model);
    ASSERT_EQ(model->state().tabs.size(), 2);
    EXPECT_EQ(activeTab(model->state()).fileURL, a);
    EXPECT_EQ(status(), "Opened a session of 3 files.");

    // Listed by its own path, the active file is the tab opened for it, not the last opened.
    model = restoredModel();
    WindowSession::of(*model).files().openSessionFileAt(
        sessionFile(QStringLiteral(R"({"files":["%1","%2"],"activeFile":"%1"})")
                        .arg(a.toLocalFile(), b.toLocalFile())
                        .toUtf8()));
    waitForOpening(*model);
    ASSERT_EQ(model->state().tabs.size(), 2);
    EXPECT_EQ(activeTab(model->state()).fileURL, a);
}

TEST_F(SessionFileTest, ASessionFileIsWrittenOffTheWindowsThreadAndAFailedWriteIsShown) {
    const QUrl a = writeFile(QStringLiteral("a.txt"), "a");
    open(a);
    const QString target = path(QStringLiteral("mine.json"));
    // The writer is busy with something else: the window does not wait for it.
    std::promise<void> release = keepTheWriterBusy();
    model->setFindMessage(QString());
    person.saveAnswers = {QUrl::fromLocalFile(target)};
    WindowSession::of(*model).files().saveSessionFile();
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_TRUE(status().isEmpty());
    release.set_value();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return status() == localizedString(QStringLiteral("session.saved")); }));
    EXPECT_EQ(decodeSessionFile(readFile(target)).files, QStringList{a.toLocalFile()});

    // A write the disk did not take says so, and the file stays as it was.
    const QByteArray before = readFile(target);
    open(writeFile(QStringLiteral("b.txt"), "b"));
    {
        const FailingSyncs disk(AtomicWriteSync::FileData);
        saveSessionTo(target);
    }
    EXPECT_TRUE(status().isEmpty());
    EXPECT_TRUE(error().contains(QStringLiteral("mine.json")));
    EXPECT_EQ(readFile(target), before);
}

TEST_F(SessionFileTest, ASessionFileAndCloseAllSaveTheSessionOnceAtTheirEnd) {
    int saves = 0;
    const std::function<void()> save = model->seams().persistSession;
    model->seams().persistSession = [&] {
        ++saves;
        save();
    };
    QStringList files;
    for (int i = 0; i < 5; ++i)
        files.append(writeFile(QStringLiteral("f%1.txt").arg(i), "x").toLocalFile());
    WindowSession::of(*model).files().openSessionFileAt(sessionFile(
        QStringLiteral(R"({"files":["%1"]})").arg(files.join(QStringLiteral("\",\""))).toUtf8()));
    waitForOpening(*model);
    EXPECT_EQ(model->state().tabs.size(), 5);
    EXPECT_EQ(saves, 1);
    TabClosing(*model).closeAllTabs(true);
    EXPECT_EQ(saves, 2);
    flush();
    EXPECT_EQ(decodeSessionRecord(readFile(recordFile())).tabs.size(), 1);
}

TEST_F(SessionFileTest, AnEmptyListStartsOverWithAFreshUntitledTab) {
    const QUuid first = tabAt(0).id;
    WindowSession::of(*model).files().openSessionFileAt(sessionFile(R"({"files":[]})"));
    waitForOpening(*model);
    ASSERT_EQ(model->state().tabs.size(), 1);
    EXPECT_NE(tabAt(0).id, first);
    EXPECT_TRUE(model->state().panels.showWelcome);
    EXPECT_EQ(status(), "Opened a session of 0 files.");
}

TEST_F(SessionFileTest, BadFilesAndRelativePathsChangeNothing) {
    edit(0, QStringLiteral("keep me"));
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    writeFile(QStringLiteral("here.txt"), "would be read from the working folder");
    const QList<QByteArray> bad = {
        R"({"activeFile":"/x"})",
        R"({"files":"/x"})",
        R"({"files":[1]})",
        R"({"files":["/a",)",
        R"({"files":["here.txt"]})",
        R"({"files":[""]})",
        R"({"files":["/a"],"activeFile":"rel"})",
    };
    for (const QByteArray& json : bad) {
        model->setErrorMessage(QString());
        WindowSession::of(*model).files().openSessionFileAt(sessionFile(json));
        waitForOpening(*model);
        EXPECT_FALSE(error().isEmpty()) << json.constData();
        ASSERT_EQ(model->state().tabs.size(), 1) << json.constData();
        EXPECT_EQ(tabAt(0).document.text, QStringLiteral("keep me"));
    }
    EXPECT_TRUE(error().contains(QStringLiteral("rel")));
    WindowSession::of(*model).files().openSessionFileAt(path(QStringLiteral("missing.json")));
    EXPECT_TRUE(error().contains(QStringLiteral("missing.json")));
    QDir::setCurrent(previous);
}
