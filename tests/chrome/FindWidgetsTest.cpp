// The find bar and the search center on screen (offscreen), driven with real key events and
// clicks through a whole editor window.
#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "chrome/EditorWindowView.h"
#include "chrome/MessageBar.h"
#include "chrome/TestWindowOptions.h"
#include "chrome/WindowLayout.h"
#include "chrome/WindowStatusLine.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "search/FindReplace.h"
#include "search/FindReplaceBar.h"
#include "search/FindStepRunner.h"
#include "search/SearchCenterPanel.h"
#include "search/SearchResultListModel.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace dunmoss::test {
namespace {

QString l(const char* key) {
    return localizedString(QString::fromLatin1(key));
}

class FindWidgets : public ::testing::Test {
protected:
    void SetUp() override {
        defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("settings.ini")));
        window = new EditorWindowView(testWindowOptions(*defaults));
        window->resize(1060, 720);
        window->show();
        window->activateWindow();
        // These tests work in the editor, which the welcome panel of a fresh window covers.
        window->model().update([](EditorWindowState& state) { state.panels.showWelcome = false; });
        window->refreshNow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        settle();
    }
    void TearDown() override {
        delete window.data();
        QApplication::processEvents();
    }

    // Find commands hand their matches over in a later turn.
    void settle() {
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return !FindStepRunner::of(model()).isPending(); }, 30'000));
        for (int i = 0; i < 4; ++i)
            QApplication::processEvents();
    }
    void setText(const QString& text) {
        EditorWindowModel& m = model();
        m.setTabText(activeTab(m.state()).id, text);
        m.setSelection(0, 0, m.activeTabIndex());
        settle();
    }
    EditorWindowModel& model() const { return window->model(); }
    TextRange selection() const { return activeTab(model().state()).selectedRange; }
    ShortcutTextView* textView() const {
        return window->windowLayout().editorArea()->primaryPane()->editorView()->textView();
    }
    FindReplaceBar* bar() const {
        return qobject_cast<FindReplaceBar*>(window->windowLayout().panel(WindowPanel::FindBar));
    }
    SearchCenterPanel* center() const {
        return qobject_cast<SearchCenterPanel*>(
            window->windowLayout().panel(WindowPanel::SearchCenter));
    }
    template <typename Button> Button* button(QWidget* parent, const QString& text) const {
        for (Button* b : parent->findChildren<Button*>())
            if (b->text() == text || b->toolTip() == text)
                return b;
        return nullptr;
    }
    void openBarAndType(const QString& query) {
        textView()->setFocus();
        QTest::keyClick(textView(), Qt::Key_F, Qt::ControlModifier);
        settle();
        QTest::keyClicks(bar()->queryField(), query);
        settle();
    }

    // Forty lines found with Find All while the folder panel shows.
    bool showFortyResultsUnderTheFolderPanel() {
        QString text;
        for (int i = 0; i < 40; ++i)
            text += QStringLiteral("alpha %1\n").arg(i);
        setText(text);
        model().update([](EditorWindowState& s) { s.folderSearch.showFolderSearch = true; });
        window->refreshNow();
        openBarAndType(QStringLiteral("alpha"));
        QTest::mouseClick(button<QToolButton>(bar(), l("find.all")), Qt::LeftButton);
        const bool shown = QTest::qWaitFor([&] { return center() && center()->isVisible(); });
        settle();
        return shown;
    }

    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;
    QPointer<EditorWindowView> window;
};

TEST_F(FindWidgets, CtrlFFocusesTheQueryAndReturnAndCtrlGStepThroughMatches) {
    setText(QStringLiteral("cat dog cat dog cat"));
    ASSERT_TRUE(bar());
    EXPECT_FALSE(bar()->isVisible());
    openBarAndType(QStringLiteral("cat"));
    ASSERT_TRUE(bar()->isVisible());
    // The whole bar fits the window's default width.
    EXPECT_LE(bar()->minimumSizeHint().width(), 1060);
    EXPECT_TRUE(bar()->queryField()->hasFocus());
    EXPECT_EQ(model().state().find.findQuery, QStringLiteral("cat"));
    EXPECT_EQ(model().state().find.focusedFindField, FindField::Query);

    QTest::keyClick(bar()->queryField(), Qt::Key_Return);
    settle();
    EXPECT_EQ(selection(), (TextRange{0, 3}));
    EXPECT_EQ(bar()->statusText(), l("find.match.format").arg(1).arg(3));
    QTest::keyClick(bar()->queryField(), Qt::Key_G, Qt::ControlModifier);
    settle();
    EXPECT_EQ(selection(), (TextRange{8, 3}));
    QTest::keyClick(bar()->queryField(), Qt::Key_G, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(bar()->queryField(), Qt::Key_G, Qt::ControlModifier | Qt::ShiftModifier);
    settle();
    EXPECT_EQ(selection(), (TextRange{16, 3})); // wrapped to the last
    // The shortcuts also work from the text while the bar is shown.
    textView()->setFocus();
    QTest::keyClick(textView(), Qt::Key_G, Qt::ControlModifier);
    settle();
    EXPECT_EQ(selection(), (TextRange{0, 3}));
    EXPECT_FALSE(model().state().find.focusedFindField.has_value());
    QTest::keyClick(textView(), Qt::Key_G, Qt::ControlModifier | Qt::ShiftModifier);
    settle();
    EXPECT_EQ(selection(), (TextRange{16, 3}));

    // Return in the replace field neither replaces nor searches.
    QTest::mouseClick(bar()->replaceField(), Qt::LeftButton);
    QTest::keyClicks(bar()->replaceField(), QStringLiteral("cow"));
    settle();
    EXPECT_EQ(model().state().find.focusedFindField, FindField::Replace);
    QTest::keyClick(bar()->replaceField(), Qt::Key_Return);
    settle();
    EXPECT_EQ(activeTab(model().state()).document.text, QStringLiteral("cat dog cat dog cat"));
    EXPECT_EQ(selection(), (TextRange{16, 3}));

    // The history menu offers the query; the buttons run their operations.
    QMenu* history = bar()->findHistoryMenu();
    ASSERT_FALSE(history->actions().isEmpty());
    EXPECT_EQ(history->actions().first()->text(), QStringLiteral("cat"));
    QTest::mouseClick(button<QToolButton>(bar(), l("find.replace-all")), Qt::LeftButton);
    settle();
    EXPECT_EQ(activeTab(model().state()).document.text, QStringLiteral("cow dog cow dog cow"));

    // Closed, the bar's shortcuts stop working.
    QTest::mouseClick(button<QToolButton>(bar(), l("find.close")), Qt::LeftButton);
    settle();
    EXPECT_FALSE(bar()->isVisible());
    const TextRange before = selection();
    textView()->setFocus();
    QTest::keyClick(textView(), Qt::Key_G, Qt::ControlModifier);
    settle();
    EXPECT_EQ(selection(), before);
}

TEST_F(FindWidgets, EmptyHistoryMenuOffersNothingToChoose) {
    openBarAndType(QString());
    const QList<QAction*> items = bar()->replaceHistoryMenu()->actions();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items.first()->text(), l("find.history.empty"));
    EXPECT_FALSE(items.first()->isEnabled());
}

TEST_F(FindWidgets, SearchCenterListsGroupedResultsFiltersAndOpensThem) {
    setText(QStringLiteral("alpha one\nbeta\nalpha two\n"));
    openBarAndType(QStringLiteral("alpha"));
    QTest::mouseClick(button<QToolButton>(bar(), l("find.all")), Qt::LeftButton);
    settle();
    ASSERT_TRUE(center()->isVisible());
    const auto* rows = static_cast<SearchResultListModel*>(center()->listView()->model());
    ASSERT_EQ(rows->rowCount(), 3); // one group, two hits
    EXPECT_EQ(rows->row(0).kind, SearchResultRow::Kind::Group);
    EXPECT_EQ(rows->row(2).trailing, QStringLiteral("alpha two"));
    // Few rows leave the rest of the room empty below them.
    EXPECT_GT(center()->listView()->height(), searchCenterListHeight(3));
    EXPECT_EQ(center()->runPicker()->count(), 2);
    EXPECT_EQ(center()->runPicker()->currentIndex(), 1); // the new run is shown
    EXPECT_TRUE(center()->deleteButton()->isEnabled());
    EXPECT_EQ(center()->visibleCountLabel()->text(),
              l("search-center.visible-results.format").arg(2).arg(2));

    // Clicking a hit selects it in the document.
    const QRect hit = center()->listView()->visualRect(rows->index(2));
    QTest::mouseClick(center()->listView()->viewport(), Qt::LeftButton, {}, hit.center());
    settle();
    EXPECT_EQ(selection(), (TextRange{15, 5}));

    QTest::keyClicks(center()->filterField(), QStringLiteral("TWO"));
    settle();
    EXPECT_EQ(rows->rowCount(), 2);
    QTest::mouseClick(center()->copyButton(), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              l("document.untitled") + QStringLiteral(":3:1: alpha two"));
    center()->filterField()->setText(QStringLiteral("nothing like it"));
    settle();
    EXPECT_TRUE(center()->emptyLabel()->isVisible());
    EXPECT_EQ(center()->emptyLabel()->text(), l("search-center.no-filtered-results"));
    EXPECT_FALSE(center()->copyButton()->isEnabled());

    // The filter belongs to one showing of the panel.
    QTest::mouseClick(button<QToolButton>(center(), l("find.close")), Qt::LeftButton);
    settle();
    EXPECT_FALSE(center()->isVisible());
    QTest::mouseClick(button<QToolButton>(bar(), l("find.all")), Qt::LeftButton);
    settle();
    ASSERT_TRUE(center()->isVisible());
    EXPECT_TRUE(center()->filterField()->text().isEmpty());
    EXPECT_EQ(rows->rowCount(), 3);

    // Another scope shows its live list (empty) and leaves the run.
    QTest::mouseClick(center()->scopeButton(SearchCenterScope::Folder), Qt::LeftButton);
    settle();
    EXPECT_FALSE(model().state().searchCenter.selectedSearchRunID.has_value());
    EXPECT_FALSE(center()->deleteButton()->isEnabled());
    EXPECT_EQ(center()->displayedCount(), 0);
}

TEST_F(FindWidgets, AFilterKeepingEveryResultKeepsTheRowsAndWhereTheListWasScrolled) {
    QString text;
    for (int i = 0; i < 200; ++i)
        text += QStringLiteral("alpha %1\n").arg(i);
    setText(text);
    openBarAndType(QStringLiteral("alpha"));
    QTest::mouseClick(button<QToolButton>(bar(), l("find.all")), Qt::LeftButton);
    settle();
    ASSERT_TRUE(center()->isVisible());
    auto* rows = static_cast<SearchResultListModel*>(center()->listView()->model());
    ASSERT_EQ(rows->rowCount(), 201); // one group, 200 hits
    QScrollBar* scroll = center()->listView()->verticalScrollBar();
    ASSERT_GT(scroll->maximum(), 0);
    scroll->setValue(scroll->maximum());
    const int scrolled = scroll->value();

    // "a", then "al": every hit still matches; the list is neither rebuilt nor scrolled back.
    QSignalSpy resets(rows, &QAbstractItemModel::modelReset);
    center()->filterField()->setText(QStringLiteral("a"));
    settle();
    center()->filterField()->setText(QStringLiteral("AL"));
    settle();
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(rows->rowCount(), 201);
    EXPECT_EQ(scroll->value(), scrolled);
    EXPECT_EQ(center()->visibleCountLabel()->text(),
              l("search-center.visible-results.format").arg(200).arg(200));
    EXPECT_EQ(center()->filteredResults().size(), 200);

    // A narrower filter, then one keeping all again: the rows follow each time.
    center()->filterField()->setText(QStringLiteral("alpha 19"));
    settle();
    EXPECT_EQ(rows->rowCount(), 12); // 19 and 190..199
    EXPECT_EQ(center()->visibleCountLabel()->text(),
              l("search-center.visible-results.format").arg(11).arg(200));
    center()->filterField()->setText(QStringLiteral("alp"));
    settle();
    EXPECT_EQ(rows->rowCount(), 201);
    EXPECT_EQ(rows->row(201 - 1).trailing, QStringLiteral("alpha 199"));
    center()->filterField()->setText(QStringLiteral("zzz"));
    settle();
    EXPECT_TRUE(center()->emptyLabel()->isVisible());
    center()->filterField()->clear();
    settle();
    EXPECT_EQ(rows->rowCount(), 201);
    EXPECT_FALSE(center()->emptyLabel()->isVisible());
}

TEST_F(FindWidgets, AFilterOverManyResultsShowsTheNewestFilterOnceItIsDone) {
    const int lines = int(SearchCenterPanel::kImmediateFilterLimit) + 1000;
    QString text;
    for (int i = 0; i < lines; ++i)
        text += QStringLiteral("alpha %1\n").arg(i);
    setText(text);
    openBarAndType(QStringLiteral("alpha"));
    FindReplace(model()).findInOpenDocuments();
    const auto waitFor = [](const std::function<bool()>& done) {
        QElapsedTimer waited;
        waited.start();
        while (!done() && waited.elapsed() < 20'000)
            QTest::qWait(5);
        return done();
    };
    ASSERT_TRUE(waitFor([&] { return center()->displayedCount() == lines; }));
    auto* rows = static_cast<SearchResultListModel*>(center()->listView()->model());

    // A wide filter, then at once a narrow one: whichever finishes first, the narrow one shows.
    center()->filterField()->setText(QStringLiteral("alpha 1"));
    center()->filterField()->setText(QStringLiteral("alpha 2000"));
    // 2000 and 20000 to 20009.
    ASSERT_TRUE(waitFor([&] { return center()->filteredResults().size() == 11; }));
    QTest::qWait(200);
    settle();
    EXPECT_EQ(center()->filteredResults().size(), 11);
    EXPECT_EQ(rows->rowCount(), 12);
    EXPECT_EQ(rows->row(11).trailing, QStringLiteral("alpha 20009"));
    EXPECT_EQ(center()->visibleCountLabel()->text(),
              l("search-center.visible-results.format").arg(11).arg(lines));

    // Clearing the filter shows every result again, even with a filter still on its way.
    center()->filterField()->setText(QStringLiteral("alpha 3"));
    center()->filterField()->clear();
    EXPECT_EQ(center()->filteredResults().size(), lines);
    QTest::qWait(200);
    settle();
    EXPECT_EQ(center()->filteredResults().size(), lines);
}

// Rows for more results than a filter keeps at once are made on a pool thread; once they are in,
// the list shows every hit in search order and a click opens the hit its row shows.
TEST_F(FindWidgets, ManyResultsAreListedOnceTheirRowsAreMadeAndAClickOpensTheHitShown) {
    const int lines = int(SearchCenterPanel::kImmediateFilterLimit) + 500;
    QString text;
    for (int i = 0; i < lines; ++i)
        text += QStringLiteral("alpha %1\n").arg(i, 5, 10, QLatin1Char('0'));
    setText(text);
    openBarAndType(QStringLiteral("alpha"));
    FindReplace(model()).findInOpenDocuments();
    const auto* rows = static_cast<SearchResultListModel*>(center()->listView()->model());
    ASSERT_TRUE(QTest::qWaitFor([&] { return rows->rowCount() == lines + 1; }, 30'000));
    EXPECT_EQ(rows->row(0).kind, SearchResultRow::Kind::Group);
    EXPECT_EQ(rows->row(1).trailing, QStringLiteral("alpha 00000"));
    EXPECT_EQ(rows->row(lines).trailing, QStringLiteral("alpha %1").arg(lines - 1));
    EXPECT_EQ(center()->filteredResults().size(), lines);

    const QRect hit = center()->listView()->visualRect(rows->index(3));
    QTest::mouseClick(center()->listView()->viewport(), Qt::LeftButton, {}, hit.center());
    settle();
    EXPECT_EQ(selection(), (TextRange{2 * 12, 5}));
}

TEST_F(FindWidgets, KeysTypedAfterClickingAHitReplaceItInTheDocument) {
    setText(QStringLiteral("alpha one\nbeta\nalpha two\n"));
    openBarAndType(QStringLiteral("alpha"));
    QTest::mouseClick(button<QToolButton>(bar(), l("find.all")), Qt::LeftButton);
    settle();
    ASSERT_TRUE(center()->isVisible());
    const auto* rows = static_cast<SearchResultListModel*>(center()->listView()->model());
    ASSERT_EQ(rows->rowCount(), 3);
    const QRect hit = center()->listView()->visualRect(rows->index(2));
    QTest::mouseClick(center()->listView()->viewport(), Qt::LeftButton, {}, hit.center());
    settle();
    EXPECT_TRUE(textView()->hasFocus());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("omega"));
    settle();
    EXPECT_EQ(activeTab(model().state()).document.text,
              QStringLiteral("alpha one\nbeta\nomega two\n"));
}

TEST_F(FindWidgets, SearchCenterSaysASearchFoundNoneRatherThanThatNoneWasMade) {
    setText(QStringLiteral("alpha\n"));
    openBarAndType(QStringLiteral("omega"));
    QTest::mouseClick(button<QToolButton>(bar(), l("find.all")), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return center() && center()->isVisible(); }));
    settle();
    EXPECT_TRUE(center()->emptyLabel()->isVisible());
    EXPECT_EQ(center()->emptyLabel()->text(), l("search-center.none-found"));

    // A scope never searched has no answer yet.
    QTest::mouseClick(center()->scopeButton(SearchCenterScope::Folder), Qt::LeftButton);
    settle();
    EXPECT_EQ(center()->emptyLabel()->text(), l("search-center.empty"));

    // Nothing in the open tabs either.
    QTest::mouseClick(button<QToolButton>(bar(), l("find.open-documents")), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return model().state().searchCenter.searchCenterScope == SearchCenterScope::OpenDocuments;
    }));
    settle();
    EXPECT_EQ(center()->emptyLabel()->text(), l("search-center.none-found"));
    EXPECT_FALSE(center()->copyButton()->isEnabled());
}

TEST_F(FindWidgets, WithEveryBottomPanelOpenTheEditorKeepsEightLines) {
    const auto alphas = [](int count) {
        QString text;
        for (int i = 0; i < count; ++i)
            text += QStringLiteral("alpha %1\n").arg(i);
        return text;
    };
    setText(alphas(3));
    openBarAndType(QStringLiteral("alpha"));
    QTest::mouseClick(button<QToolButton>(bar(), l("find.all")), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return center() && center()->isVisible(); }));
    model().update([](EditorWindowState& s) {
        s.folderSearch.showFolderSearch = true;
        s.notices.shown.append({QStringLiteral("cause"), QStringLiteral("news")});
    });
    window->refreshNow();
    settle();
    WindowLayout& layout = window->windowLayout();
    const auto lines = [&] {
        return textView()->viewport()->height() / textView()->fontMetrics().lineSpacing();
    };
    // A few results: every panel fits beside the editor's lines.
    EXPECT_TRUE(layout.rowsGivingWay().isEmpty());
    EXPECT_TRUE(center()->isVisible());
    EXPECT_GE(lines(), WindowLayout::kEditorMinimumLines);

    // Many in a lower window: the list cannot shrink enough, and the result panel shown longest
    // gives way; the bar being typed in and the news stay.
    setText(alphas(40));
    QTest::mouseClick(button<QToolButton>(bar(), l("find.all")), Qt::LeftButton);
    window->resize(1060, 520);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !layout.rowsGivingWay().isEmpty(); }));
    settle();
    EXPECT_GE(lines(), WindowLayout::kEditorMinimumLines);
    EXPECT_EQ(layout.rowsGivingWay(), QList<WindowRow>{WindowRow::SearchCenter});
    EXPECT_FALSE(center()->isVisible());
    EXPECT_TRUE(bar()->isVisible());
    EXPECT_TRUE(layout.messageBar()->isVisible());
    EXPECT_TRUE(layout.panel(WindowPanel::FolderSearch)->isVisible());

    // With room again every panel is back, and lower still the editor keeps its lines.
    window->resize(1060, 1000);
    settle();
    EXPECT_TRUE(layout.rowsGivingWay().isEmpty());
    EXPECT_TRUE(center()->isVisible());
    window->resize(1060, 600);
    settle();
    EXPECT_GE(lines(), WindowLayout::kEditorMinimumLines);
    EXPECT_TRUE(bar()->isVisible());
}

TEST_F(FindWidgets, AResultListGivesUpRowsBeforeItsPanelGivesWay) {
    ASSERT_TRUE(showFortyResultsUnderTheFolderPanel());
    WindowLayout& layout = window->windowLayout();
    QWidget* folder = layout.panel(WindowPanel::FolderSearch);
    const auto lines = [&] {
        return textView()->viewport()->height() / textView()->fontMetrics().lineSpacing();
    };
    // The default window holds the bar, both panels and the editor's lines: the list is shorter
    // than its forty rows would ask, and neither the answer nor the folder panel is gone.
    EXPECT_TRUE(layout.rowsGivingWay().isEmpty());
    EXPECT_TRUE(center()->isVisible());
    EXPECT_TRUE(folder->isVisible());
    EXPECT_GE(lines(), WindowLayout::kEditorMinimumLines);
    auto* list = center()->findChild<QListView*>(QStringLiteral("searchCenterResults"));
    ASSERT_TRUE(list);
    EXPECT_LT(list->height(), searchCenterListHeight(40));
    EXPECT_GE(list->height(), searchCenterListHeight(0) - 4);

    // Too low for the shortest list: the search center gives way, and the folder panel, which
    // fits once it is gone, stays although it was shown first.
    window->resize(1060, 520);
    settle();
    EXPECT_EQ(layout.rowsGivingWay(), QList<WindowRow>{WindowRow::SearchCenter});
    EXPECT_TRUE(folder->isVisible());
    EXPECT_TRUE(bar()->isVisible());
    EXPECT_GE(lines(), WindowLayout::kEditorMinimumLines);
}

// A message on the status line or news on the message bar, coming or going, moves no field of
// the panels above the editor and shortens no list there.
TEST_F(FindWidgets, AMessageMovesNoPanelsField) {
    ASSERT_TRUE(showFortyResultsUnderTheFolderPanel());
    WindowLayout& layout = window->windowLayout();
    auto* query = layout.panel(WindowPanel::FolderSearch)
                      ->findChild<QWidget*>(QStringLiteral("folderSearchQuery"));
    auto* list = center()->findChild<QListView*>(QStringLiteral("searchCenterResults"));
    ASSERT_TRUE(query && list);
    const auto places = [&] {
        return QList<QRect>{QRect(query->mapTo(window, QPoint()), query->size()),
                            QRect(list->mapTo(window, QPoint()), list->size())};
    };
    const QList<QRect> before = places();
    model().setFindMessage(QStringLiteral("Kept your version."));
    window->refreshNow();
    settle();
    ASSERT_TRUE(layout.statusLine()->isVisible());
    EXPECT_EQ(places(), before);
    model().presentNotice(QStringLiteral("cause"), QStringLiteral("news"));
    window->refreshNow();
    settle();
    ASSERT_TRUE(layout.messageBar()->isVisible());
    EXPECT_EQ(places(), before);
    model().setFindMessage(QString());
    window->refreshNow();
    settle();
    EXPECT_EQ(places(), before);
}

TEST(SearchCenterListHeight, ThirtyTwoPointsARowBetween120And280) {
    EXPECT_EQ(searchCenterListHeight(0), 120);
    EXPECT_EQ(searchCenterListHeight(4), 128);
    EXPECT_EQ(searchCenterListHeight(110), 280);
}

} // namespace
} // namespace dunmoss::test
