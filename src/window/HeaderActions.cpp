#include "window/HeaderActions.h"

#include "platform/Localization.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QPointer>
#include <QTimer>
#include <algorithm>

namespace dunmoss {

void HeaderActions::setEncoding(TextFileEncoding encoding) {
    const int index = m_model.keyboardTabIndex();
    if (const EditorTab& tab = m_model.state().tabs.at(index); tab.isReadOnly) {
        m_model.setFindMessage(localizedString(QLatin1String(readOnlyEditBlockedKey(tab))));
        return;
    }
    m_model.update(
        [&](EditorWindowState& state) { state.tabs[index].document.encoding = encoding; });
    m_model.persistSession();
}

void HeaderActions::setLineEnding(TextLineEnding lineEnding) {
    const int index = m_model.keyboardTabIndex();
    if (const EditorTab& tab = m_model.state().tabs.at(index); tab.isReadOnly) {
        m_model.setFindMessage(localizedString(QLatin1String(readOnlyEditBlockedKey(tab))));
        return;
    }
    m_model.update(
        [&](EditorWindowState& state) { state.tabs[index].document.lineEnding = lineEnding; });
    m_model.persistSession();
}

void HeaderActions::setLanguageOverride(std::optional<EditorLanguage> language) {
    const int index = m_model.keyboardTabIndex();
    m_model.update([&](EditorWindowState& state) {
        state.tabs[index].languageOverride = language;
        state.findMessage = localizedString(language ? QStringLiteral("language.selected")
                                                     : QStringLiteral("language.auto-selected"));
    });
    m_model.refreshFindResultsAfterEdit();
    m_model.persistSession();
}

void HeaderActions::increaseFont() {
    WindowSettings& settings = m_model.settings();
    settings.setFontSize(std::min(settings.fontSize() + 1.0, kMaximumFontSize));
}

void HeaderActions::decreaseFont() {
    WindowSettings& settings = m_model.settings();
    settings.setFontSize(std::max(settings.fontSize() - 1.0, kMinimumFontSize));
}

void HeaderActions::openFindBar() {
    m_model.update([](EditorWindowState& state) { state.find.showFindBar = true; });
    const QPointer<EditorWindowModel> model = &m_model;
    QTimer::singleShot(0, &m_model, [model] {
        if (model)
            model->update(
                [](EditorWindowState& state) { state.find.focusedFindField = FindField::Query; });
    });
}

void HeaderActions::dismissQuickOpen() {
    m_model.update([](EditorWindowState& state) { state.panels.showQuickOpen = false; });
}

} // namespace dunmoss
