#include "tools/ColumnInsert.h"

#include "platform/Localization.h"
#include "text/LineBlock.h"
#include "text/LineOperations.h"
#include "tools/ToolPipeline.h"
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
    const EditorTab& tab = keyboardTab(m_model.state());
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
    const int column = caretVisualColumn();
    const int tabWidth = m_model.tabWidthForTab(m_model.keyboardTabIndex());
    const EditorTab& tab = keyboardTab(m_model.state());
    const qint64 lines = qint64(
        blockLineStarts(tab.document.text, selectedLineRange(tab.document.text, tab.selectedRange))
            .size());
    ToolRequest request;
    request.transform = [&](const QString& text, TextRange selection) {
        return insertAtVisualColumn(text, selection, column, insertText, tabWidth);
    };
    request.actionKey = QLatin1String(lkey("tools.column-insert.action"));
    request.statusText = localizedString(QStringLiteral("tools.column-insert.done.format"))
                             .arg(QString::number(column), localizedCount(lines, kCountedLines));
    ToolPipeline(m_model).run(request);
    // Closed whatever the edit reported, a read-only refusal included.
    cancel();
}

} // namespace dunmoss
