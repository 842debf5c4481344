#include "editor/TypingUndoCommand.h"

#include "platform/Localization.h"

#include <QtDebug>

namespace dunmoss {

TypingUndoCommand::TypingUndoCommand(std::shared_ptr<TextStorage> storage,
                                     const TextStorage::Change& change,
                                     QList<TextRange> selectionBefore, Bindings bindings,
                                     const QString& nameKey)
    : m_storage(storage), m_generation(storage ? storage->typingGeneration() : 0),
      m_position(change.position), m_removed(change.removed), m_inserted(change.inserted),
      m_selectionBefore(std::move(selectionBefore)),
      m_selectionAfter{TextRange{change.position + change.inserted.size(), 0}},
      m_bindings(std::move(bindings)) {
    if (m_selectionBefore.isEmpty())
        m_selectionBefore = {TextRange{change.position, change.removed.size()}};
    setText(localizedString(nameKey));
}

bool TypingUndoCommand::mergeWith(const QUndoCommand* other) {
    const auto* next = dynamic_cast<const TypingUndoCommand*>(other);
    if (!next || next->m_storage.lock() != m_storage.lock() || next->m_generation != m_generation)
        return false;
    if (next->m_removed.isEmpty() && next->m_position == m_position + m_inserted.size()) {
        m_inserted += next->m_inserted;
    } else if (m_inserted.isEmpty() && next->m_inserted.isEmpty() &&
               next->m_position + next->m_removed.size() == m_position) {
        m_removed.prepend(next->m_removed);
        m_position = next->m_position;
    } else if (m_inserted.isEmpty() && next->m_inserted.isEmpty() &&
               next->m_position == m_position) {
        m_removed += next->m_removed;
    } else {
        return false;
    }
    m_selectionAfter = next->m_selectionAfter;
    return true;
}

void TypingUndoCommand::undo() {
    m_done = false;
    apply(m_inserted, m_removed, m_selectionBefore);
}

void TypingUndoCommand::redo() {
    if (m_done)
        return; // pushed after the fact
    m_done = true;
    apply(m_removed, m_inserted, m_selectionAfter);
}

void TypingUndoCommand::apply(const QString& expected, const QString& replacement,
                              const QList<TextRange>& selection) {
    const std::shared_ptr<TextStorage> storage = m_storage.lock();
    if (storage && m_bindings.text.get) {
        // The tab's text is the reference: a storage that fell behind it (the text was set
        // while no view showed the tab) is brought up to date first, outside undo.
        const QString bound = m_bindings.text.get();
        if (bound != storage->text())
            storage->replaceAll(bound);
    }
    const QString current = storage ? storage->text() : m_bindings.text.value();
    if (m_position > current.size() ||
        QStringView(current).mid(m_position, expected.size()) != expected) {
        qWarning("Typing undo step no longer matches the text; skipped");
        return;
    }
    QString updated;
    if (storage) {
        storage->applyEdit(m_position, expected.size(), replacement,
                           TextStorage::EditKind::UndoRedo);
        storage->requestSelection(selection);
        updated = storage->text();
    } else {
        updated = current;
        updated.replace(m_position, expected.size(), replacement);
    }
    m_bindings.text.write(updated);
    m_bindings.selectedRanges.write(selection);
    m_bindings.selectedRange.write(selection.value(0, TextRange{0, 0}));
}

} // namespace dunmoss
