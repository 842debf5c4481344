#pragma once

#include "editor/CodeEditorProps.h"
#include "editor/CodeEditorView.h"
#include "editor/TextStorageRegistry.h"

#include <QUndoStack>
#include <memory>

namespace dunmoss::test {

// A tab as the window keeps it, with bindings that count their writes.
struct FakeTab {
    QUuid id = QUuid::createUuid();
    QString text;
    TextRange selectedRange{0, 0};
    QList<TextRange> selectedRanges{TextRange{0, 0}};
    bool readOnly = false;
    int textWrites = 0;
    int rangeWrites = 0;
    int rangesWrites = 0;
    QUndoStack undo;
    // Called after every write, like a window that re-renders its panes at once.
    std::function<void()> afterWrite;

    TextBinding textBinding() {
        return {[this] { return text; },
                [this](const QString& value) {
                    ++textWrites;
                    if (!readOnly)
                        text = value;
                    if (afterWrite)
                        afterWrite();
                }};
    }
    RangeBinding rangeBinding() {
        return {[this] { return selectedRange; },
                [this](const TextRange& value) {
                    ++rangeWrites;
                    if (value.isNotFound())
                        return;
                    selectedRange = value;
                    selectedRanges = {value};
                }};
    }
    RangesBinding rangesBinding() {
        return {[this] { return selectedRanges; },
                [this](const QList<TextRange>& value) {
                    ++rangesWrites;
                    selectedRanges.clear();
                    for (const TextRange& r : value)
                        if (!r.isNotFound() && r.length >= 0)
                            selectedRanges.append(r);
                    selectedRange = selectedRanges.value(0, TextRange{0, 0});
                }};
    }
};

inline CodeEditorProps propsFor(FakeTab& tab, TextStorageRegistry& registry) {
    CodeEditorProps props;
    props.text = tab.textBinding();
    props.selectedRange = tab.rangeBinding();
    props.selectedRanges = tab.rangesBinding();
    props.documentID = tab.id;
    props.documentUndoManager = &tab.undo;
    props.textStorageRegistry = &registry;
    props.isEditable = !tab.readOnly;
    return props;
}

} // namespace dunmoss::test
