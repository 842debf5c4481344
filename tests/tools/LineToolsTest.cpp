#include "tools/LineTools.h"
#include "ToolFixture.h"
#include "tools/LineToolTransforms.h"
#include "window/TabEditCommand.h"

#include <QRandomGenerator>
#include <QTextDocument>

#include <map>

namespace dunmoss::test {
namespace {

using S = EditorMacroStep;

class LineToolsTest : public ToolFixture {};

struct ToolCase {
    S step;
    const char* text;
    TextRange selection;
    const char* fileName;
    const char* expectedText;
    TextRange expectedSelection;
    const char* key;
};

// Each tool on a small text with two selections: the text and selection it leaves, its status,
// one undo step under its name, and undo and redo bringing back every range of both states.
TEST_F(LineToolsTest, EachToolMakesOneNamedUndoStepThatRestoresEverySelection) {
    const QList<ToolCase> cases{
        {S::DuplicateLine, "a\nb\nc", {2, 1}, "", "a\nb\nb\nc", {4, 2}, "tools.line.duplicated"},
        {S::DeleteLine, "a\nbb\nc", {3, 0}, "", "a\nc", {2, 0}, "tools.line.deleted"},
        {S::MoveLineUp, "a\nb\nc", {2, 1}, "", "b\na\nc", {0, 2}, "tools.line.moved"},
        {S::MoveLineDown, "a\nb\nc\n", {2, 1}, "", "a\nc\nb\n", {4, 2}, "tools.line.moved"},
        {S::SortLines,
         "pear\nApple\nfig\n",
         {0, 0},
         "",
         "Apple\nfig\npear\n",
         {0, 15},
         "tools.line.sorted"},
        {S::IndentSelection, "x\ny", {0, 3}, "", "    x\n    y", {0, 11}, "tools.edit.indented"},
        {S::OutdentSelection,
         "\t x\n      y\nz",
         {0, 12},
         "",
         " x\n  y\nz",
         {0, 7},
         "tools.edit.outdented"},
        {S::ToggleLineComment,
         "int a;",
         {0, 0},
         "main.c",
         "// int a;",
         {0, 9},
         "tools.edit.line-comment.done"},
        {S::ToggleBlockComment,
         "int a;",
         {0, 6},
         "main.c",
         "/* int a; */",
         {0, 12},
         "tools.edit.block-comment.done"},
        {S::TrimTrailingWhitespace,
         "a  \nb\t\n",
         {0, 0},
         "",
         "a\nb\n",
         {0, 0},
         "tools.text.trimmed"},
        {S::TabsToSpaces,
         "\ta\t",
         {0, 3},
         "",
         "    a    ",
         {0, 3},
         "tools.text.tabs-to-spaces.done"},
        {S::SpacesToTabs,
         "        a\n  b",
         {0, 0},
         "",
         "\t\ta\n  b",
         {0, 0},
         "tools.text.spaces-to-tabs.done"},
        {S::UppercaseSelection,
         "straße ok",
         {0, 6},
         "",
         "STRASSE ok",
         {0, 7},
         "tools.text.uppercase.done"},
        {S::LowercaseSelection,
         "ABC DEF",
         {4, 3},
         "",
         "ABC def",
         {4, 3},
         "tools.text.lowercase.done"},
    };
    ASSERT_EQ(cases.size(), allEditorMacroSteps().size());
    // The undo step bears the command's name, as the menu shows it ("Undo Make Lowercase").
    const std::map<S, const char*> commandNames{
        {S::DuplicateLine, "tools.line.duplicate"},
        {S::DeleteLine, "tools.line.delete"},
        {S::MoveLineUp, "tools.line.move-up"},
        {S::MoveLineDown, "tools.line.move-down"},
        {S::SortLines, "tools.line.sort"},
        {S::IndentSelection, "tools.edit.indent"},
        {S::OutdentSelection, "tools.edit.outdent"},
        {S::ToggleLineComment, "tools.edit.line-comment"},
        {S::ToggleBlockComment, "tools.edit.block-comment"},
        {S::TrimTrailingWhitespace, "tools.text.trim-trailing"},
        {S::TabsToSpaces, "tools.text.tabs-to-spaces"},
        {S::SpacesToTabs, "tools.text.spaces-to-tabs"},
        {S::UppercaseSelection, "tools.text.uppercase"},
        {S::LowercaseSelection, "tools.text.lowercase"},
    };
    for (const ToolCase& c : cases) {
        SCOPED_TRACE(rawValue(c.step).toStdString());
        const QList<TextRange> before{c.selection, {1, 0}};
        setTab(QString::fromUtf8(c.text), before, QString::fromLatin1(c.fileName));
        LineTools(*model).run(c.step);

        EXPECT_EQ(text(), QString::fromUtf8(c.expectedText));
        EXPECT_EQ(selection(), c.expectedSelection);
        EXPECT_EQ(active().selectedRanges, QList<TextRange>{c.expectedSelection});
        EXPECT_EQ(status(), text(c.key));
        waitForSessionSave();
        EXPECT_EQ(sessionSaves, 1);
        ASSERT_EQ(undoStack()->count(), 1);
        EXPECT_EQ(undoStack()->undoText(), text(commandNames.at(c.step)));
        if (c.step == S::LowercaseSelection) {
            EXPECT_EQ(undoStack()->undoText(), "Make Lowercase");
        }

        for (int round = 0; round < 2; ++round) {
            undoStack()->undo();
            EXPECT_EQ(text(), QString::fromUtf8(c.text));
            EXPECT_EQ(active().selectedRanges, before);
            undoStack()->redo();
            EXPECT_EQ(text(), QString::fromUtf8(c.expectedText));
            EXPECT_EQ(active().selectedRanges, QList<TextRange>{c.expectedSelection});
        }
    }
}

// A run of tools on a long text, as a held key or a macro makes: every undo and redo gives
// back the exact text and selections of its state, in the tab and in the editor's document,
// and each step keeps only the stretch it changed.
TEST_F(LineToolsTest, ALongRunOfToolsUndoesAndRedoesExactlyAndKeepsOnlyWhatChanged) {
    QString start;
    for (int i = 0; i < 2000; ++i)
        start += QStringLiteral("%1line %2 \t\n").arg(i % 3 ? "  " : "\t").arg(i);
    setTab(start, {{40, 0}}, QStringLiteral("main.c"));
    struct State {
        QString text;
        QList<TextRange> ranges;
    };
    const auto now = [&] { return State{text(), active().selectedRanges}; };
    const std::shared_ptr<TextStorage> storage =
        model->textStorageRegistry().textStorage(active().id, text());
    const QList<S> steps{S::MoveLineDown, S::MoveLineDown,     S::DuplicateLine,
                         S::MoveLineUp,   S::IndentSelection,  S::ToggleLineComment,
                         S::DeleteLine,   S::OutdentSelection, S::TrimTrailingWhitespace};
    QList<State> states{now()};
    QRandomGenerator random(25);
    for (int i = 0; i < 60; ++i) {
        if (i % 10 == 9) {
            // The person moves the caret or selects a few lines between tools.
            const qsizetype at = random.bounded(int(text().size()));
            model->setSelection(at, random.bounded(200), 0);
            states.last() = now();
        }
        const int count = undoStack()->count();
        LineTools(*model).run(steps[i % steps.size()]);
        // A tool with nothing to do (trimming trimmed lines) adds no step.
        if (undoStack()->count() > count)
            states.append(now());
    }
    ASSERT_EQ(undoStack()->count(), states.size() - 1);
    ASSERT_GT(undoStack()->count(), 50);
    qsizetype kept = 0;
    for (int i = 0; i < undoStack()->count(); ++i) {
        const auto* step = static_cast<const TabEditCommand*>(undoStack()->command(i));
        kept += step->splice().removed.size() + step->splice().inserted.size();
    }
    // Trimming every line keeps the text before and after once; every other step about a line
    // or two (whole texts would be over 50 times the text).
    EXPECT_LT(kept, 2 * start.size() + 60 * 200);

    for (qsizetype i = states.size() - 1; i > 0; --i) {
        undoStack()->undo();
        ASSERT_EQ(text(), states[i - 1].text) << i;
        ASSERT_EQ(active().selectedRanges, states[i - 1].ranges) << i;
        ASSERT_EQ(storage->text(), text());
    }
    EXPECT_EQ(text(), start);
    EXPECT_EQ(storage->primaryDocument()->toPlainText().replace(QChar(0x2029), u'\n'), start);
    for (qsizetype i = 1; i < states.size(); ++i) {
        undoStack()->redo();
        ASSERT_EQ(text(), states[i].text) << i;
        ASSERT_EQ(active().selectedRanges, states[i].ranges) << i;
        ASSERT_EQ(storage->text(), text());
    }
}

// Moving, duplicating and deleting lines of a text no one else reads change its one string in
// place, shared by the tab and its storage, and undo gives back the exact text, caret and
// saved state.
TEST_F(LineToolsTest, LineToolsEditTheSharedStringInPlaceAndUndoGivesBackTheExactText) {
    QString start;
    for (int i = 0; i < 3000; ++i)
        start += QStringLiteral("line %1\n").arg(i);
    setTab(start, {{2, 0}});
    const std::shared_ptr<TextStorage> storage =
        model->textStorageRegistry().textStorage(active().id, text());
    // The first change copies the text once: the saved copy still reads it.
    LineTools(*model).run(S::MoveLineDown);
    const QChar* const data = text().constData();
    EXPECT_EQ(storage->text().constData(), data);
    for (int i = 0; i < 20; ++i)
        LineTools(*model).run(S::MoveLineDown);
    LineTools(*model).run(S::MoveLineUp);
    EXPECT_EQ(text().constData(), data);
    EXPECT_EQ(storage->text().constData(), data);

    QStringList lines = start.split(u'\n');
    lines.move(0, 20);
    QString expected = lines.join(u'\n');
    EXPECT_EQ(text(), expected);
    const qsizetype lineStart = expected.indexOf(QStringLiteral("line 0\n"));
    EXPECT_EQ(selection(), (TextRange{lineStart, 7}));

    LineTools(*model).run(S::DuplicateLine);
    expected.insert(lineStart + 7, QStringLiteral("line 0\n"));
    EXPECT_EQ(text(), expected);
    LineTools(*model).run(S::DeleteLine);
    expected.remove(lineStart + 7, 7);
    EXPECT_EQ(text(), expected);
    EXPECT_EQ(storage->text(), expected);
    EXPECT_TRUE(tabIsModified(active()));

    while (undoStack()->canUndo())
        undoStack()->undo();
    EXPECT_EQ(text(), start);
    EXPECT_EQ(storage->text(), start);
    EXPECT_EQ(active().selectedRanges, (QList<TextRange>{{2, 0}}));
    EXPECT_FALSE(tabIsModified(active()));
}

// Moving a line past an equal one leaves the text as it was; the caret still moves, as one
// undo step that puts it back.
TEST_F(LineToolsTest, MovingALinePastAnEqualOneMovesOnlyTheCaret) {
    const QString same = QStringLiteral("same\nsame\nother\n");
    setTab(same, {{1, 0}});
    LineTools(*model).run(S::MoveLineDown);
    EXPECT_EQ(text(), same);
    EXPECT_EQ(selection(), (TextRange{5, 5}));
    EXPECT_FALSE(tabIsModified(active()));
    ASSERT_EQ(undoStack()->count(), 1);
    const auto* step = static_cast<const TabEditCommand*>(undoStack()->command(0));
    EXPECT_TRUE(step->splice().changesNothing());
    undoStack()->undo();
    EXPECT_EQ(text(), same);
    EXPECT_EQ(selection(), (TextRange{1, 0}));
}

// A change made against another text than the tab's (the tab changed meanwhile) is refused
// whole: nothing is written and no step is added.
TEST_F(LineToolsTest, AStretchThatIsNotInTheTextIsNotWritten) {
    setTab(QStringLiteral("one\ntwo\n"), {{0, 0}});
    model->spliceTabText(0, TextSplice{4, QStringLiteral("six\n"), QString()}, {4, 0},
                         QStringLiteral("tools.line.delete"));
    model->spliceTabText(0, TextSplice{7, QStringLiteral("o\nx"), QString()}, {4, 0},
                         QStringLiteral("tools.line.delete"));
    EXPECT_EQ(text(), QStringLiteral("one\ntwo\n"));
    EXPECT_EQ(selection(), (TextRange{0, 0}));
    EXPECT_EQ(undoStack()->count(), 0);
}

TEST_F(LineToolsTest, RefusedPreconditionsSayWhyAndRecordNothing) {
    struct Refusal {
        S step;
        const char* fileName;
        TextRange selection;
        const char* key;
    };
    const QList<Refusal> refusals{
        {S::ToggleLineComment, "style.css", {0, 3}, "tools.edit.comment-unavailable"},
        {S::ToggleBlockComment, "notes.txt", {0, 3}, "tools.edit.comment-unavailable"},
        {S::ToggleBlockComment, "run.py", {0, 3}, "tools.edit.comment-unavailable"},
        {S::UppercaseSelection, "", {2, 0}, "tools.text.select-first"},
        {S::LowercaseSelection, "", {2, 0}, "tools.text.select-first"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(rawValue(r.step).toStdString() + " " + r.fileName);
        setTab(QStringLiteral("abc\n"), {r.selection}, QString::fromLatin1(r.fileName));
        startRecording();
        LineTools(*model).run(r.step);
        EXPECT_EQ(text(), QStringLiteral("abc\n"));
        EXPECT_EQ(status(), text(r.key));
        EXPECT_TRUE(recorded().isEmpty());
        EXPECT_EQ(sessionSaves, 0);
        EXPECT_EQ(undoStack()->count(), 0);
    }
}

TEST_F(LineToolsTest, ReadOnlyTabRefusesEveryToolButTheStepIsStillRecorded) {
    setTab(QStringLiteral("b\na\n"), {{0, 3}}, QStringLiteral("big.c"), true);
    startRecording();
    for (S step : allEditorMacroSteps()) {
        LineTools(*model).run(step);
        EXPECT_EQ(status(), text("large-file.read-only-edit-blocked"));
    }
    EXPECT_EQ(text(), QStringLiteral("b\na\n"));
    EXPECT_EQ(recorded(), allEditorMacroSteps());
    EXPECT_EQ(sessionSaves, 0);
    EXPECT_EQ(findRefreshes, 0);
    EXPECT_EQ(undoStack()->count(), 0);
}

TEST_F(LineToolsTest, AToolThatChangesNothingStillReportsAndSavesButAddsNoUndoStep) {
    setTab(QStringLiteral("top\nrest"), {{1, 0}});
    startRecording();
    LineTools(*model).run(S::MoveLineUp);
    waitForSessionSave();
    EXPECT_EQ(sessionSaves, 1);
    LineTools(*model).run(S::TabsToSpaces);
    EXPECT_EQ(text(), QStringLiteral("top\nrest"));
    EXPECT_EQ(status(), text("tools.text.tabs-to-spaces.done"));
    EXPECT_EQ(undoStack()->count(), 0);
    waitForSessionSave();
    EXPECT_EQ(sessionSaves, 2);
    EXPECT_EQ(recorded(), (QList<S>{S::MoveLineUp, S::TabsToSpaces}));
}

// A held Move Line Down saves the session once its presses pause, not at every press; a save
// asked for meanwhile takes the waiting one along.
TEST_F(LineToolsTest, ToolsRunInQuickSuccessionSaveTheSessionOnceThePressesPause) {
    setTab(QStringLiteral("a\nb\nc\nd\ne\nf\n"), {{0, 0}});
    for (int press = 0; press < 4; ++press)
        LineTools(*model).run(S::MoveLineDown);
    EXPECT_EQ(text(), QStringLiteral("b\nc\nd\ne\na\nf\n"));
    EXPECT_EQ(sessionSaves, 0);
    waitForSessionSave();
    EXPECT_EQ(sessionSaves, 1);

    LineTools(*model).run(S::MoveLineUp);
    EXPECT_TRUE(model->hasPendingSessionSave());
    model->persistSession();
    EXPECT_FALSE(model->hasPendingSessionSave());
    EXPECT_EQ(sessionSaves, 2);
}

TEST_F(LineToolsTest, AFailedSessionSaveIsReportedAndTheEditStands) {
    setTab(QStringLiteral("b\na\n"));
    failSessionSave = true;
    LineTools(*model).run(S::SortLines);
    EXPECT_EQ(text(), QStringLiteral("a\nb\n"));
    EXPECT_EQ(undoStack()->count(), 1);
    waitForSessionSave();
    EXPECT_EQ(state().notices.shown.size(), 1);
}

TEST_F(LineToolsTest, IndentKeepsFourSpacesWhateverTheTabWidthSetting) {
    model->settings().setTabWidth(2);
    setTab(QStringLiteral("x"), {{0, 0}});
    LineTools(*model).run(S::IndentSelection);
    EXPECT_EQ(text(), QStringLiteral("    x"));
}

TEST(LineToolTransforms, OutdentRemovesOneTabOrUpToFourSpacesPerSelectedLine) {
    struct Case {
        const char* text;
        TextRange selection;
        const char* expected;
        TextRange expectedSelection;
    };
    const QList<Case> cases{
        {"\t  a", {0, 0}, "  a", {0, 3}},
        {"      a", {0, 0}, "  a", {0, 3}},
        {"  \ta", {0, 0}, "\ta", {0, 2}},
        {"abc\n", {0, 0}, "abc\n", {0, 4}},
        // A selection ending just after a line feed leaves the next line alone.
        {"    a\n    b", {0, 6}, "a\n    b", {0, 2}},
        {"", {0, 0}, "", {0, 0}},
        {"x\n  y\n\tz", {2, 5}, "x\ny\nz", {2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const TextEdit edit = outdentLines(QString::fromLatin1(c.text), c.selection);
        EXPECT_EQ(edit.text, QString::fromLatin1(c.expected));
        EXPECT_EQ(edit.selection, c.expectedSelection);
    }
}

TEST(LineToolTransforms, DeletingTheLastLineKeepsTheCaretInsideTheText) {
    const QString twoLines = QStringLiteral("a\nlast");
    EXPECT_EQ(linesDeleted(twoLines, {4, 0}).appliedTo(twoLines),
              (TextEdit{QStringLiteral("a\n"), {2, 0}}));
    const QString oneLine = QStringLiteral("only");
    EXPECT_EQ(linesDeleted(oneLine, {2, 0}).appliedTo(oneLine), (TextEdit{QString(), {0, 0}}));
    EXPECT_EQ(tabsToSpacesTransform(QStringLiteral("a\tb"), {1, 99}),
              (TextEdit{QStringLiteral("a    b"), {1, 5}}));
}

} // namespace
} // namespace dunmoss::test
