// News nobody asked for (a file changed on disk, an autosave that failed) comes up on the message
// bar above the editor while the person types: every key still reaches the text, no dialog opens,
// and only a click on the bar's button throws the draft away.
#include "chrome/MessageBar.h"
#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "chrome/EditorWindowView.h"
#include "chrome/TestWindowOptions.h"
#include "chrome/WindowLayout.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "editor/TextStorage.h"
#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "session/MaintenanceTick.h"
#include "session/WindowSession.h"
#include "support/WaitForOpening.h"
#include "text/EditorTab.h"
#include "window/DocumentOpening.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <utime.h>

using namespace dunmoss;
using dunmoss::test::testWindowOptions;
using dunmoss::test::waitForOpening;

namespace {

class UnaskedNews : public ::testing::Test {
protected:
    void SetUp() override {
        defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("settings.ini")));
        window = new EditorWindowView(testWindowOptions(*defaults));
        window->resize(900, 600);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->hasCompletedStartUp(); }));
    }
    void TearDown() override {
        delete window.data();
        QApplication::processEvents();
    }

    EditorWindowModel& model() const { return window->model(); }
    const EditorTab& active() const { return activeTab(model().state()); }
    MessageBar& bar() const { return *window->windowLayout().messageBar(); }
    ShortcutTextView* textView() const {
        return window->windowLayout().editorArea()->primaryPane()->editorView()->textView();
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    void writeFile(const QString& name, const QByteArray& bytes, bool backdate = false) {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        if (backdate) {
            // Clearly apart from the date the window knows.
            utimbuf times{1'000'000'000, 1'000'000'000};
            ASSERT_EQ(::utime(QFile::encodeName(path(name)).constData(), &times), 0);
        }
    }
    // Opens the file in the window with the keyboard in its text, caret at the end.
    void openAndFocus(const QString& name, std::optional<TextFileEncoding> encoding = {}) {
        model().opening().openDocument(QUrl::fromLocalFile(path(name)));
        waitForOpening(model());
        if (encoding)
            model().update([&](EditorWindowState& state) {
                state.tabs[activeTabIndex(state)].document.encoding = *encoding;
                state.tabs[activeTabIndex(state)].savedEncoding = *encoding;
            });
        window->refreshNow();
        textView()->setFocus();
        textView()->moveCursor(QTextCursor::End);
        ASSERT_EQ(QApplication::focusWidget(), textView());
    }
    // Keys as the keyboard sends them, to whichever widget has the keyboard now.
    void type(const QString& keys) {
        QTest::keyClicks(QApplication::focusWidget(), keys);
        QApplication::processEvents();
    }
    void key(Qt::Key key) {
        QTest::keyClick(QApplication::focusWidget(), key);
        QApplication::processEvents();
    }
    void tick() {
        WindowSession::of(model()).maintenance().maintenanceTick();
        WindowSession::of(model()).maintenance().waitForAutosaves();
        // Whatever the tick raises comes up on the next turns of the event loop.
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
    }
    // Nothing took the keyboard from the text.
    void expectTheTextKeepsTheKeyboard() {
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget(), textView());
    }

    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;
    QPointer<EditorWindowView> window;
};

} // namespace

TEST_F(UnaskedNews, AFileChangedOnDiskWhileTypingTakesNoKeyAndReloadsOnlyOnAClick) {
    writeFile(QStringLiteral("notes.txt"), "first line\n");
    openAndFocus(QStringLiteral("notes.txt"));
    type(QStringLiteral("draft"));
    writeFile(QStringLiteral("notes.txt"), "theirs\n", true);
    tick();
    ASSERT_EQ(bar().texts(),
              QStringList{localizedString(QStringLiteral("document.external-change.message.format"))
                              .arg(QStringLiteral("notes.txt"))});
    EXPECT_TRUE(bar().isVisibleTo(window));
    expectTheTextKeepsTheKeyboard();

    // Tab then Space would have pressed "Reload from Disk" in an alert; here they are text.
    key(Qt::Key_Tab);
    key(Qt::Key_Space);
    key(Qt::Key_Return);
    type(QStringLiteral("more"));
    EXPECT_EQ(active().document.text, QStringLiteral("first line\ndraft\t \nmore"));
    EXPECT_TRUE(active().hasExternalChanges);
    expectTheTextKeepsTheKeyboard();

    // The deliberate act: a click on the bar's button.
    const QList<QAbstractButton*> buttons = bar().buttons(0);
    ASSERT_EQ(buttons.size(), 3); // reload, keep, close
    EXPECT_EQ(buttons.first()->text(),
              localizedString(QStringLiteral("document.external-change.reload")));
    for (QAbstractButton* button : buttons)
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
    QTest::mouseClick(buttons.first(), Qt::LeftButton);
    waitForOpening(model());
    EXPECT_EQ(active().document.text, QStringLiteral("theirs\n"));
    window->refreshNow();
    EXPECT_TRUE(bar().isEmpty());
    EXPECT_FALSE(bar().isVisibleTo(window));
}

// A long file changed throughout, reloaded from the bar: its text comes in a storage filled
// aside, which the text view shows and types into.
TEST_F(UnaskedNews, ALongFileReloadedFromTheBarIsShownAndEditedInTheView) {
    const QByteArray line = "a line of a long file\n";
    writeFile(QStringLiteral("long.txt"), line.repeated(4000));
    openAndFocus(QStringLiteral("long.txt"));
    const QByteArray changed = QByteArray("changed ").append(line).repeated(4000);
    writeFile(QStringLiteral("long.txt"), changed, true);
    tick();
    const QList<QAbstractButton*> buttons = bar().buttons(0);
    ASSERT_FALSE(buttons.isEmpty());
    QTest::mouseClick(buttons.first(), Qt::LeftButton);
    waitForOpening(model());
    window->refreshNow();
    ASSERT_EQ(active().document.text, QString::fromLatin1(changed));
    EXPECT_EQ(textView()->document()->toPlainText(), QString::fromLatin1(changed));
    const std::shared_ptr<TextStorage> storage =
        model().textStorageRegistry().textStorage(active().id);
    EXPECT_TRUE(storage->documents().contains(textView()->document()));

    textView()->setFocus();
    textView()->moveCursor(QTextCursor::Start);
    type(QStringLiteral("Z"));
    EXPECT_TRUE(active().document.text.startsWith(QStringLiteral("Zchanged a line")));
    EXPECT_EQ(storage->text(), active().document.text);
}

TEST_F(UnaskedNews, AFailingAutosaveIsToldOnceAndTypedWordsReachTheText) {
    writeFile(QStringLiteral("latin.txt"), "caf\xE9\n");
    openAndFocus(QStringLiteral("latin.txt"), TextFileEncoding::IsoLatin1);
    type(QStringLiteral("price "));
    // A key of its own, as a keyboard layout with the euro sign sends it.
    QKeyEvent euro(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(0x20AC)));
    QApplication::sendEvent(QApplication::focusWidget(), &euro);
    for (int round = 0; round < 3; ++round) {
        tick();
        type(QStringLiteral(" word"));
    }
    EXPECT_EQ(active().document.text, QStringLiteral("caf\u00E9\nprice \u20AC word word word"));
    expectTheTextKeepsTheKeyboard();
    // Once, not once per tick; the file keeps what it had.
    const QStringList texts = bar().texts();
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts.first().startsWith(
        localizedString(QStringLiteral("document.autosave.failed.format")).section(u'%', 0, 0)));
    QFile file(path(QStringLiteral("latin.txt")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("caf\xE9\n"));

    // Closing it puts it away for good while the fault lasts.
    QTest::mouseClick(bar().buttons(0).last(), Qt::LeftButton);
    tick();
    window->refreshNow();
    EXPECT_TRUE(bar().isEmpty());
    expectTheTextKeepsTheKeyboard();
}
