#include "window/TabEditCommand.h"

namespace dunmoss {

TabEditCommand::TabEditCommand(Apply apply, const QUuid& tabID, TextSplice splice,
                               EditSelection before, EditSelection after, const QString& actionName)
    : QUndoCommand(actionName), m_apply(std::move(apply)), m_tabID(tabID),
      m_splice(std::move(splice)), m_before(std::move(before)), m_after(std::move(after)) {}

void TabEditCommand::undo() {
    if (!m_apply)
        return;
    if (std::optional<EditSelection> replaced = m_apply(m_tabID, m_splice.inverse(), m_before))
        m_after = std::move(*replaced);
}

void TabEditCommand::redo() {
    if (m_appliedByCaller) {
        m_appliedByCaller = false;
        return;
    }
    if (!m_apply)
        return;
    if (std::optional<EditSelection> replaced = m_apply(m_tabID, m_splice, m_after))
        m_before = std::move(*replaced);
}

} // namespace dunmoss
