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

int keyboardTabIndex(const EditorWindowState& state) {
    if (state.split.keyboardInSecondPane)
        if (const std::optional<int> second = secondaryTabIndex(state))
            return *second;
    return activeTabIndex(state);
}

const EditorTab& keyboardTab(const EditorWindowState& state) {
    return state.tabs.at(keyboardTabIndex(state));
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

namespace {

int globalTabWidth(const Defaults& defaults) {
    return int(defaults.integer(QString::fromLatin1(kGlobalTabWidthKey), 4));
}

} // namespace

int tabWidthForTab(const EditorWindowState& state, int index, const Defaults& defaults) {
    if (index < 0 || index >= state.tabs.size())
        return globalTabWidth(defaults);
    return tabWidthForLanguage(effectiveLanguage(state.tabs.at(index)), defaults);
}

int tabWidthForLanguage(EditorLanguage language, const Defaults& defaults) {
    return languageTabWidth(language, globalTabWidth(defaults), defaults);
}

QList<DocumentOutlineItem> activeOutlineItems(const EditorWindowState& state,
                                              const OutlineExtractor& extractOutline) {
    const EditorTab& tab = activeTab(state);
    if (!extractOutline || tab.document.text.size() > kOutlineTextLimit)
        return {};
    return extractOutline(tab.document.text, effectiveLanguage(tab));
}

namespace {

QString withoutTrailingSlashes(QString path) {
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

QString lastPathComponent(const QString& path) {
    const QString trimmed = withoutTrailingSlashes(path);
    if (trimmed == QLatin1String("/"))
        return trimmed;
    return trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
}

QString parentPath(const QString& path) {
    const QString trimmed = withoutTrailingSlashes(path);
    const qsizetype slash = trimmed.lastIndexOf(QLatin1Char('/'));
    if (slash <= 0)
        return QStringLiteral("/");
    return trimmed.left(slash);
}

// The path below the root, or nothing when the file is not inside it. A root "/work/a" does
// not contain "/work/ab/x": the match must end at a path separator.
std::optional<QString> pathBelowRoot(const QString& filePath, const QString& rootPath) {
    if (rootPath.isEmpty() || !filePath.startsWith(rootPath))
        return std::nullopt;
    if (!rootPath.endsWith(QLatin1Char('/')) && filePath.size() > rootPath.size() &&
        filePath.at(rootPath.size()) != QLatin1Char('/'))
        return std::nullopt;
    QString rest = filePath.mid(rootPath.size());
    while (rest.startsWith(QLatin1Char('/')))
        rest.remove(0, 1);
    while (rest.endsWith(QLatin1Char('/')))
        rest.chop(1);
    return rest;
}

} // namespace

QuickOpenEntry quickOpenFileEntry(const QUrl& fileURL, const std::optional<QUrl>& rootURL) {
    const QString filePath = fileURL.path();
    const QString name = lastPathComponent(filePath);
    QString subtitle = parentPath(filePath);
    if (rootURL)
        if (const std::optional<QString> below = pathBelowRoot(filePath, rootURL->path()))
            subtitle = below->isEmpty() ? name : *below;
    return QuickOpenEntry{QStringLiteral("file:") + filePath, name, subtitle,
                          QStringLiteral("doc.text"), QuickOpenAction::openFile(fileURL)};
}

QList<QuickOpenCandidate> quickOpenFileCandidates(const EditorWindowState& state) {
    const QList<WorkspaceItem> files = flattenWorkspaceItems(state.workspace.workspaceItems);
    QList<QuickOpenCandidate> candidates;
    candidates.reserve(files.size());
    for (const WorkspaceItem& file : files) {
        QuickOpenEntry entry = quickOpenFileEntry(file.url, state.workspace.workspaceRootURL);
        QString searchText = entry.title + QLatin1Char(' ') + entry.subtitle;
        candidates.append(QuickOpenCandidate{std::move(entry), std::move(searchText)});
    }
    return candidates;
}

QList<QuickOpenEntry> filterQuickOpenEntries(const QString& rawQuery,
                                             const QList<QuickOpenEntry>& commandEntries,
                                             const QList<QuickOpenCandidate>& files) {
    const QString query = rawQuery.trimmed();
    QList<QuickOpenEntry> result;
    for (const QuickOpenEntry& entry : commandEntries) {
        if (result.size() >= kQuickOpenEntryLimit)
            return result;
        if (query.isEmpty() ||
            (entry.title + QLatin1Char(' ') + entry.subtitle).contains(query, Qt::CaseInsensitive))
            result.append(entry);
    }
    for (const QuickOpenCandidate& file : files) {
        if (result.size() >= kQuickOpenEntryLimit)
            return result;
        if (query.isEmpty() || file.searchText.contains(query, Qt::CaseInsensitive))
            result.append(file.entry);
    }
    return result;
}

QList<QuickOpenEntry> quickOpenEntries(const EditorWindowState& state,
                                       const QList<QuickOpenEntry>& commandEntries) {
    return filterQuickOpenEntries(state.panels.quickOpenQuery, commandEntries,
                                  quickOpenFileCandidates(state));
}

int lineCount(const QString& text) {
    return 1 + int(text.count(QLatin1Char('\n')));
}

int lineCount(const EditorWindowState& state) {
    return lineCount(keyboardTab(state).document.text);
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
    return displayTitle(keyboardTab(state));
}

QString externalChangeAlertMessage(const EditorWindowState& state) {
    std::optional<QString> title;
    if (state.decisions.externalChangeTabID)
        title = tabTitle(state, *state.decisions.externalChangeTabID);
    return localizedString(QStringLiteral("document.external-change.message.format"))
        .arg(title.value_or(localizedString(QStringLiteral("document.untitled"))));
}

bool tabAwaitsDecision(const EditorWindowState& state, const QUuid& tabID) {
    const PendingDecisionState& decisions = state.decisions;
    if (decisions.openQuestions > 0 || decisions.showCloseAllAlert ||
        decisions.askingBeforeWindowClose)
        return true;
    if (decisions.pendingCloseTabID == tabID)
        return true;
    if (decisions.showReloadConfirmation && decisions.reloadConfirmationTabID == tabID)
        return true;
    const std::optional<int> index = tabIndex(state, tabID);
    return decisions.externalChangeTabID == tabID ||
           (index && state.tabs.at(*index).hasExternalChanges);
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
