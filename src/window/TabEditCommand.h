#pragma once

#include "platform/TextRange.h"
#include "text/TextSplice.h"

#include <QList>
#include <QString>
#include <QUndoCommand>
#include <QUuid>
#include <functional>
#include <optional>

namespace dunmoss {

// The selections of a tab that undo restores with its text.
struct EditSelection {
    TextRange selectedRange;
    QList<TextRange> selectedRanges;

    friend bool operator==(const EditSelection&, const EditSelection&) = default;
};

// One programmatic edit of a tab on the tab's undo stack: the stretch of text it replaced (not
// the whole text, so a long history of small edits of a long text stays small) and the
// selections before and after. It holds the tab's identifier, never the tab: undo and redo hand
// the splice to the window, which finds the tab again and does nothing when it has been closed.
// The change itself is made by the window before the command is pushed, so the first redo (the
// push) does nothing. Encoding, line ending, language, bookmarks and file state are never
// touched by undo.
//
// Each step keeps the selections it replaced as the ones its opposite restores: Redo brings
// back the selection the person had made when Undo was chosen, not the one right after the
// edit.
class TabEditCommand : public QUndoCommand {
public:
    // Replaces the splice's `removed` with its `inserted` in the tab, selects the selection and
    // answers the selection just before; nothing when the tab is gone or its text no longer
    // holds `removed` there.
    using Apply = std::function<std::optional<EditSelection>(
        const QUuid& tabID, const TextSplice& splice, const EditSelection& selection)>;

    TabEditCommand(Apply apply, const QUuid& tabID, TextSplice splice, EditSelection before,
                   EditSelection after, const QString& actionName);

    void undo() override;
    void redo() override;

    const QUuid& tabID() const { return m_tabID; }
    const TextSplice& splice() const { return m_splice; }
    const EditSelection& before() const { return m_before; }
    const EditSelection& after() const { return m_after; }

private:
    Apply m_apply;
    QUuid m_tabID;
    TextSplice m_splice;
    EditSelection m_before;
    EditSelection m_after;
    bool m_appliedByCaller = true;
};

} // namespace dunmoss
