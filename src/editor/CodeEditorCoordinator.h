#pragma once

#include "editor/CodeEditorProps.h"
#include "editor/CompletionPopup.h"
#include "editor/CompletionWordGathering.h"
#include "editor/LineNumberRulerView.h"
#include "editor/TextStorage.h"

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QUndoStack>
#include <memory>

namespace dunmoss {

class CodeEditorView;
class ShortcutTextView;
class SyntaxHighlighting;

// Carries edits and selection changes from the text view to the bindings, applies changes of
// the bindings and settings to the text view, and moves the view between documents without
// rebuilding it. The two guards keep the directions from feeding each other: while the
// coordinator itself changes the view (isUpdatingFromModel) or the colouring restyles it
// (isApplyingHighlighting), the view's change callbacks do nothing.
class CodeEditorCoordinator : public QObject {
    Q_OBJECT
public:
    explicit CodeEditorCoordinator(const CodeEditorProps& props);
    ~CodeEditorCoordinator() override;

    QUuid documentID;
    TextBinding textBinding;
    RangeBinding selectedRangeBinding;
    RangesBinding selectedRangesBinding;
    QPointer<ShortcutTextView> textView;
    QPointer<CodeEditorView> scrollView;
    QPointer<QLabel> parameterHintLabel;
    QPointer<QUndoStack> documentUndoManager;
    TextStorageRegistry* const textStorageRegistry;
    std::optional<QUrl> fileURL;
    EditorLanguage language;
    qreal fontSize;
    int tabWidth;
    EditorTheme theme;
    bool wordWrap;
    bool showInvisibles;
    bool isEditable;
    std::set<int> bookmarkedLines;
    std::function<void()> showFind;
    std::function<bool(TextRange, const QString&)> pasteAside;
    bool isApplyingHighlighting = false;
    bool isUpdatingFromModel = false;
    QList<TextRange> lastReportedRanges;
    QList<TextRange> bracketHighlightRanges;
    std::optional<TextRange> activeHighlightRange;

    // Wires the coordinator to the view it was built for; attaches the document's storage.
    void connectView(CodeEditorView* view, ShortcutTextView* text, LineNumberRulerView* ruler,
                     QLabel* hintLabel);

    void commitMarkedText();
    void switchDocument(const QString& text, const QList<TextRange>& selectedRanges,
                        TextRange selectedRange);
    void replaceTextFromBinding(const QString& text);
    // Whether the view shows the text (its storage holds it, or an equal one) or a newer one
    // (typed and not yet reported).
    bool showsText(const QString& text) const;
    // The tab's text the view does not show yet is on its way (the storage is behind).
    void markTextSynchronized();
    void attachDocumentStorage();
    // A storage behind the tab's text is brought in line before the view takes an edit.
    void catchUpBeforeEdit();
    void applyWordWrap();
    void applyAppearance();
    // The desktop's palette changed (a light/dark switch): the system theme takes its colours
    // again at once; the fixed themes are unaffected.
    void systemAppearanceChanged();
    void applySelectionFromBindings(const QList<TextRange>& ranges);
    void updateParameterHint();
    void highlightMatchingBrackets();

    // The text view's delegate callbacks.
    void textDidChange();
    void textViewDidChangeSelection();
    QUndoStack* undoManagerForTextView();
    QStringList completions(TextRange partialWordRange);
    void boundsDidChange();
    // What the completion shortcut asks of the text view.
    void startCompletion();

    // Releases the view's document and storage (the view goes away).
    void dismantle();

    // Read by the colouring engine.
    SyntaxHighlighting& highlighting() { return *m_highlighting; }
    TextStorage* storage() const { return m_storage.get(); }
    // True when the registry holds another storage for the document than the one shown: the
    // tab's text was put into a new storage (its file read again into a filled document).
    bool storageWasReplaced() const;
    QTextDocument* document() const { return m_document; }
    qsizetype textLength() const { return m_storage ? m_storage->length() : 0; }
    LineNumberRulerView* ruler() const { return m_ruler; }
    CompletionPopup* completionPopup() const { return m_completionPopup; }
    const CompletionWordGathering& completionWords() const { return m_completionWords; }

private:
    void onChangeCaptured(const TextStorage::Change& change);
    void onEdited(const TextStorage::Change& change);
    void onSelectionRequested(const QList<TextRange>& ranges);
    void onDocumentReplaced(QTextDocument* previous, QTextDocument* current);
    void noteTextChanged();
    // The view leaves its document, or the document its text: the list's word is not there.
    void closeCompletion();
    // Words of a later text came while the list shows: it takes them, keeping its highlight.
    void refreshCompletion();
    // Writes the view's selection ranges (already sanitised) to the bindings.
    void reportSelection(const QList<TextRange>& ranges);

    std::shared_ptr<TextStorage> m_storage;
    QTextDocument* m_document = nullptr;
    QList<QMetaObject::Connection> m_storageConnections;
    QPointer<LineNumberRulerView> m_ruler;
    QPointer<CompletionPopup> m_completionPopup;
    CompletionWordGathering m_completionWords;
    // Completion asked for where nothing could be offered before the text's words come: they
    // open the list if the text and caret are still those it was asked for.
    std::optional<std::pair<quint64, TextRange>> m_completionAwaitingWords;
    bool m_completionsFromCurrentWords = true;
    std::unique_ptr<SyntaxHighlighting> m_highlighting;
    QUndoStack m_ownUndoStack;
    // Where the caret lands after the last typed edit; a caret put elsewhere ends the typing
    // step, so that the next keystroke starts a new undo step.
    std::optional<qsizetype> m_caretAfterTyping;
    // The first line shown at the last scroll, to tell a scroll from any other repaint.
    int m_shownTopBlock = 0;
    // What the caret's lookups last ran on: a key brings a text change and a caret change, and
    // the second would ask the same of the same text again.
    struct LookupInput {
        const TextStorage* storage = nullptr;
        quint64 revision = 0;
        TextRange selectedRange;
        EditorLanguage language{};
        const void* provider = nullptr;
        bool operator==(const LookupInput&) const = default;
    };
    LookupInput lookupInput() const;
    std::optional<LookupInput> m_bracketsFor;
    QList<TextRange> m_brackets;
    std::optional<LookupInput> m_hintFor;
    QString m_hint;
};

} // namespace dunmoss
