#pragma once

#include "editor/TextStorage.h"

#include <QHash>
#include <QSet>
#include <QUuid>
#include <memory>

namespace dunmoss {

// One text storage per document (tab identifier) of a window, shared by every code-editing view
// of that window.
//
// Undo, for the whole program: every tab has one QUndoStack (held by the window, keyed by tab
// identifier, and handed to the view of that tab). Typing, cutting, pasting and dropping in a
// view are captured from the storage's change notification and pushed there as typing steps
// (position, removed and inserted text, selection before and after; keystrokes of one run merge,
// a cut, a paste or a drop stays a step of its own); every programmatic edit of
// the window (tools, replace all, formatting, copying between compared tabs) pushes its own step
// on the same stack with a localised action name, which the Edit menu reads from
// QUndoStack::undoText(). The QTextDocuments never record undo themselves, so there is no second
// history. Replacing a storage's whole text from the tab's text (a new text from the window, a
// reload) is outside undo and starts a new typing step.
//
// Lifetime: a storage is created empty on first use. Views hold a shared reference while they
// show it, so pruning or removing an entry never deletes a document a view still shows; the
// storage goes when the last of them lets go.
class TextStorageRegistry {
public:
    // The storage of the document, created empty when there is none yet.
    std::shared_ptr<TextStorage> textStorage(const QUuid& documentID);
    // The same, but a storage created here is first filled with the given text, outside undo,
    // so that an edit aimed at it applies to the tab's real text.
    std::shared_ptr<TextStorage> textStorage(const QUuid& documentID, const QString& fillText);
    bool contains(const QUuid& documentID) const { return m_storages.contains(documentID); }
    // Takes a storage made ahead for a document that has none yet; false (and nothing kept)
    // when it has one.
    bool adoptTextStorage(const QUuid& documentID, std::shared_ptr<TextStorage> storage);

    // Drops every storage whose identifier is not in the set.
    void pruneTextStorages(const QSet<QUuid>& keep);
    // Drops one storage (its tab was closed or discarded).
    void removeTextStorage(const QUuid& documentID);

    const QHash<QUuid, std::shared_ptr<TextStorage>>& storages() const { return m_storages; }

    // Where each document's text is held besides its storage (see TextStorage::setSharedText),
    // given to every storage made or taken from now on.
    void setSharedTexts(std::function<QString*(const QUuid&)> lookup) {
        m_sharedTexts = std::move(lookup);
    }

    // The look of a document a view shows now, with the width it wraps at; none when no view
    // shows one.
    std::optional<TextStorage::Look> shownLook() const;

private:
    void shareText(const QUuid& documentID, TextStorage& storage) const;

    QHash<QUuid, std::shared_ptr<TextStorage>> m_storages;
    std::function<QString*(const QUuid&)> m_sharedTexts;
};

} // namespace dunmoss
