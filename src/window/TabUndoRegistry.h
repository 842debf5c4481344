#pragma once

#include <QHash>
#include <QObject>
#include <QUuid>

class QUndoStack;

namespace dunmoss {

// One undo stack per tab, shared by typing in the tab's editor view and by every programmatic
// edit of the tab, so Undo always acts on the tab being edited. Stacks are created on first
// use and belong to the registry.
class TabUndoRegistry : public QObject {
    Q_OBJECT
public:
    explicit TabUndoRegistry(QObject* parent = nullptr);
    ~TabUndoRegistry() override;

    // The tab's stack, created with default settings on first use. Never null.
    QUndoStack* undoStackForTab(const QUuid& tabID);
    // The tab's stack when one exists.
    QUndoStack* existingUndoStack(const QUuid& tabID) const;
    bool hasUndoStack(const QUuid& tabID) const { return m_stacks.contains(tabID); }

    // Empties the tab's history; the stack stays registered.
    void clearUndoHistory(const QUuid& tabID);
    // Empties the tab's history and drops its stack (the tab was closed or discarded).
    void removeUndoStack(const QUuid& tabID);

signals:
    void undoStackCreated(const QUuid& tabID, QUndoStack* stack);
    // Emitted before the stack goes away, so holders can let go of it.
    void undoStackRemoved(const QUuid& tabID, QUndoStack* stack);

private:
    QHash<QUuid, QUndoStack*> m_stacks;
};

} // namespace dunmoss
