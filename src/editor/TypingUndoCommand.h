#pragma once

#include "editor/Binding.h"
#include "editor/TextStorage.h"

#include <QUndoCommand>
#include <memory>

namespace dunmoss {

// One undo step of typing in a code-editing view: a replacement of `removed` by `inserted` at a
// position of a storage, with the selection before and after it. Consecutive keystrokes of one
// typing run merge into one step. Undoing writes the text and selection back through the tab's
// bindings as well, so the window learns of it even when no view shows the tab.
class TypingUndoCommand : public QUndoCommand {
public:
    struct Bindings {
        TextBinding text;
        RangeBinding selectedRange;
        RangesBinding selectedRanges;
    };

    // The action name is the localised text of nameKey.
    TypingUndoCommand(std::shared_ptr<TextStorage> storage, const TextStorage::Change& change,
                      QList<TextRange> selectionBefore, Bindings bindings, const QString& nameKey);

    static constexpr int kId = 0x7479; // "ty"
    int id() const override { return kId; }
    bool mergeWith(const QUndoCommand* other) override;
    void undo() override;
    void redo() override;

    qsizetype position() const { return m_position; }
    const QString& removedText() const { return m_removed; }
    const QString& insertedText() const { return m_inserted; }

private:
    void apply(const QString& expected, const QString& replacement,
               const QList<TextRange>& selection);

    std::weak_ptr<TextStorage> m_storage;
    quint64 m_generation;
    qsizetype m_position;
    QString m_removed;
    QString m_inserted;
    QList<TextRange> m_selectionBefore;
    QList<TextRange> m_selectionAfter;
    Bindings m_bindings;
    bool m_done = true; // the edit has already happened when the step is pushed
};

} // namespace dunmoss
