#include "tools/ColumnInsert.h"

#include "platform/Localization.h"
#include "text/LineOperations.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <algorithm>

namespace dunmoss {

void ColumnInsert::setInsertText(const QString& text) {
    m_model.update([&](EditorWindowState& state) { state.panels.columnInsertText = text; });
}

void ColumnInsert::cancel() {
    m_model.update([](EditorWindowState& state) { state.panels.showColumnInsertSheet = false; });
}

int ColumnInsert::caretVisualColumn() const {
    const EditorTab& tab = activeTab(m_model.state());
    const QString& text = tab.document.text;
    const qsizetype caret = std::clamp<qsizetype>(tab.selectedRange.location, 0, text.size());
    if (caret < 1)
        return 1;
    const qsizetype lineStart = text.lastIndexOf(u'\n', caret - 1) + 1;
    return m_model.visualColumnOfPrefix(text.mid(lineStart, caret - lineStart));
}

void ColumnInsert::applyColumnInsert() {
    const QString insertText = m_model.state().panels.columnInsertText;
    if (insertText.isEmpty()) {
        m_model.setFindMessage(localizedString(QStringLiteral("tools.column-insert.empty")));
        return;
    }
    const QString key = QStringLiteral("tools.column-insert.done");
    const int index = m_model.activeTabIndex();
    const EditorTab& tab = m_model.state().tabs.at(index);
    if (tab.isReadOnly) {
        m_model.setFindMessage(
            localizedString(QStringLiteral("large-file.read-only-edit-blocked")));
    } else {
        const TextEdit edit =
            insertAtVisualColumn(tab.document.text, tab.selectedRange, caretVisualColumn(),
                                 insertText, m_model.tabWidthForTab(index));
        m_model.replaceTabText(index, edit.text, edit.selection, key);
        m_model.setFindMessage(localizedString(key));
        m_model.refreshFindResultsAfterEdit();
        m_model.persistSession();
    }
    m_model.update([](EditorWindowState& state) { state.panels.showColumnInsertSheet = false; });
}

} // namespace dunmoss
