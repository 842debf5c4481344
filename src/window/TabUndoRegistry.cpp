#include "window/TabUndoRegistry.h"

#include <QUndoStack>

namespace dunmoss {

TabUndoRegistry::TabUndoRegistry(QObject* parent) : QObject(parent) {}

TabUndoRegistry::~TabUndoRegistry() = default;

QUndoStack* TabUndoRegistry::undoStackForTab(const QUuid& tabID) {
    if (QUndoStack* stack = m_stacks.value(tabID))
        return stack;
    auto* stack = new QUndoStack(this);
    m_stacks.insert(tabID, stack);
    emit undoStackCreated(tabID, stack);
    return stack;
}

QUndoStack* TabUndoRegistry::existingUndoStack(const QUuid& tabID) const {
    return m_stacks.value(tabID);
}

void TabUndoRegistry::clearUndoHistory(const QUuid& tabID) {
    if (QUndoStack* stack = m_stacks.value(tabID))
        stack->clear();
}

void TabUndoRegistry::removeUndoStack(const QUuid& tabID) {
    QUndoStack* stack = m_stacks.take(tabID);
    if (!stack)
        return;
    stack->clear();
    emit undoStackRemoved(tabID, stack);
    // Later, not now: the call may come from a slot of something connected to the stack.
    stack->deleteLater();
}

} // namespace dunmoss
