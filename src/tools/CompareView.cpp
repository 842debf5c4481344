#include "tools/CompareView.h"

#include "platform/Localization.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

namespace dunmoss {

void CompareView::toggleCompareView() {
    m_model.update([](EditorWindowState& state) {
        state.split.showCompareView = !state.split.showCompareView;
        if (!state.split.showCompareView) {
            state.findMessage = localizedString(QStringLiteral("tools.compare-view.closed"));
            return;
        }
        state.split.compareTabID = state.activeTabID;
        for (const EditorTab& tab : state.tabs)
            if (tab.id != state.activeTabID) {
                state.split.compareTabID = tab.id;
                break;
            }
        state.findMessage = localizedString(QStringLiteral("tools.compare-view.enabled"));
    });
}

void CompareView::closeCompareView() {
    m_model.update([](EditorWindowState& state) {
        state.split.showCompareView = false;
        state.findMessage = localizedString(QStringLiteral("tools.compare-view.closed"));
    });
}

void CompareView::chooseCompareTab(const QUuid& tabID) {
    m_model.update([&](EditorWindowState& state) { state.split.compareTabID = tabID; });
}

std::optional<QUuid> CompareView::compareTabID() const {
    const std::optional<int> index = compareTabIndex(m_model.state());
    if (!index)
        return std::nullopt;
    return m_model.state().tabs.at(*index).id;
}

void CompareView::copyBaseToCompare() {
    if (const std::optional<QUuid> right = compareTabID())
        copyTabText(activeTab(m_model.state()).id, *right);
}

void CompareView::copyCompareToBase() {
    if (const std::optional<QUuid> right = compareTabID())
        copyTabText(*right, activeTab(m_model.state()).id);
}

void CompareView::copyTabText(const QUuid& sourceTabID, const QUuid& targetTabID) {
    const std::optional<int> source = m_model.tabIndex(sourceTabID);
    const std::optional<int> target = m_model.tabIndex(targetTabID);
    if (!source || !target || *source == *target)
        return;
    if (const EditorTab& tab = m_model.state().tabs.at(*target); tab.isReadOnly) {
        m_model.setFindMessage(localizedString(QLatin1String(readOnlyEditBlockedKey(tab))));
        return;
    }
    const QString text = m_model.state().tabs.at(*source).document.text;
    // The same text with the caret already at the start adds no undo step.
    m_model.replaceTabText(*target, text, TextRange{0, 0},
                           QString::fromLatin1(lkey("compare.copy.action")));
    m_model.setFindMessage(localizedString(QStringLiteral("compare.copied")));
    m_model.refreshFindResultsAfterEdit();
    m_model.persistSession();
}

namespace {

// As many lines as splitCompareLines gives: none for an empty text.
qsizetype compareLineCount(const QString& text) {
    return text.isEmpty() ? 0 : text.count(u'\n') + 1;
}

} // namespace

bool CompareCache::refresh(const QString& leftText, const QString& rightText) {
    if (m_result && m_leftText == leftText && m_rightText == rightText)
        return false;
    m_leftText = leftText;
    m_rightText = rightText;
    // A side over the limit is only counted, so typing in a long text stays cheap.
    const qsizetype leftLines = compareLineCount(leftText);
    const qsizetype rightLines = compareLineCount(rightText);
    if (leftLines > kCompareLineLimit || rightLines > kCompareLineLimit)
        m_result = TextCompareResult{std::nullopt, leftLines, rightLines};
    else
        m_result = compareTexts(leftText, rightText, kCompareLineLimit);
    return true;
}

void CompareCache::clear() {
    m_result.reset();
    m_leftText.clear();
    m_rightText.clear();
}

} // namespace dunmoss
