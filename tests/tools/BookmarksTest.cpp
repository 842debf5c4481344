#include "tools/Bookmarks.h"
#include "ToolFixture.h"

namespace dunmoss::test {
namespace {

class BookmarksTest : public ToolFixture {
protected:
    // Twelve lines "L1" ... "L12", the last without a line feed.
    void setTwelveLines(std::set<int> bookmarks, int caretLine) {
        QStringList lines;
        for (int i = 1; i <= 12; ++i)
            lines.append(QStringLiteral("L%1").arg(i));
        const QString all = lines.join(u'\n');
        setTab(all, {lineStart(all, caretLine)});
        model->update([&](EditorWindowState& s) { s.tabs[0].bookmarkedLines = bookmarks; });
    }
    static TextRange lineStart(const QString& all, int line) {
        qsizetype at = 0;
        for (int i = 1; i < line; ++i)
            at = all.indexOf(u'\n', at) + 1;
        return {at, 0};
    }
    QString selectedText() const { return text().mid(selection().location, selection().length); }
};

TEST_F(BookmarksTest, TogglingTwiceOnOneLineAddsThenRemovesItAndSavesEachTime) {
    setTwelveLines({}, 4);
    Bookmarks(*model).toggleBookmark();
    EXPECT_EQ(active().bookmarkedLines, (std::set<int>{4}));
    EXPECT_EQ(status(), text("tools.bookmark.added.format").arg(4));
    Bookmarks(*model).toggleBookmark();
    EXPECT_TRUE(active().bookmarkedLines.empty());
    EXPECT_EQ(status(), text("tools.bookmark.removed.format").arg(4));
    EXPECT_EQ(sessionSaves, 2);
}

TEST_F(BookmarksTest, NextAndPreviousWrapAroundAndSelectTheWholeLine) {
    struct Case {
        int caretLine;
        bool previous;
        int target;
    };
    const QList<Case> cases{{10, false, 3}, {10, true, 3}, {5, false, 10},
                            {5, true, 3},   {1, true, 10}, {12, false, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("caret %1 %2").arg(c.caretLine).arg(c.previous).toStdString());
        setTwelveLines({3, 10}, c.caretLine);
        Bookmarks(*model).goToAdjacentBookmark(c.previous);
        EXPECT_EQ(selectedText(), QStringLiteral("L%1").arg(c.target));
        EXPECT_EQ(status(), text("tools.bookmark.goto.format").arg(c.target));
        EXPECT_EQ(sessionSaves, 0);
    }
}

TEST_F(BookmarksTest, ALoneBookmarkOnTheCaretLineIsSelectedAgainAndTheLastLineRunsToTheEnd) {
    setTwelveLines({12}, 12);
    Bookmarks(*model).nextBookmark();
    EXPECT_EQ(selectedText(), QStringLiteral("L12"));
    EXPECT_EQ(selection().end(), text().size());
}

TEST_F(BookmarksTest, LinesPastTheEndAreSkippedByNavigationButStillCleared) {
    setTwelveLines({40}, 1);
    Bookmarks(*model).nextBookmark();
    EXPECT_EQ(status(), text("tools.bookmark.empty"));
    EXPECT_EQ(selection(), (TextRange{0, 0}));
    Bookmarks(*model).clearBookmarks();
    EXPECT_EQ(status(), text("tools.bookmark.cleared"));
    EXPECT_TRUE(active().bookmarkedLines.empty());
    EXPECT_EQ(sessionSaves, 1);
    // Nothing left to clear: said so, and no session save.
    Bookmarks(*model).clearBookmarks();
    EXPECT_EQ(status(), text("tools.bookmark.empty"));
    EXPECT_EQ(sessionSaves, 1);
}

TEST_F(BookmarksTest, ShorteningTheTextDropsBookmarksPastItsLastLine) {
    setTwelveLines({2, 5, 12}, 1);
    // Typing goes through the tab's text; a tool through the undoable replacement.
    model->setTabText(active().id, QStringLiteral("L1\nL2\nL3\nL4\nL5"));
    EXPECT_EQ(active().bookmarkedLines, (std::set<int>{2, 5}));
    model->replaceTabText(0, QStringLiteral("one\ntwo"), {0, 0},
                          QStringLiteral("tools.toolbox.url-decoded"));
    EXPECT_EQ(active().bookmarkedLines, (std::set<int>{2}));
    // Undo brings the lines back but not the bookmarks, which are no part of an edit.
    undoStack()->undo();
    EXPECT_EQ(text(), QStringLiteral("L1\nL2\nL3\nL4\nL5"));
    EXPECT_EQ(active().bookmarkedLines, (std::set<int>{2}));
    model->setTabText(active().id, QString());
    EXPECT_TRUE(active().bookmarkedLines.empty());
    Bookmarks(*model).nextBookmark();
    EXPECT_EQ(status(), text("tools.bookmark.empty"));
}

TEST_F(BookmarksTest, TheCaretAfterAFinalLineFeedIsOnTheEmptyLastLineAndReadOnlyTabsTakeBookmarks) {
    setTab(QStringLiteral("a\nb\n"), {{4, 0}}, {}, true);
    EXPECT_EQ(Bookmarks(*model).currentLineNumber(), 3);
    Bookmarks(*model).toggleBookmark();
    EXPECT_EQ(active().bookmarkedLines, (std::set<int>{3}));
}

} // namespace
} // namespace dunmoss::test
