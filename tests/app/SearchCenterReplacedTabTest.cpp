// The search center after the searched tab is read again from disk or saved under a new name:
// the rows it shows are those its counts count, and a click on one selects what it names. The
// whole program, driven with keys and clicks through its menus, find bar and real file panel.
#include "ProgramDriving.h"
#include "app/DunmossNotepadApp.h"
#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "chrome/EditorWindowView.h"
#include "chrome/WindowLayout.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "platform/Localization.h"
#include "search/FindReplaceBar.h"
#include "search/FindResultsRefresh.h"
#include "search/SearchCenterPanel.h"
#include "search/SearchResultListModel.h"
#include "window/DocumentSaving.h"
#include "window/DocumentWriteQueue.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QToolButton>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

QString l(const char* key) {
    return localizedString(QString::fromLatin1(key));
}

class SearchCenterReplacedTab : public ProgramFixture {
protected:
    // The program launched on notes.txt, "alpha" found in it with Find All.
    void launchAndFindAll() {
        path = dir.filePath(QStringLiteral("notes.txt"));
        window = launchOn(app, path, "alpha one\nbeta two\nalpha three\ngamma four\nalpha five\n");
        ASSERT_TRUE(window);
        editor()->setFocus();
        QTest::keyClick(editor(), Qt::Key_F, Qt::ControlModifier);
        settle();
        auto* bar =
            qobject_cast<FindReplaceBar*>(window->windowLayout().panel(WindowPanel::FindBar));
        ASSERT_TRUE(bar && bar->queryField()->hasFocus());
        QTest::keyClicks(bar->queryField(), QStringLiteral("alpha"));
        QToolButton* findAll = nullptr;
        for (QToolButton* button : bar->findChildren<QToolButton*>())
            if (button->text() == l("find.all"))
                findAll = button;
        ASSERT_TRUE(findAll);
        QTest::mouseClick(findAll, Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return center() && rows()->rowCount() == 4; }));
        ASSERT_EQ(center()->runPicker()->currentIndex(), 1); // the run just recorded
        settle();
    }
    void write(const QString& file, const QByteArray& bytes) {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
    }
    // A command of the menus, pressed with the keyboard in the document.
    void pressInEditor(Qt::Key key, Qt::KeyboardModifiers modifiers) {
        editor()->setFocus();
        QTest::keyClick(editor(), key, modifiers);
        settle();
    }
    // Once the lists on show have followed the tab.
    void waitForLists() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !FindResultsRefresh::of(model()).isPending(); }));
        settle();
    }
    void clickRow(int row) {
        const QRect rect = center()->listView()->visualRect(rows()->index(row));
        QTest::mouseClick(center()->listView()->viewport(), Qt::LeftButton, {}, rect.center());
        settle();
    }
    // What the panel shows agrees with what its counts say of the live lists.
    void expectRowsCountedBySummary() {
        const SearchCenterState& state = model().state().searchCenter;
        EXPECT_EQ(center()->displayedCount(), state.searchCenterDocumentResults.size());
        EXPECT_EQ(center()->scopeSummaryLabel()->text(),
                  l("search-center.scope-summary.format")
                      .arg(center()->displayedCount())
                      .arg(state.searchCenterOpenDocumentResults.size())
                      .arg(state.searchCenterFolderResults.size()));
    }

    EditorWindowModel& model() const { return window->model(); }
    ShortcutTextView* editor() const {
        return window->windowLayout().editorArea()->primaryPane()->editorView()->textView();
    }
    SearchCenterPanel* center() const {
        return qobject_cast<SearchCenterPanel*>(
            window->windowLayout().panel(WindowPanel::SearchCenter));
    }
    const SearchResultListModel* rows() const {
        return static_cast<const SearchResultListModel*>(center()->listView()->model());
    }

    QString path;
    std::unique_ptr<DunmossNotepadApp> app;
    QPointer<EditorWindowView> window;
};

TEST_F(SearchCenterReplacedTab, AReloadShowsTheHitsOfTheTextReadAndKeepsTheRun) {
    launchAndFindAll();
    write(path, "gamma zero\nalpha beta\n");
    pressInEditor(Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return activeTab(model().state()).document.text.startsWith(u"gamma zero"); }));
    waitForLists();

    // The one hit of the text now in the tab, not the three of the text before.
    ASSERT_EQ(rows()->rowCount(), 2);
    EXPECT_EQ(rows()->row(1).trailing, QStringLiteral("alpha beta"));
    expectRowsCountedBySummary();
    EXPECT_EQ(center()->runPicker()->currentIndex(), 0);
    EXPECT_FALSE(center()->deleteButton()->isEnabled());
    // The run stays to be picked again, as it was recorded.
    ASSERT_EQ(center()->runPicker()->count(), 2);
    ASSERT_EQ(model().state().searchCenter.searchCenterRuns.size(), 1);
    EXPECT_EQ(model().state().searchCenter.searchCenterRuns.first().results.size(), 3);

    clickRow(1);
    EXPECT_EQ(activeTab(model().state()).selectedRange, (TextRange{11, 5}));
    EXPECT_EQ(model().state().findMessage,
              l("find.match-open-document.format").arg(QStringLiteral("notes.txt"), "2", "1"));

    // Read again with nothing of the query left: no row is left either.
    write(path, "nothing here\n");
    pressInEditor(Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return activeTab(model().state()).document.text == u"nothing here\n"; }));
    waitForLists();
    expectRowsCountedBySummary();
    EXPECT_EQ(center()->displayedCount(), 0);
    EXPECT_TRUE(center()->emptyLabel()->isVisible());
}

TEST_F(SearchCenterReplacedTab, SavedUnderANewNameTheHitsAreListedUnderIt) {
    launchAndFindAll();
    pressInEditor(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QFileDialog* panel = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        panel = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        return panel && panel->isVisible();
    }));
    auto* name = panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(name);
    name->selectAll();
    const QString renamed = dir.filePath(QStringLiteral("renamed.txt"));
    QTest::keyClicks(name, renamed);
    QTest::keyClick(name, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return activeTab(model().state()).fileURL == QUrl::fromLocalFile(renamed); }));
    model().saving().writes().waitForWrites();
    waitForLists();

    ASSERT_EQ(rows()->rowCount(), 4);
    EXPECT_EQ(rows()->row(0).title, QStringLiteral("renamed.txt"));
    expectRowsCountedBySummary();
    EXPECT_EQ(center()->runPicker()->currentIndex(), 0);
    clickRow(3);
    EXPECT_EQ(activeTab(model().state()).selectedRange, (TextRange{42, 5}));
    EXPECT_EQ(model().state().findMessage,
              l("find.match-open-document.format").arg(QStringLiteral("renamed.txt"), "5", "1"));
}

} // namespace
