#include "tools/SnippetLibrary.h"
#include "ToolFixture.h"

namespace dunmoss::test {
namespace {

class SnippetLibraryTest : public ToolFixture {
protected:
    const EditorSnippet& snippet(const char* id) const {
        for (const EditorSnippet& s : builtInSnippets()) {
            if (s.id == QLatin1String(id))
                return s;
        }
        throw std::out_of_range(id);
    }
    void insert(const char* id) { SnippetLibrary(*model).insertSnippetIntoActiveTab(snippet(id)); }
};

TEST_F(SnippetLibraryTest, TheFiveSnippetsHaveTheirFixedLinesAndPreviews) {
    struct Expected {
        const char* id;
        int lines;
        qsizetype length;
    };
    const QList<Expected> expected{{"json-object", 4, 32},
                                   {"markdown-checklist", 5, 60},
                                   {"html-page", 10, 138},
                                   {"sql-select", 6, 95},
                                   {"swift-function", 3, 54}};
    ASSERT_EQ(builtInSnippets().size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const EditorSnippet& s = builtInSnippets().at(i);
        EXPECT_EQ(s.id, QLatin1String(expected[i].id));
        EXPECT_EQ(s.text.size(), expected[i].length) << expected[i].id;
        EXPECT_EQ(s.text.count(u'\n'), expected[i].lines) << expected[i].id;
        EXPECT_TRUE(s.text.endsWith(u'\n'));
        EXPECT_FALSE(s.text.contains(u'\r'));
    }
    EXPECT_EQ(snippetPreview(snippet("markdown-checklist")), QStringLiteral("# Title "));
    EXPECT_EQ(snippetPreview(snippet("json-object")), QStringLiteral("{   \"name\": \"\","));
}

TEST_F(SnippetLibraryTest, ASelectionIsReplacedAsOneUndoStepAndUndoBringsItBack) {
    setTab(QStringLiteral("keep OLD keep"), {{5, 3}, {0, 2}});
    model->update([](EditorWindowState& s) { s.panels.showSnippetSheet = true; });
    insert("swift-function");
    const QString inserted = snippet("swift-function").text;
    EXPECT_EQ(text(), QStringLiteral("keep ") + inserted + QStringLiteral(" keep"));
    EXPECT_EQ(active().selectedRanges, (QList<TextRange>{{5 + inserted.size(), 0}}));
    EXPECT_EQ(status(), text("tools.snippets.inserted"));
    EXPECT_FALSE(state().panels.showSnippetSheet);
    ASSERT_EQ(undoStack()->count(), 1);
    EXPECT_EQ(undoStack()->undoText(), "Insert Snippet");
    undoStack()->undo();
    EXPECT_EQ(text(), QStringLiteral("keep OLD keep"));
    EXPECT_EQ(active().selectedRanges, (QList<TextRange>{{5, 3}, {0, 2}}));
    undoStack()->redo();
    EXPECT_EQ(text(), QStringLiteral("keep ") + inserted + QStringLiteral(" keep"));
}

TEST_F(SnippetLibraryTest, TheCaretCountsUtf16UnitsAfterAstralCharactersAndStaleRangesAreClamped) {
    const QString before = QStringLiteral("汉😀");
    setTab(before, {{before.size(), 0}});
    insert("json-object");
    EXPECT_EQ(text(), before + snippet("json-object").text);
    EXPECT_EQ(selection(), (TextRange{text().size(), 0}));

    setTab(QStringLiteral("abc"), {{99, -4}});
    insert("sql-select");
    EXPECT_EQ(text(), QStringLiteral("abc") + snippet("sql-select").text);
}

TEST_F(SnippetLibraryTest, TheSheetInsertsThePickAndAReadOnlyTabRefusesButTheSheetCloses) {
    setTab(QStringLiteral("x"), {{1, 0}});
    person.toolSheetAnswers = {2};
    SnippetLibrary(*model).setSnippetSheetPresented(true);
    EXPECT_EQ(text(), QStringLiteral("x") + snippet("html-page").text);
    EXPECT_FALSE(state().panels.showSnippetSheet);

    setTab(QStringLiteral("preview"), {{0, 0}}, {}, true);
    person.toolSheetAnswers = {0};
    SnippetLibrary(*model).setSnippetSheetPresented(true);
    EXPECT_EQ(text(), QStringLiteral("preview"));
    EXPECT_EQ(status(), text("large-file.read-only-edit-blocked"));
    EXPECT_FALSE(state().panels.showSnippetSheet);
    EXPECT_EQ(sessionSaves, 0);
}

} // namespace
} // namespace dunmoss::test
