#include "window/WindowDerivedValues.h"

#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "text/LanguageCatalogue.h"
#include "window/WindowSettings.h"

namespace dunmoss {

int activeTabIndex(const EditorWindowState& state) {
    return tabIndex(state, state.activeTabID).value_or(0);
}

const EditorTab& activeTab(const EditorWindowState& state) {
    return state.tabs.at(activeTabIndex(state));
}

std::optional<int> tabIndex(const EditorWindowState& state, const QUuid& tabID) {
    for (int index = 0; index < state.tabs.size(); ++index)
        if (state.tabs.at(index).id == tabID)
            return index;
    return std::nullopt;
}

bool showsWelcomePanel(const EditorWindowState& state) {
    if (!state.panels.showWelcome || state.tabs.size() != 1)
        return false;
    const EditorTab& tab = activeTab(state);
    return tab.isUntitled() && tab.document.text.isEmpty() && !tabIsModified(tab);
}

namespace {

// The lowest index other than the active one; the active one when it is the only tab.
int firstOtherIndex(const EditorWindowState& state, int active) {
    for (int index = 0; index < state.tabs.size(); ++index)
        if (index != active)
            return index;
    return active;
}

} // namespace

std::optional<int> secondaryTabIndex(const EditorWindowState& state) {
    const int active = activeTabIndex(state);
    switch (state.split.splitMode) {
    case SplitEditorMode::Single:
        return std::nullopt;
    case SplitEditorMode::Clone:
        return active;
    case SplitEditorMode::Split:
        break;
    }
    if (state.split.secondaryTabID) {
        const std::optional<int> index = tabIndex(state, *state.split.secondaryTabID);
        if (index && *index != active)
            return index;
    }
    return firstOtherIndex(state, active);
}

std::optional<int> compareTabIndex(const EditorWindowState& state) {
    if (!state.split.showCompareView)
        return std::nullopt;
    if (state.split.compareTabID)
        if (const std::optional<int> index = tabIndex(state, *state.split.compareTabID))
            return index;
    return firstOtherIndex(state, activeTabIndex(state));
}

EditorLanguage effectiveLanguage(const EditorTab& tab) {
    return tab.languageOverride.value_or(detectLanguage(tab.fileURL));
}

int tabWidthForTab(const EditorWindowState& state, int index, const Defaults& defaults) {
    const int global = int(defaults.integer(QString::fromLatin1(kGlobalTabWidthKey), 4));
    if (index < 0 || index >= state.tabs.size())
        return global;
    return languageTabWidth(effectiveLanguage(state.tabs.at(index)), global, defaults);
}

int lineCount(const QString& text) {
    return 1 + int(text.count(QLatin1Char('\n')));
}

int lineCount(const EditorWindowState& state) {
    return lineCount(activeTab(state).document.text);
}

QString displayTitle(const EditorTab& tab) {
    if (tab.fileURL) {
        const QString name = tab.fileURL->fileName();
        if (!name.isEmpty())
            return name;
    }
    return localizedString(QStringLiteral("document.untitled"));
}

std::optional<QString> tabTitle(const EditorWindowState& state, const QUuid& tabID) {
    const std::optional<int> index = tabIndex(state, tabID);
    if (!index)
        return std::nullopt;
    return displayTitle(state.tabs.at(*index));
}

QString windowTitle(const EditorWindowState& state) {
    return displayTitle(activeTab(state));
}

QString externalChangeAlertMessage(const EditorWindowState& state) {
    std::optional<QString> title;
    if (state.decisions.externalChangeTabID)
        title = tabTitle(state, *state.decisions.externalChangeTabID);
    return localizedString(QStringLiteral("document.external-change.message.format"))
        .arg(title.value_or(localizedString(QStringLiteral("document.untitled"))));
}

QList<EditorMacroStep> macroStepsFromRaw(const QString& raw) {
    QList<EditorMacroStep> steps;
    const QStringList pieces = raw.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& piece : pieces)
        if (const std::optional<EditorMacroStep> step = editorMacroStepFromRawValue(piece))
            steps.append(*step);
    return steps;
}

QList<EditorMacroStep> savedMacroSteps(const WindowSettings& settings) {
    return macroStepsFromRaw(settings.savedMacroStepsRaw());
}

} // namespace dunmoss
