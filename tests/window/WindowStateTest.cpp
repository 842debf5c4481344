#include "WindowFixture.h"
#include "platform/Localization.h"
#include "window/WindowSettings.h"

namespace dunmoss::test {
namespace {

using WindowState = WindowFixture;

EditorTab fileTab(const QString& path, const QString& text = {}) {
    EditorTab tab;
    tab.fileURL = QUrl::fromLocalFile(path);
    tab.document.text = text;
    tab.savedSnapshot = text;
    return tab;
}

TEST_F(WindowState, NewWindowHasOneEmptyUntitledTabAndShowsWelcome) {
    ASSERT_EQ(state().tabs.size(), 1);
    const EditorTab& tab = tabAt(0);
    EXPECT_TRUE(tab.isUntitled());
    EXPECT_TRUE(tab.document.text.isEmpty());
    EXPECT_EQ(tab.selectedRanges, (QList<TextRange>{TextRange{0, 0}}));
    // The active identifier names no tab until start-up repairs it; the first tab stands in.
    EXPECT_NE(state().activeTabID, tab.id);
    EXPECT_EQ(model->activeTabIndex(), 0);
    EXPECT_TRUE(showsWelcomePanel(state()));
    EXPECT_TRUE(state().findMessage.isEmpty());
    EXPECT_FALSE(state().errors.errorMessage.has_value());
    EXPECT_TRUE(state().isSceneHosted);
    EXPECT_EQ(state().searchCenter.searchCenterScope, SearchCenterScope::CurrentDocument);
    EXPECT_FALSE(state().folderSearch.folderReplacePreview.has_value());
    EXPECT_TRUE(state().macros.recordedMacroSteps.isEmpty());
}

TEST_F(WindowState, FallbackWindowDiffersOnlyInBeingSceneHosted) {
    EditorWindowModel fallback(*defaults, EditorWindowModel::Options{false, {}, {}});
    EXPECT_FALSE(fallback.state().isSceneHosted);
    EXPECT_EQ(fallback.state().tabs.size(), 1);
    EXPECT_TRUE(showsWelcomePanel(fallback.state()));
}

TEST_F(WindowState, WelcomePanelOnlyForTheLonePristineUntitledTab) {
    model->update([](EditorWindowState& s) { s.tabs[0].document.text = QStringLiteral("x"); });
    EXPECT_FALSE(showsWelcomePanel(state()));

    model->update([&](EditorWindowState& s) { s.tabs = {fileTab(path("a.txt"))}; });
    EXPECT_TRUE(state().panels.showWelcome);
    EXPECT_FALSE(showsWelcomePanel(state()));

    model->update([](EditorWindowState& s) { s.tabs = {untitledTab()}; });
    EXPECT_TRUE(showsWelcomePanel(state()));
    // Only the encoding changed: still a change of the document.
    model->update([](EditorWindowState& s) {
        s.tabs[0].document.encoding = TextFileEncoding::Utf16LittleEndian;
    });
    EXPECT_FALSE(showsWelcomePanel(state()));
    model->update([](EditorWindowState& s) {
        s.tabs = {untitledTab(), untitledTab()};
        s.panels.showWelcome = true;
    });
    EXPECT_FALSE(showsWelcomePanel(state()));
}

TEST_F(WindowState, SecondPaneAndCompareTabFollowTheirRules) {
    const EditorTab a = untitledTab(), b = untitledTab(), c = untitledTab();
    model->update([&](EditorWindowState& s) {
        s.tabs = {a};
        s.activeTabID = a.id;
        s.split.splitMode = SplitEditorMode::Split;
    });
    // One tab: both panes show it.
    EXPECT_EQ(secondaryTabIndex(state()), 0);

    model->update([&](EditorWindowState& s) {
        s.tabs = {a, b, c};
        s.activeTabID = b.id;
        s.split.secondaryTabID = c.id;
    });
    EXPECT_EQ(secondaryTabIndex(state()), 2);
    model->update([&](EditorWindowState& s) { s.split.secondaryTabID = b.id; });
    EXPECT_EQ(secondaryTabIndex(state()), 0);
    model->update([&](EditorWindowState& s) { s.split.splitMode = SplitEditorMode::Clone; });
    EXPECT_EQ(secondaryTabIndex(state()), 1);
    // The keyboard's tab: the second pane's while it has the keyboard and is shown.
    model->update([&](EditorWindowState& s) { s.split.splitMode = SplitEditorMode::Split; });
    EXPECT_EQ(keyboardTabIndex(state()), 1);
    model->setKeyboardInSecondPane(true);
    EXPECT_EQ(keyboardTabIndex(state()), 0);
    model->update([&](EditorWindowState& s) { s.split.splitMode = SplitEditorMode::Single; });
    EXPECT_FALSE(secondaryTabIndex(state()).has_value());
    EXPECT_EQ(keyboardTabIndex(state()), 1);

    EXPECT_FALSE(compareTabIndex(state()).has_value());
    model->update([&](EditorWindowState& s) {
        s.split.showCompareView = true;
        s.split.compareTabID = b.id;
    });
    // Naming the active tab compares it with itself.
    EXPECT_EQ(compareTabIndex(state()), 1);
    model->update([&](EditorWindowState& s) { s.split.compareTabID.reset(); });
    EXPECT_EQ(compareTabIndex(state()), 0);
}

TEST_F(WindowState, SplitSecondPaneMovesOffTheNewlyActiveTab) {
    const EditorTab a = untitledTab(), b = untitledTab();
    model->update([&](EditorWindowState& s) {
        s.tabs = {a, b};
        s.activeTabID = b.id;
        s.split.splitMode = SplitEditorMode::Split;
        s.split.secondaryTabID = b.id;
    });
    model->refreshSplitSecondaryTab();
    EXPECT_EQ(state().split.secondaryTabID, a.id);

    model->update([&](EditorWindowState& s) {
        s.split.splitMode = SplitEditorMode::Clone;
        s.split.secondaryTabID = b.id;
    });
    model->refreshSplitSecondaryTab();
    EXPECT_EQ(state().split.secondaryTabID, b.id);

    model->update([&](EditorWindowState& s) {
        s.tabs = {b};
        s.split.splitMode = SplitEditorMode::Split;
    });
    model->refreshSplitSecondaryTab();
    EXPECT_FALSE(state().split.secondaryTabID.has_value());
}

TEST_F(WindowState, NextExternallyChangedTabSkipsTheOneJustHandled) {
    EditorTab a = untitledTab(), b = untitledTab(), c = untitledTab();
    a.hasExternalChanges = true;
    c.hasExternalChanges = true;
    model->update([&](EditorWindowState& s) { s.tabs = {a, b, c}; });
    EXPECT_EQ(model->nextExternallyChangedTabID(a.id), c.id);
    EXPECT_EQ(model->nextExternallyChangedTabID(c.id), a.id);
    model->update([](EditorWindowState& s) { s.tabs[2].hasExternalChanges = false; });
    EXPECT_FALSE(model->nextExternallyChangedTabID(a.id).has_value());
}

TEST_F(WindowState, LineCountTitlesAndExternalChangeMessage) {
    EXPECT_EQ(lineCount(QString()), 1);
    EXPECT_EQ(lineCount(QStringLiteral("a\nb\n")), 3);

    const EditorTab named = fileTab(QStringLiteral("/tmp/folder/notes.md"));
    model->update([&](EditorWindowState& s) {
        s.tabs.append(named);
        s.activeTabID = named.id;
    });
    EXPECT_EQ(tabTitle(state(), named.id), QStringLiteral("notes.md"));
    EXPECT_EQ(tabTitle(state(), tabAt(0).id), localizedString(QStringLiteral("document.untitled")));
    EXPECT_FALSE(tabTitle(state(), QUuid::createUuid()).has_value());
    EXPECT_EQ(windowTitle(state()), QStringLiteral("notes.md"));

    model->update([&](EditorWindowState& s) { s.decisions.externalChangeTabID = named.id; });
    EXPECT_TRUE(externalChangeAlertMessage(state()).contains(QStringLiteral("notes.md")));
    model->update(
        [](EditorWindowState& s) { s.decisions.externalChangeTabID = QUuid::createUuid(); });
    EXPECT_TRUE(externalChangeAlertMessage(state()).contains(
        localizedString(QStringLiteral("document.untitled"))));
}

TEST_F(WindowState, TabWidthComesFromTheTabsLanguageThenTheGlobalSetting) {
    const EditorTab python = fileTab(QStringLiteral("/tmp/x.py"));
    model->update([&](EditorWindowState& s) { s.tabs = {python}; });
    EXPECT_EQ(model->tabWidthForTab(0), 4);
    defaults->setValue(QStringLiteral("editor.tab-width"), 3);
    EXPECT_EQ(model->tabWidthForTab(0), 3);
    EXPECT_EQ(model->tabWidthForTab(5), 3);
    defaults->setValue(QStringLiteral("editor.language.python.tab-width"), 8);
    EXPECT_EQ(model->tabWidthForTab(0), 8);
    model->update([](EditorWindowState& s) { s.tabs[0].languageOverride = EditorLanguage::Go; });
    EXPECT_EQ(model->tabWidthForTab(0), 3);
}

TEST_F(WindowState, SettingsAreSharedThroughTheStoreWithTheirDefaults) {
    WindowSettings& settings = model->settings();
    EXPECT_DOUBLE_EQ(settings.fontSize(), 14.0);
    EXPECT_EQ(settings.themeRawValue(), QStringLiteral("system"));
    EXPECT_TRUE(settings.autoSaveEnabled());
    EXPECT_TRUE(settings.wordWrapEnabled());
    EXPECT_FALSE(settings.showInvisiblesEnabled());
    EXPECT_EQ(settings.tabWidth(), 4);

    defaults->setValue(QStringLiteral("editor.font-size"), 20);
    EditorWindowModel other(*defaults, EditorWindowModel::Options{true, {}, {}});
    EXPECT_DOUBLE_EQ(other.settings().fontSize(), 20.0);

    WindowSettings testing(*defaults,
                           {QStringLiteral("app"), QStringLiteral("--dunmoss-ui-testing")});
    testing.setAlwaysOnTopEnabled(true);
    EXPECT_TRUE(defaults->boolean(QStringLiteral("ui-testing.window.always-on-top.enabled")));
    EXPECT_FALSE(defaults->contains(QStringLiteral("window.always-on-top.enabled")));
    // Only the whole argument counts.
    WindowSettings lookalike(*defaults, {QStringLiteral("--dunmoss-ui-testing=1")});
    EXPECT_EQ(lookalike.alwaysOnTopKey(), QStringLiteral("window.always-on-top.enabled"));
}

TEST_F(WindowState, SavedMacroKeepsKnownStepsInStoredOrder) {
    using S = EditorMacroStep;
    WindowSettings& settings = model->settings();
    EXPECT_TRUE(savedMacroSteps(settings).isEmpty());

    // One valid name between empty pieces, and a name that is no step: exactly that one step.
    settings.setSavedMacroStepsRaw(QStringLiteral(",,sortLines,,noSuchStep,"));
    EXPECT_EQ(savedMacroSteps(settings), (QList<S>{S::SortLines}));

    // Order and repeats are kept; names are matched exactly, without trimming.
    settings.setSavedMacroStepsRaw(
        QStringLiteral("moveLineDown,duplicateLine,moveLineDown, deleteLine,DeleteLine"));
    EXPECT_EQ(savedMacroSteps(settings),
              (QList<S>{S::MoveLineDown, S::DuplicateLine, S::MoveLineDown}));

    EXPECT_TRUE(macroStepsFromRaw(QStringLiteral(",")).isEmpty());
    EXPECT_EQ(macroStepsFromRaw(QStringLiteral("lowercaseSelection")),
              (QList<S>{S::LowercaseSelection}));
}

} // namespace
} // namespace dunmoss::test
