#include "window/TabEditCommand.h"

namespace dunmoss {

TabEditCommand::TabEditCommand(Apply apply, const QUuid& tabID, EditSnapshot before,
                               EditSnapshot after, const QString& actionName)
    : QUndoCommand(actionName), m_apply(std::move(apply)), m_tabID(tabID),
      m_before(std::move(before)), m_after(std::move(after)) {}

void TabEditCommand::undo() {
    if (m_apply)
        m_apply(m_tabID, m_before);
}

void TabEditCommand::redo() {
    if (m_appliedByCaller) {
        m_appliedByCaller = false;
        return;
    }
    if (m_apply)
        m_apply(m_tabID, m_after);
}

} // namespace dunmoss
