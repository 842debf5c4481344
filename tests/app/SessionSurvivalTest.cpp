// The promise of the session: a program killed outright gives back every draft, and a file is
// never left half written. Each test runs the application, composed as the program composes
// it, in a child process with its data folders in a temporary place (XDG_*), and kills it.
#include "ProgramDriving.h"
#include "app/DunmossNotepadApp.h"
#include "app/EditorMenuBar.h"
#include "app/EditorWindowChrome.h"
#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "chrome/EditorWindowView.h"
#include "chrome/WindowLayout.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "platform/AtomicFileWrite.h"
#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "search/FindReplaceBar.h"
#include "search/FindStepRunner.h"
#include "session/SessionRecord.h"
#include "session/SessionStore.h"
#include "session/SessionWriter.h"
#include "session/WindowSession.h"
#include "text/EditorTab.h"
#include "window/EditorWindowModel.h"
#include "window/WindowCommandTable.h"
#include "window/WindowDerivedValues.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <thread>
#include <tuple>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

const char* const kRole = "DUNMOSS_SURVIVAL_ROLE";
// Lines of one letter, 4,500,000 bytes: below the preview limit, so every save writes it whole.
QByteArray largeContent(char letter) {
    return (QByteArray(79, letter) + '\n').repeated(4'500'000 / 80);
}

QString role() {
    return qEnvironmentVariable(kRole);
}

// The test harness points the data folders at its own place; a child takes the ones its parent
// chose and the real standard locations.
void useParentsDataFolders() {
    qputenv("XDG_CONFIG_HOME", qgetenv("DUNMOSS_SURVIVAL_CONFIG"));
    qputenv("XDG_DATA_HOME", qgetenv("DUNMOSS_SURVIVAL_DATA"));
    QStandardPaths::setTestModeEnabled(false);
}

// The window once its start-up is done, its session is back and the files handed over have
// opened in it.
EditorWindowView* startedWindow(DunmossNotepadApp& app, const QStringList& paths) {
    EditorWindowView* window = app.start(paths);
    if (!window->hasCompletedStartUp()) {
        QSignalSpy started(window, &EditorWindowView::startUpCompleted);
        started.wait(5000);
    }
    const auto opened = [window, paths] {
        QStringList open;
        for (const EditorTab& tab : window->model().state().tabs)
            if (tab.fileURL)
                open.append(tab.fileURL->toLocalFile());
        for (const QString& path : paths)
            if (!open.contains(path))
                return false;
        return true;
    };
    // The stored session is read on a pool thread: on a loaded machine it comes back well after
    // the start-up steps.
    static_cast<void>(QTest::qWaitFor(
        [&] { return window->model().state().decisions.didRestoreSession && opened(); }, 20000));
    settle();
    return window;
}

ShortcutTextView* activeEditor(EditorWindowView* window) {
    window->refreshNow();
    settle();
    return window->windowLayout().editorArea()->primaryPane()->editorView()->textView();
}

// The active tab's text, with the keyboard in it at its end.
ShortcutTextView* focusAtTheEnd(EditorWindowView* window) {
    ShortcutTextView* editor = activeEditor(window);
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_End, Qt::ControlModifier);
    return editor;
}

// What must come back: per tab its file, text, selection, encoding and line ending.
QByteArray describe(const EditorWindowState& state) {
    QJsonArray tabs;
    for (const EditorTab& tab : state.tabs)
        tabs.append(QJsonObject{
            {QStringLiteral("file"), tab.fileURL ? tab.fileURL->toLocalFile() : QString()},
            {QStringLiteral("text"), tab.document.text},
            {QStringLiteral("selection"),
             QStringLiteral("%1+%2").arg(tab.selectedRange.location).arg(tab.selectedRange.length)},
            {QStringLiteral("encoding"), identifier(tab.document.encoding)},
            {QStringLiteral("lineEnding"), identifier(tab.document.lineEnding)},
            {QStringLiteral("active"), tab.id == state.activeTabID}});
    return QJsonDocument(tabs).toJson(QJsonDocument::Compact);
}

void say(const QByteArray& line) {
    std::fputs((line + '\n').constData(), stdout);
    std::fflush(stdout);
}

// Child: opens the two files and a new untitled tab, types into the untitled tab and into the
// GB 18030 file, selects a word with the keyboard, reports the state and waits to be killed.
void typeAndWait() {
    useParentsDataFolders();
    const QStringList files =
        qEnvironmentVariable("DUNMOSS_SURVIVAL_FILES").split(QLatin1Char(';'));
    DunmossNotepadApp app({QStringLiteral("dunmoss-notepad")});
    EditorWindowView* window = startedWindow(app, files);
    EditorWindowModel& model = window->model();
    window->commandTable().newDocument();
    ShortcutTextView* editor = activeEditor(window);
    editor->setFocus();
    typeText(editor, QStringLiteral("an untitled draft"));
    QTest::keyClick(editor, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(editor, Qt::Key_Left, Qt::ShiftModifier);

    window->commandTable().selectTab(model.state().tabs.at(1).id);
    editor = focusAtTheEnd(window);
    typeText(editor, QStringLiteral("第三行 typed"));
    QTest::keyClick(editor, Qt::Key_Left, Qt::ShiftModifier);
    settle();
    say("STATE " + describe(model.state()));
    QEventLoop().exec();
}

// Child: a fresh start; reports what was restored.
void reportRestored() {
    useParentsDataFolders();
    DunmossNotepadApp app({QStringLiteral("dunmoss-notepad")});
    EditorWindowView* window = startedWindow(app, {});
    say("STATE " + describe(window->model().state()));
}

// Child: saves a large file over and over, alternating two contents, until killed.
void saveForever() {
    useParentsDataFolders();
    DunmossNotepadApp app({QStringLiteral("dunmoss-notepad")});
    EditorWindowView* window = startedWindow(app, {qEnvironmentVariable("DUNMOSS_SURVIVAL_FILES")});
    EditorWindowModel& model = window->model();
    const auto content = [](const char* letter) {
        return QString::fromLatin1(largeContent(qEnvironmentVariable(letter).at(0).toLatin1()));
    };
    const QString first = content("DUNMOSS_SURVIVAL_A");
    const QString second = content("DUNMOSS_SURVIVAL_B");
    QAction* save = editorMenuBar(*window)->actionForKey(QStringLiteral("command.save"));
    say("SAVING");
    for (int round = 0;; ++round) {
        model.setTabText(activeTab(model.state()).id, round % 2 ? second : first);
        save->trigger();
        QApplication::processEvents();
    }
}

// Child: types one letter every 50 ms into a new untitled tab, saying how many so far, until
// killed.
void typeContinuously() {
    useParentsDataFolders();
    DunmossNotepadApp app({QStringLiteral("dunmoss-notepad")});
    EditorWindowView* window = startedWindow(app, {});
    window->commandTable().newDocument();
    ShortcutTextView* editor = activeEditor(window);
    editor->setFocus();
    int typed = 0;
    QTimer keys;
    keys.setInterval(50);
    QObject::connect(&keys, &QTimer::timeout, [&] {
        typeText(editor, QString(QChar(u'a' + typed % 26)));
        say("TYPED " + QByteArray::number(++typed));
    });
    keys.start();
    QEventLoop().exec();
}

// Child: types into a new untitled tab and a file's tab, then runs as the program does until
// a termination signal ends it.
void typeThenRunUntilSignalled() {
    useParentsDataFolders();
    DunmossNotepadApp app({QStringLiteral("dunmoss-notepad")});
    app.quitOnTerminationSignals();
    EditorWindowView* window = startedWindow(app, {qEnvironmentVariable("DUNMOSS_SURVIVAL_FILES")});
    ShortcutTextView* editor = focusAtTheEnd(window);
    typeText(editor, QStringLiteral(" and more"));
    window->commandTable().newDocument();
    editor = activeEditor(window);
    editor->setFocus();
    typeText(editor, QStringLiteral("typed just before the signal"));
    settle();
    say("STATE " + describe(window->model().state()));
    const int status = QApplication::exec();
    SessionWriter::shared().waitUntilIdle();
    say("QUIT " + QByteArray::number(status));
}

// Child: types into the file's tab; then, while every sync takes 1.3 s (a slow disk, yet one
// that answers) and the session's first copy is being written, types more; then runs as the
// program does until a termination signal ends it.
void typeOnASlowDiskUntilSignalled() {
    useParentsDataFolders();
    DunmossNotepadApp app({QStringLiteral("dunmoss-notepad")});
    app.quitOnTerminationSignals();
    EditorWindowView* window = startedWindow(app, {qEnvironmentVariable("DUNMOSS_SURVIVAL_FILES")});
    ShortcutTextView* editor = focusAtTheEnd(window);
    typeText(editor, QStringLiteral(" and more"));
    settle();
    static std::atomic<bool> syncing = false;
    beforeAtomicWriteSyncForTesting([] {
        syncing = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    });
    WindowSession::of(window->model()).persistence().persistSession();
    while (!syncing)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    typeText(editor, QStringLiteral(" typed while the disk was slow"));
    settle();
    say("STATE " + describe(window->model().state()));
    const int status = QApplication::exec();
    SessionWriter::shared().waitUntilIdle();
    say("QUIT " + QByteArray::number(status));
}

// Child: gives Replace All from the find bar in the file's tab and types at once, through the
// keyboard, while the search still runs; then runs as the program does until a termination
// signal ends it. The search ends DUNMOSS_SURVIVAL_SEARCH_MS after the parent says that it sent
// the signal (by making the file DUNMOSS_SURVIVAL_SIGNALLED).
void replaceAllThenTypeUntilSignalled() {
    useParentsDataFolders();
    DunmossNotepadApp app({QStringLiteral("dunmoss-notepad")});
    app.quitOnTerminationSignals();
    EditorWindowView* window = startedWindow(app, {qEnvironmentVariable("DUNMOSS_SURVIVAL_FILES")});
    ShortcutTextView* editor = focusAtTheEnd(window);
    QTest::keyClick(editor, Qt::Key_F, Qt::ControlModifier);
    settle();
    auto* bar = qobject_cast<FindReplaceBar*>(window->windowLayout().panel(WindowPanel::FindBar));
    QTest::keyClicks(bar->queryField(), QStringLiteral("one"));
    QTest::mouseClick(bar->replaceField(), Qt::LeftButton);
    QTest::keyClicks(bar->replaceField(), QStringLiteral("1"));
    settle();
    const int searchMs = qEnvironmentVariableIntValue("DUNMOSS_SURVIVAL_SEARCH_MS");
    const QString signalled = qEnvironmentVariable("DUNMOSS_SURVIVAL_SIGNALLED");
    FindStepRunner::of(window->model()).beforeSearch = [searchMs, signalled] {
        for (int i = 0; i < 3000 && !QFile::exists(signalled); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(searchMs));
    };
    const QString replaceAll = localizedString(QStringLiteral("find.replace-all"));
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
        if (button->isVisible() &&
            (button->text() == replaceAll || button->toolTip() == replaceAll))
            QTest::mouseClick(button, Qt::LeftButton);
    QTest::keyClicks(editor, QStringLiteral("xy"));
    settle();
    say("TYPED");
    const int status = QApplication::exec();
    SessionWriter::shared().waitUntilIdle();
    say("QUIT " + QByteArray::number(status));
}

// Child: types into the file's tab, waits until the session holds that, types more and gives
// Save, as the keyboard's Ctrl+S does; then runs as the program does until killed. With
// DUNMOSS_SURVIVAL_HOLD set it kills itself once the file holds the save and before the window
// hears of it, the moment where a session is older than the file.
void typeThenSave() {
    useParentsDataFolders();
    DunmossNotepadApp app({QStringLiteral("dunmoss-notepad")});
    const QString path = qEnvironmentVariable("DUNMOSS_SURVIVAL_FILES");
    EditorWindowView* window = startedWindow(app, {path});
    ShortcutTextView* editor = focusAtTheEnd(window);
    typeText(editor, QStringLiteral(" stored"));
    WindowSession::of(window->model()).persistence().persistSessionAndWait();
    typeText(editor, QStringLiteral(" and the last keys"));
    editorMenuBar(*window)->actionForKey(QStringLiteral("command.save"))->trigger();
    if (qEnvironmentVariableIsSet("DUNMOSS_SURVIVAL_HOLD")) {
        const auto saved = [&path] {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) && file.readAll().endsWith("the last keys");
        };
        for (int i = 0; i < 10'000 && !saved(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ::raise(SIGKILL);
    }
    say("SAVED");
    QEventLoop().exec();
}

// Child: a fresh start; reports the restored file tab's text and whether it is changed on disk
// or modified.
void reportRestoredFileTab() {
    useParentsDataFolders();
    DunmossNotepadApp app({QStringLiteral("dunmoss-notepad")});
    EditorWindowView* window = startedWindow(app, {});
    for (const EditorTab& tab : window->model().state().tabs)
        if (tab.fileURL)
            say("TAB " +
                QJsonDocument(QJsonObject{{QStringLiteral("text"), tab.document.text},
                                          {QStringLiteral("changed"), tab.hasExternalChanges},
                                          {QStringLiteral("modified"), tabIsModified(tab)}})
                    .toJson(QJsonDocument::Compact));
}

class SessionSurvival : public ::testing::Test {
protected:
    void SetUp() override {
        if (!role().isEmpty())
            return;
        ASSERT_TRUE(dir.isValid());
    }

    QProcess* startChild(const QString& childRole, const QString& test, const QString& files,
                         const QString& dataFolder) {
        auto* child = new QProcess;
        children.emplace_back(child);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(kRole), childRole);
        environment.insert(QStringLiteral("DUNMOSS_SURVIVAL_CONFIG"),
                           dataFolder + QStringLiteral("/config"));
        environment.insert(QStringLiteral("DUNMOSS_SURVIVAL_DATA"),
                           dataFolder + QStringLiteral("/data"));
        environment.insert(QStringLiteral("DUNMOSS_SURVIVAL_FILES"), files);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        for (const auto& [key, value] : extraEnvironment)
            environment.insert(key, value);
        child->setProcessEnvironment(environment);
        child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child->start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--gtest_filter=SessionSurvival.") + test});
        return child;
    }

    // The rest of the first line the child writes with the prefix; nothing when it ends first.
    static std::optional<QByteArray> readLine(QProcess* child, const QByteArray& prefix) {
        while (child->state() != QProcess::NotRunning || child->canReadLine()) {
            if (!child->canReadLine() && !child->waitForReadyRead(30000))
                return std::nullopt;
            while (child->canReadLine()) {
                const QByteArray line = child->readLine().trimmed();
                if (line.startsWith(prefix))
                    return line.mid(prefix.size());
            }
        }
        return std::nullopt;
    }

    static void kill(QProcess* child) {
        ::kill(pid_t(child->processId()), SIGKILL);
        child->waitForFinished(10000);
    }

    QTemporaryDir dir;
    std::vector<std::unique_ptr<QProcess>> children;
    QList<std::pair<QString, QString>> extraEnvironment;
};

} // namespace

TEST_F(SessionSurvival, EveryDraftSelectionAndEncodingComesBackAfterAKill) {
    if (role() == QLatin1String("type"))
        return typeAndWait();
    if (role() == QLatin1String("report"))
        return reportRestored();
    const QString plain = dir.filePath(QStringLiteral("plain.txt"));
    const QString chinese = dir.filePath(QStringLiteral("chinese.txt"));
    {
        QFile a(plain);
        ASSERT_TRUE(a.open(QIODevice::WriteOnly));
        a.write("alpha\nbeta\n");
        QFile b(chinese);
        ASSERT_TRUE(b.open(QIODevice::WriteOnly));
        b.write(gb18030(QStringLiteral("第一行：你好\r\n第二行 second\r\n")));
    }
    const QString data = dir.filePath(QStringLiteral("home"));

    QProcess* typing = startChild(
        QStringLiteral("type"), QStringLiteral("EveryDraftSelectionAndEncodingComesBackAfterAKill"),
        plain + QLatin1Char(';') + chinese, data);
    const QByteArray typed = readLine(typing, "STATE ").value_or(QByteArray());
    ASSERT_FALSE(typed.isEmpty()) << "the typing child reported nothing";
    // Longer than the snapshot's wait, shorter than the first maintenance tick. A loaded
    // machine may run the child's timer late: then the kill waits for the snapshot to appear.
    QTest::qWait(1000);
    const QString recovery = data + QStringLiteral("/data/Dunmoss Notepad/Recovery/recovery.json");
    // The last keys went to the file's tab, with no event between them and its selection: a
    // snapshot that holds them holds all the child reported.
    const auto snapshotHoldsDraft = [&] {
        QFile file(recovery);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QByteArray bytes = file.readAll();
        return bytes.contains("an untitled draft") && bytes.contains(" typed");
    };
    for (int i = 0; i < 100 && !snapshotHoldsDraft(); ++i)
        QTest::qWait(100);
    kill(typing);
    ASSERT_EQ(typing->exitStatus(), QProcess::CrashExit);

    // The record was written before the typing: the drafts come from the recovery file.
    QFile record(data + QStringLiteral("/config/Dunmoss Notepad/session.json"));
    if (record.open(QIODevice::ReadOnly)) {
        EXPECT_FALSE(record.readAll().contains("an untitled draft"));
    }
    EXPECT_TRUE(
        QFile::exists(data + QStringLiteral("/data/Dunmoss Notepad/Recovery/recovery.json")));

    QProcess* report = startChild(
        QStringLiteral("report"),
        QStringLiteral("EveryDraftSelectionAndEncodingComesBackAfterAKill"), QString(), data);
    const QByteArray restored = readLine(report, "STATE ").value_or(QByteArray());
    report->waitForFinished(20000);
    const QJsonArray before = QJsonDocument::fromJson(typed).array();
    ASSERT_EQ(before.size(), 3);
    EXPECT_TRUE(before.at(2)
                    .toObject()
                    .value(QStringLiteral("text"))
                    .toString()
                    .contains(QStringLiteral("an untitled draft")));
    EXPECT_EQ(before.at(1).toObject().value(QStringLiteral("encoding")), QStringLiteral("gb18030"));
    EXPECT_EQ(QJsonDocument::fromJson(restored).array(), before)
        << "typed:    " << typed.constData() << "\nrestored: " << restored.constData();
}

TEST_F(SessionSurvival, ContinuousTypingKilledLosesAtMostTheLastTwoSeconds) {
    if (role() == QLatin1String("continuous"))
        return typeContinuously();
    if (role() == QLatin1String("report"))
        return reportRestored();
    const QString test = QStringLiteral("ContinuousTypingKilledLosesAtMostTheLastTwoSeconds");
    const QString data = dir.filePath(QStringLiteral("home"));
    QProcess* typing = startChild(QStringLiteral("continuous"), test, QString(), data);
    ASSERT_TRUE(readLine(typing, "TYPED "));
    // When each count was heard; what the child said later than two seconds before the kill
    // may be lost, nothing earlier.
    QElapsedTimer clock;
    clock.start();
    QList<std::pair<qint64, int>> heard;
    while (clock.elapsed() < 5000) {
        typing->waitForReadyRead(50);
        while (typing->canReadLine()) {
            const QByteArray line = typing->readLine().trimmed();
            if (line.startsWith("TYPED "))
                heard.append({clock.elapsed(), line.mid(6).toInt()});
        }
    }
    kill(typing);
    const qint64 killedAt = clock.elapsed();
    int mustSurvive = 0;
    for (const auto& [at, count] : heard)
        if (at <= killedAt - 2000)
            mustSurvive = count;
    ASSERT_GT(mustSurvive, 10) << "the child typed too little to judge";

    QProcess* report = startChild(QStringLiteral("report"), test, QString(), data);
    const QByteArray restored = readLine(report, "STATE ").value_or(QByteArray());
    report->waitForFinished(20000);
    QString longest;
    for (const QJsonValue& tab : QJsonDocument::fromJson(restored).array()) {
        const QString text = tab.toObject().value(QStringLiteral("text")).toString();
        if (text.size() > longest.size())
            longest = text;
    }
    EXPECT_GE(longest.size(), mustSurvive) << restored.constData();
    for (qsizetype i = 0; i < longest.size(); ++i)
        ASSERT_EQ(longest.at(i), QChar(char16_t(u'a' + i % 26))) << "at " << i;
}

TEST_F(SessionSurvival, TerminationAndHangUpRightAfterTypingLoseNothing) {
    if (role() == QLatin1String("signalled"))
        return typeThenRunUntilSignalled();
    if (role() == QLatin1String("report"))
        return reportRestored();
    const QString test = QStringLiteral("TerminationAndHangUpRightAfterTypingLoseNothing");
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        const QString file = dir.filePath(QStringLiteral("notes%1.txt").arg(signal));
        {
            QFile out(file);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write("first line\n");
        }
        const QString data = dir.filePath(QStringLiteral("home%1").arg(signal));
        QProcess* child = startChild(QStringLiteral("signalled"), test, file, data);
        const QByteArray typed = readLine(child, "STATE ").value_or(QByteArray());
        ASSERT_FALSE(typed.isEmpty());
        // Well within the snapshot's wait.
        ::kill(pid_t(child->processId()), signal);
        ASSERT_TRUE(readLine(child, "QUIT "));
        ASSERT_TRUE(child->waitForFinished(20000));
        EXPECT_EQ(child->exitStatus(), QProcess::NormalExit);

        QProcess* report = startChild(QStringLiteral("report"), test, QString(), data);
        const QByteArray restored = readLine(report, "STATE ").value_or(QByteArray());
        report->waitForFinished(20000);
        EXPECT_EQ(QJsonDocument::fromJson(restored).array(), QJsonDocument::fromJson(typed).array())
            << "typed:    " << typed.constData() << "\nrestored: " << restored.constData();
        // The file itself was left as it was: the drafts live in the session.
        QFile in(file);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        EXPECT_EQ(in.readAll(), QByteArray("first line\n"));
    }
}

// A slow disk is waited for: the program ends once the session holding the last keys is on
// disk, however many syncs that takes, each answered within the time a stalled disk is given.
TEST_F(SessionSurvival, ASignalOnASlowDiskEndsOnceTheSessionIsWritten) {
    if (role() == QLatin1String("slow"))
        return typeOnASlowDiskUntilSignalled();
    if (role() == QLatin1String("report"))
        return reportRestored();
    const QString test = QStringLiteral("ASignalOnASlowDiskEndsOnceTheSessionIsWritten");
    const QString file = dir.filePath(QStringLiteral("notes.txt"));
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("first line\n");
    }
    const QString data = dir.filePath(QStringLiteral("home"));
    QProcess* child = startChild(QStringLiteral("slow"), test, file, data);
    const QByteArray typed = readLine(child, "STATE ").value_or(QByteArray());
    ASSERT_FALSE(typed.isEmpty());
    ::kill(pid_t(child->processId()), SIGTERM);
    ASSERT_TRUE(readLine(child, "QUIT ")) << "ended before the session was written";
    ASSERT_TRUE(child->waitForFinished(30000));
    EXPECT_EQ(child->exitCode(), 0);

    QProcess* report = startChild(QStringLiteral("report"), test, QString(), data);
    const QByteArray restored = readLine(report, "STATE ").value_or(QByteArray());
    report->waitForFinished(20000);
    EXPECT_EQ(QJsonDocument::fromJson(restored).array(), QJsonDocument::fromJson(typed).array())
        << "typed:    " << typed.constData() << "\nrestored: " << restored.constData();
}

TEST_F(SessionSurvival, AKilledSaveLeavesTheOldOrTheNewFileNeverAPart) {
    if (role() == QLatin1String("save"))
        return saveForever();
    const QString file = dir.filePath(QStringLiteral("large.txt"));
    const QByteArray original = largeContent('o');
    const QByteArray first = largeContent('a');
    const QByteArray second = largeContent('b');
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(original);
    }
    // The child builds the two contents from their letter.
    extraEnvironment = {{QStringLiteral("DUNMOSS_SURVIVAL_A"), QStringLiteral("a")},
                        {QStringLiteral("DUNMOSS_SURVIVAL_B"), QStringLiteral("b")}};
    int sawNew = 0;
    for (int round = 0; round < 12; ++round) {
        QProcess* saver = startChild(
            QStringLiteral("save"), QStringLiteral("AKilledSaveLeavesTheOldOrTheNewFileNeverAPart"),
            file, dir.filePath(QStringLiteral("home%1").arg(round)));
        ASSERT_TRUE(readLine(saver, "SAVING"));
        QTest::qWait(QRandomGenerator::global()->bounded(20, 400));
        kill(saver);
        QFile in(file);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        const QByteArray bytes = in.readAll();
        const bool whole = bytes == original || bytes == first || bytes == second;
        ASSERT_TRUE(whole) << "round " << round << ": " << bytes.size() << " bytes starting "
                           << bytes.left(1).constData();
        sawNew += bytes != original ? 1 : 0;
    }
    // The kills fell during the saves, not only before the first one.
    EXPECT_GT(sawNew, 0);
}

TEST_F(SessionSurvival, ASignalEndsTheProgramWithoutAskingWhenASessionCopyCannotBeWritten) {
    if (role() == QLatin1String("signalled"))
        return typeThenRunUntilSignalled();
    if (role() == QLatin1String("report"))
        return reportRestored();
    const QString test =
        QStringLiteral("ASignalEndsTheProgramWithoutAskingWhenASessionCopyCannotBeWritten");
    // What stops a copy from being written, whoever runs the test (permissions do not stop
    // root): a file where the folder should be, or a folder where the file should be.
    enum class Blocked { ConfigFolder, RecordIsAFolder, EveryFolder };
    const std::tuple<Blocked, int, const char*> cases[] = {
        {Blocked::ConfigFolder, SIGTERM, "config"},
        {Blocked::RecordIsAFolder, SIGHUP, "record"},
        {Blocked::EveryFolder, SIGINT, "every"},
    };
    for (const auto& [blocked, signal, name] : cases) {
        SCOPED_TRACE(name);
        const QString file = dir.filePath(QStringLiteral("notes-%1.txt").arg(QLatin1String(name)));
        {
            QFile out(file);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write("first line\n");
        }
        const QString data = dir.filePath(QStringLiteral("home-%1").arg(QLatin1String(name)));
        const QString config = data + QStringLiteral("/config/Dunmoss Notepad");
        const QString recoveryFolder = data + QStringLiteral("/data/Dunmoss Notepad/Recovery");
        const auto blockWithFile = [](const QString& path) {
            ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
            QFile stand(path);
            ASSERT_TRUE(stand.open(QIODevice::WriteOnly));
        };
        if (blocked == Blocked::RecordIsAFolder)
            ASSERT_TRUE(QDir().mkpath(config + QStringLiteral("/session.json")));
        else
            blockWithFile(config);
        if (blocked == Blocked::EveryFolder)
            blockWithFile(recoveryFolder);

        QProcess* child = startChild(QStringLiteral("signalled"), test, file, data);
        const QByteArray typed = readLine(child, "STATE ").value_or(QByteArray());
        ASSERT_FALSE(typed.isEmpty());
        ::kill(pid_t(child->processId()), signal);
        // No question holds it up: it quits by itself.
        const std::optional<QByteArray> status = readLine(child, "QUIT ");
        ASSERT_TRUE(status) << "the program did not quit";
        ASSERT_TRUE(child->waitForFinished(20000));
        EXPECT_EQ(child->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child->exitCode(), 0);
        // One copy written is enough for the next start; with none, the program's status says
        // it failed.
        if (blocked == Blocked::EveryFolder) {
            EXPECT_NE(*status, "0");
            continue;
        }
        EXPECT_EQ(*status, "0");

        QFile recovery(recoveryFolder + QStringLiteral("/recovery.json"));
        ASSERT_TRUE(recovery.open(QIODevice::ReadOnly));
        EXPECT_TRUE(recovery.readAll().contains("typed just before the signal"));
        // The next start brings the drafts back from it.
        QProcess* report = startChild(QStringLiteral("report"), test, QString(), data);
        const QByteArray restored = readLine(report, "STATE ").value_or(QByteArray());
        report->waitForFinished(20000);
        EXPECT_EQ(QJsonDocument::fromJson(restored).array(), QJsonDocument::fromJson(typed).array())
            << "typed:    " << typed.constData() << "\nrestored: " << restored.constData();
    }
}

// A signal while Replace All still searches: the command ends first (or, when its search takes
// too long, is dropped), and the keys typed meanwhile follow it, so the stored text is the one
// the person would have seen.
TEST_F(SessionSurvival, KeysTypedDuringReplaceAllSurviveASignal) {
    if (role() == QLatin1String("replacing"))
        return replaceAllThenTypeUntilSignalled();
    if (role() == QLatin1String("report"))
        return reportRestored();
    const QString test = QStringLiteral("KeysTypedDuringReplaceAllSurviveASignal");
    // Replace All leaves the caret at the start, where the keys then go; dropped, it leaves the
    // keys where the caret was.
    const std::tuple<int, const char*, const char*> cases[] = {
        {SIGTERM, "100", "xy1 two 1\n"},
        {SIGHUP, "100", "xy1 two 1\n"},
        {SIGINT, "3000", "one two one\nxy"},
    };
    for (const auto& [signal, searchMs, expected] : cases) {
        SCOPED_TRACE(signal);
        const QString file = dir.filePath(QStringLiteral("replace%1.txt").arg(signal));
        {
            QFile out(file);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write("one two one\n");
        }
        const QString data = dir.filePath(QStringLiteral("replace-home%1").arg(signal));
        const QString signalled = data + QStringLiteral("-signalled");
        extraEnvironment = {{QStringLiteral("DUNMOSS_SURVIVAL_SEARCH_MS"), QLatin1String(searchMs)},
                            {QStringLiteral("DUNMOSS_SURVIVAL_SIGNALLED"), signalled}};
        QProcess* child = startChild(QStringLiteral("replacing"), test, file, data);
        ASSERT_TRUE(readLine(child, "TYPED"));
        ::kill(pid_t(child->processId()), signal);
        QFile(signalled).open(QIODevice::WriteOnly);
        ASSERT_TRUE(readLine(child, "QUIT "));
        ASSERT_TRUE(child->waitForFinished(20000));

        QProcess* report = startChild(QStringLiteral("report"), test, QString(), data);
        const QByteArray restored = readLine(report, "STATE ").value_or(QByteArray());
        report->waitForFinished(20000);
        const QJsonArray tabs = QJsonDocument::fromJson(restored).array();
        ASSERT_EQ(tabs.size(), 1) << restored.constData();
        EXPECT_EQ(tabs.at(0).toObject().value(QStringLiteral("text")).toString().toStdString(),
                  expected);
    }
}

// A kill right after Save, before the session heard that the file holds newer text than its
// draft: the file is the tab's own, never "changed on disk". Held once at that moment, then
// killed after a short wait (DUNMOSS_SURVIVAL_KILLS runs, 3 by default).
TEST_F(SessionSurvival, AKillRightAfterSaveNeverFlagsTheFileAsChangedOnDisk) {
    if (role() == QLatin1String("save"))
        return typeThenSave();
    if (role() == QLatin1String("report"))
        return reportRestoredFileTab();
    const QString test = QStringLiteral("AKillRightAfterSaveNeverFlagsTheFileAsChangedOnDisk");
    const QString stored = QStringLiteral("first line stored");
    const QString saved = stored + QStringLiteral(" and the last keys");
    const int kills = qEnvironmentVariableIsSet("DUNMOSS_SURVIVAL_KILLS")
                          ? qEnvironmentVariableIntValue("DUNMOSS_SURVIVAL_KILLS")
                          : 3;
    int flagged = 0;
    for (int run = 0; run <= kills; ++run) {
        const QString file = dir.filePath(QStringLiteral("notes%1.txt").arg(run));
        {
            QFile out(file);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write("first line");
        }
        const QString data = dir.filePath(QStringLiteral("home%1").arg(run));
        const bool held = run == 0;
        extraEnvironment.clear();
        if (held)
            extraEnvironment.append({QStringLiteral("DUNMOSS_SURVIVAL_HOLD"), QStringLiteral("1")});
        QProcess* saver = startChild(QStringLiteral("save"), test, file, data);
        if (held) {
            saver->waitForFinished(30000);
        } else {
            ASSERT_TRUE(readLine(saver, "SAVED"));
            QTest::qWait(QRandomGenerator::global()->bounded(150, 250));
            kill(saver);
        }
        ASSERT_EQ(saver->exitStatus(), QProcess::CrashExit);
        QProcess* report = startChild(QStringLiteral("report"), test, QString(), data);
        const QJsonObject tab =
            QJsonDocument::fromJson(readLine(report, "TAB ").value_or(QByteArray())).object();
        report->waitForFinished(20000);
        QFile in(file);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        const bool landed = in.readAll() == saved.toUtf8();
        EXPECT_TRUE(!held || landed);
        flagged += tab.value(QStringLiteral("changed")).toBool() ? 1 : 0;
        EXPECT_FALSE(tab.value(QStringLiteral("changed")).toBool()) << "run " << run;
        // What the file holds comes back, saved; else the stored draft, still to be saved.
        if (landed) {
            EXPECT_EQ(tab.value(QStringLiteral("text")).toString(), saved) << "run " << run;
            EXPECT_FALSE(tab.value(QStringLiteral("modified")).toBool()) << "run " << run;
        } else {
            EXPECT_EQ(tab.value(QStringLiteral("text")).toString(), stored) << "run " << run;
        }
    }
    std::printf("kills right after Save that flagged the file: %d of %d\n", flagged, kills + 1);
}
