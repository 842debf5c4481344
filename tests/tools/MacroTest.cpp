#include "ToolFixture.h"
#include "tools/LineTools.h"
#include "tools/MacroPlayback.h"
#include "tools/MacroRecording.h"

namespace dunmoss::test {
namespace {

using S = EditorMacroStep;

class MacroTest : public ToolFixture {
protected:
    void toggle() { MacroRecording(*model).toggleMacroRecording(); }
    void run(S step) { LineTools(*model).run(step); }
    MacroPlayback playback() { return MacroPlayback(*model); }
    QString stored() const { return model->settings().savedMacroStepsRaw(); }
};

TEST_F(MacroTest, RecordingCollectsToolStepsThatPassTheirGuardAndStartsAfreshEachTime) {
    setTab(QStringLiteral("b\na\n"), {{0, 0}});
    toggle();
    EXPECT_EQ(status(), text("tools.macro.recording"));
    run(S::UppercaseSelection); // refused by its guard: not recorded
    run(S::SortLines);
    run(S::DuplicateLine);
    toggle();
    EXPECT_EQ(recorded(), (QList<S>{S::SortLines, S::DuplicateLine}));
    EXPECT_EQ(status(), "Recorded 2 steps");
    EXPECT_FALSE(state().macros.isRecordingMacro);

    // Stopping keeps the steps; tools used while idle add nothing.
    run(S::DeleteLine);
    EXPECT_EQ(recorded().size(), 2);

    toggle();
    EXPECT_TRUE(recorded().isEmpty());
    toggle();
    EXPECT_EQ(status(), "Recorded 0 steps");
    toggle();
    run(S::SortLines);
    toggle();
    EXPECT_EQ(status(), "Recorded 1 step");
}

TEST_F(MacroTest, SavingStoresTheNamesJoinedByCommasAndAnEmptyRecordingKeepsTheSavedOne) {
    setTab(QStringLiteral("a\n"));
    startRecording();
    run(S::DuplicateLine);
    run(S::SortLines);
    run(S::TabsToSpaces);
    playback().saveRecordedMacro();
    EXPECT_EQ(stored(), QStringLiteral("duplicateLine,sortLines,tabsToSpaces"));
    EXPECT_EQ(status(), "Saved macro with 3 steps");
    EXPECT_TRUE(state().macros.isRecordingMacro);

    toggle();
    toggle(); // a new, empty recording
    playback().saveRecordedMacro();
    EXPECT_EQ(status(), text("tools.macro.empty"));
    EXPECT_EQ(stored(), QStringLiteral("duplicateLine,sortLines,tabsToSpaces"));
}

TEST_F(MacroTest, TheSavedMacroPlaysOnlyExactStepNamesInStoredOrder) {
    model->settings().setSavedMacroStepsRaw(
        QStringLiteral(",duplicateLine,, sortLines,SortLines,bogus,sortLines,"));
    setTab(QStringLiteral("b\na"), {{2, 1}});
    playback().playSavedMacro();
    // Duplicate "a", then sort the selected copy's block: only those two steps ran.
    EXPECT_EQ(text(), QStringLiteral("b\na\na"));
    EXPECT_EQ(status(), "Played the macro: 2 steps");
    EXPECT_EQ(undoStack()->count(), 2);

    model->settings().setSavedMacroStepsRaw(QStringLiteral(" duplicateLine,Bogus"));
    playback().playSavedMacro();
    EXPECT_EQ(status(), text("tools.macro.empty"));
}

TEST_F(MacroTest, AStepThatCannotApplyDoesNotStopTheRunAndTheCountIncludesIt) {
    setTab(QStringLiteral("one"), {{0, 0}});
    playback().playMacroSteps({S::UppercaseSelection, S::DuplicateLine});
    EXPECT_EQ(text(), QStringLiteral("one\none"));
    EXPECT_EQ(status(), "Played the macro: 2 steps");
    EXPECT_FALSE(state().macros.isPlayingMacro);

    setTab(QStringLiteral("big"), {{0, 3}}, {}, true);
    playback().playMacroSteps({S::UppercaseSelection, S::ToggleBlockComment, S::SortLines});
    EXPECT_EQ(text(), QStringLiteral("big"));
    // Every step refused on the read-only tab: no "Played" that reads as success.
    EXPECT_EQ(status(), text("tools.macro.nothing-changed"));
}

TEST_F(MacroTest, PlayingWhileRecordingRunsTheStepsAndLeavesTheRecordingAsItWas) {
    setTab(QStringLiteral("x\n"), {{0, 0}});
    toggle();
    run(S::DuplicateLine);
    playback().playRecordedMacro();
    EXPECT_EQ(text(), QStringLiteral("x\nx\nx\n"));
    EXPECT_EQ(recorded(), QList<S>{S::DuplicateLine});
    EXPECT_TRUE(state().macros.isRecordingMacro);
    EXPECT_FALSE(state().macros.isPlayingMacro);

    toggle();
    toggle();
    playback().playRecordedMacro();
    EXPECT_EQ(status(), text("tools.macro.empty"));
    EXPECT_EQ(text(), QStringLiteral("x\nx\nx\n"));
}

} // namespace
} // namespace dunmoss::test
