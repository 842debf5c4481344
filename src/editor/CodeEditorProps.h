#pragma once

#include "editor/Binding.h"
#include "text/EditorLanguage.h"
#include "text/EditorTheme.h"

#include <QUrl>
#include <QUuid>
#include <functional>
#include <optional>
#include <set>

class QUndoStack;

namespace dunmoss {

class TextStorageRegistry;

// What the window hands a code-editing view for one pane: bindings to the shown tab's text and
// selection, the display settings and the shared registries. A new value is applied with
// CodeEditorView::update.
struct CodeEditorProps {
    TextBinding text;
    RangeBinding selectedRange;
    RangesBinding selectedRanges;
    // The tab's identifier: the key into the registry.
    QUuid documentID;
    std::optional<QUrl> fileURL;
    EditorLanguage language = EditorLanguage::PlainText;
    // In the editor's points, which are logical pixels here.
    qreal fontSize = 14;
    int tabWidth = 4;
    EditorTheme theme = EditorTheme::System;
    bool wordWrap = true;
    bool showInvisibles = false;
    bool isEditable = true;
    // 1-based line numbers.
    std::set<int> bookmarkedLines;
    // The tab's own undo stack (owned by the window); the view keeps one of its own when none.
    QUndoStack* documentUndoManager = nullptr;
    TextStorageRegistry* textStorageRegistry = nullptr;
    std::function<void()> showFind;
    // A paste of the text (as the document would hold it) over the range, which the window
    // takes as the tab's edit and fills aside when it is large (true); else the view writes it.
    std::function<bool(TextRange, const QString&)> pasteAside;
};

} // namespace dunmoss
