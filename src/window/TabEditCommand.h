#pragma once

#include "platform/TextRange.h"

#include <QList>
#include <QString>
#include <QUndoCommand>
#include <QUuid>
#include <functional>
#include <optional>

namespace dunmoss {

// The part of a tab that undo restores: its text and its selections. Encoding, line ending,
// language, bookmarks and file state are never touched by undo.
struct EditSnapshot {
    QString text;
    TextRange selectedRange;
    QList<TextRange> selectedRanges;

    friend bool operator==(const EditSnapshot&, const EditSnapshot&) = default;
};

// One programmatic edit of a tab on the tab's undo stack. It holds the tab's identifier, never
// the tab: undo and redo hand the snapshot to the window, which finds the tab again and does
// nothing when it has been closed. The change itself is made by the window before the command
// is pushed, so the first redo (the push) does nothing.
//
// Each step keeps the state it replaced as the state its opposite restores: Redo brings back
// the tab as it was when Undo was chosen (with the selection the person had made and any change
// made outside undo meanwhile), not as it was right after the edit.
class TabEditCommand : public QUndoCommand {
public:
    // Writes the snapshot into the tab and answers the tab's state just before, or nothing
    // when the tab is gone.
    using Apply = std::function<std::optional<EditSnapshot>(const QUuid& tabID,
                                                            const EditSnapshot& snapshot)>;

    TabEditCommand(Apply apply, const QUuid& tabID, EditSnapshot before, EditSnapshot after,
                   const QString& actionName);

    void undo() override;
    void redo() override;

    const QUuid& tabID() const { return m_tabID; }
    const EditSnapshot& before() const { return m_before; }
    const EditSnapshot& after() const { return m_after; }

private:
    Apply m_apply;
    QUuid m_tabID;
    EditSnapshot m_before;
    EditSnapshot m_after;
    bool m_appliedByCaller = true;
};

} // namespace dunmoss
