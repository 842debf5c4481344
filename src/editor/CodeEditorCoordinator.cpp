#include "editor/CodeEditorCoordinator.h"

#include "editor/CodeEditorView.h"
#include "editor/CompletionPopup.h"
#include "editor/EditorColors.h"
#include "editor/EditorFont.h"
#include "editor/EditorLook.h"
#include "editor/EditorServices.h"
#include "editor/LineNumberRulerView.h"
#include "editor/ShortcutTextView.h"
#include "editor/TextStorageRegistry.h"
#include "editor/TypingUndoCommand.h"
#include "platform/Localization.h"
#include "text/BracketMatching.h"
#include "text/CodeCompletion.h"
#include "text/CompletionWords.h"
#include "text/SelectionRanges.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScrollBar>
#include <QTextDocument>
#include <QTimer>
#include <cmath>

namespace dunmoss {

namespace {

// Texts at least this long are coloured only around what is visible, so scrolling colours again.
constexpr qsizetype kScrollColouringThreshold = 64'001;

// How far either side of the caret the words of the line being edited are read.
constexpr qsizetype kEditedLineReach = 2'048;

// The line around the caret, at most kEditedLineReach either side of it.
TextRange editedLine(const QString& text, qsizetype caret) {
    caret = std::clamp<qsizetype>(caret, 0, text.size());
    qsizetype start = caret;
    while (start > 0 && caret - start < kEditedLineReach && text.at(start - 1) != u'\n')
        --start;
    qsizetype end = caret;
    while (end < text.size() && end - caret < kEditedLineReach && text.at(end) != u'\n')
        ++end;
    return TextRange{start, end - start};
}

const char* undoNameKey(ShortcutTextView::EditSource source) {
    switch (source) {
    case ShortcutTextView::EditSource::Cut:
        return lkey("editor.undo.cut");
    case ShortcutTextView::EditSource::Paste:
        return lkey("editor.undo.paste");
    case ShortcutTextView::EditSource::Drop:
        return lkey("editor.undo.drop");
    case ShortcutTextView::EditSource::Typing:
        break;
    }
    return lkey("editor.undo.typing");
}

} // namespace

CodeEditorCoordinator::CodeEditorCoordinator(const CodeEditorProps& props)
    : documentID(props.documentID), textBinding(props.text),
      selectedRangeBinding(props.selectedRange), selectedRangesBinding(props.selectedRanges),
      textStorageRegistry(props.textStorageRegistry), fileURL(props.fileURL),
      language(props.language), fontSize(props.fontSize), tabWidth(props.tabWidth),
      theme(props.theme), wordWrap(props.wordWrap), showInvisibles(props.showInvisibles),
      isEditable(props.isEditable), bookmarkedLines(props.bookmarkedLines),
      showFind(props.showFind), pasteAside(props.pasteAside) {
    m_highlighting = makeSyntaxHighlighting(*this);
}

CodeEditorCoordinator::~CodeEditorCoordinator() {
    dismantle();
}

void CodeEditorCoordinator::connectView(CodeEditorView* view, ShortcutTextView* text,
                                        LineNumberRulerView* ruler, QLabel* hintLabel) {
    scrollView = view;
    textView = text;
    m_ruler = ruler;
    parameterHintLabel = hintLabel;
    m_completionPopup = new CompletionPopup(text);
    const auto source = [this]() -> const QString* {
        return m_storage ? &m_storage->text() : nullptr;
    };
    text->textSource = source;
    ruler->countsSource = [this]() -> const TextCounts* {
        return m_storage ? &m_storage->counts() : nullptr;
    };
    text->beforeEdit = [this] { catchUpBeforeEdit(); };
    text->holdInput = [this](std::function<void()> input) {
        if (m_storage)
            m_storage->deferInput(std::move(input));
        else
            input();
    };
    // The font and wrapping before the document: a document filled for them is taken as it is,
    // and another takes them in one pass over its blocks rather than in one now and another
    // when the appearance is applied.
    text->setFont(editorFont(fontSize));
    applyWordWrap();
    attachDocumentStorage();
    connect(text, &QPlainTextEdit::cursorPositionChanged, this,
            &CodeEditorCoordinator::textViewDidChangeSelection);
    connect(text, &QPlainTextEdit::selectionChanged, this,
            &CodeEditorCoordinator::textViewDidChangeSelection);
    connect(text->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &CodeEditorCoordinator::boundsDidChange);
    connect(text->horizontalScrollBar(), &QScrollBar::valueChanged, this,
            &CodeEditorCoordinator::boundsDidChange);
    connect(text, &ShortcutTextView::geometryChanged, this,
            &CodeEditorCoordinator::boundsDidChange);
    connect(text, &ShortcutTextView::shown, this, [this] { m_highlighting->viewShown(); });
    connect(&m_completionWords, &CompletionWordGathering::gathered, this,
            &CodeEditorCoordinator::refreshCompletion);
    // The ruler repaints the band of the text that is repainted: its numbers change only where
    // lines moved, and the text's own repaint covers those.
    connect(text, &QPlainTextEdit::updateRequest, ruler, [ruler](const QRect& rect, int dy) {
        if (dy != 0 || rect.height() >= ruler->height())
            ruler->update();
        else
            ruler->updateBand(QRect(0, rect.y(), ruler->width(), rect.height()));
    });
    // Keyboard scrolling (Page Down, Ctrl+End, the caret leaving the view) moves the view
    // without a signal of its scroll bar; every scroll reaches the view as an update request.
    connect(text, &QPlainTextEdit::updateRequest, this, [this](const QRect&, int dy) {
        if (!textView)
            return;
        const int top = textView->firstVisibleTextBlock().blockNumber();
        if (dy == 0 && top == m_shownTopBlock)
            return;
        m_shownTopBlock = top;
        boundsDidChange();
    });
}

void CodeEditorCoordinator::attachDocumentStorage() {
    if (!textView || !textStorageRegistry)
        return;
    std::shared_ptr<TextStorage> storage = textStorageRegistry->textStorage(documentID);
    if (storage == m_storage)
        return;
    closeCompletion();
    isUpdatingFromModel = true;
    for (const auto& connection : m_storageConnections)
        disconnect(connection);
    m_storageConnections.clear();
    // Marks and further selections belong to the document being left.
    bracketHighlightRanges.clear();
    m_bracketsFor.reset();
    m_hintFor.reset();
    textView->setBracketMarks({}, QColor());
    textView->clearSecondarySelections();
    QTextDocument* document = storage->acquireDocument(textView);
    // Set again, the same font would have every block's lines thrown away once more.
    if (document->defaultFont() != textView->font())
        document->setDefaultFont(textView->font());
    if (m_ruler && !textView->isVisible()) {
        // The ruler's width for the new text's line count first: taking the text lays every line
        // out at the width left beside the ruler, which it then keeps when the view is shown.
        // (A view on screen would lay out the text it leaves again for that width.)
        const auto counts =
            std::exchange(m_ruler->countsSource, [&storage] { return &storage->counts(); });
        m_ruler->updateThickness();
        m_ruler->countsSource = counts;
    }
    textView->takeDocument(document);
    // Only now that the view shows the new document may the old one be given back. A storage
    // this view held last (its text read again into a new one) goes on a timer, not in the round
    // of events that shows the new text (a call queued now would run in it); its documents are
    // taken apart on a pool thread (see ~TextStorage).
    std::shared_ptr<TextStorage> previous = std::exchange(m_storage, std::move(storage));
    if (previous && m_document)
        previous->releaseDocument(m_document);
    if (previous && previous.use_count() == 1)
        QTimer::singleShot(1, this, [previous] {});
    m_document = document;
    m_storageConnections = {
        connect(m_storage.get(), &TextStorage::changeCaptured, this,
                &CodeEditorCoordinator::onChangeCaptured),
        connect(m_storage.get(), &TextStorage::edited, this, &CodeEditorCoordinator::onEdited),
        connect(m_storage.get(), &TextStorage::selectionRequested, this,
                &CodeEditorCoordinator::onSelectionRequested),
        connect(m_storage.get(), &TextStorage::documentReplaced, this,
                &CodeEditorCoordinator::onDocumentReplaced),
        connect(m_storage.get(), &TextStorage::behindChanged, this,
                [this](bool behind) {
                    if (textView)
                        textView->setWaitingForText(behind);
                }),
        connect(m_storage.get(), &TextStorage::inputHeldChanged, this,
                [this](bool held) {
                    if (textView)
                        textView->setInputHeld(held);
                }),
    };
    textView->setWaitingForText(m_storage->isBehind());
    textView->setInputHeld(m_storage->isInputHeld());
    m_caretAfterTyping.reset();
    isUpdatingFromModel = false;
}

void CodeEditorCoordinator::onDocumentReplaced(QTextDocument* previous, QTextDocument* current) {
    if (!textView || m_document != previous)
        return;
    m_highlighting->cancelPendingHighlighting();
    closeCompletion();
    isUpdatingFromModel = true;
    bracketHighlightRanges.clear();
    textView->setBracketMarks({}, QColor());
    textView->clearSecondarySelections();
    if (current->defaultFont() != textView->font())
        current->setDefaultFont(textView->font());
    // The ruler's width for the new line count first when the text grows (a paste): a width
    // changed after would lay every line of the new text out once more, before only those of
    // the text being left.
    if (m_ruler && previous->blockCount() < current->blockCount())
        m_ruler->updateThickness();
    textView->takeDocument(current);
    m_document = current;
    isUpdatingFromModel = false;
    m_caretAfterTyping.reset();
    noteTextChanged();
    m_highlighting->applyHighlighting();
}

void CodeEditorCoordinator::catchUpBeforeEdit() {
    if (!textView || !m_storage || !m_storage->isBehind())
        return;
    // The edit applies to the tab's text and selection, written here at once.
    const QString text = textBinding.value();
    isUpdatingFromModel = true;
    m_storage->catchUp(text);
    isUpdatingFromModel = false;
    m_caretAfterTyping.reset();
    noteTextChanged();
    QList<TextRange> ranges = selectedRangesBinding.value();
    if (ranges.isEmpty())
        ranges = {selectedRangeBinding.value()};
    applySelectionFromBindings(ranges);
    m_highlighting->scheduleHighlighting();
}

bool CodeEditorCoordinator::storageWasReplaced() const {
    if (!textStorageRegistry || !m_storage)
        return false;
    const auto& storages = textStorageRegistry->storages();
    const auto found = storages.constFind(documentID);
    return found != storages.constEnd() && *found != m_storage;
}

void CodeEditorCoordinator::commitMarkedText() {
    if (!textView || !textView->hasMarkedText())
        return;
    // Inserted as typing, which reports it to the bindings still held (the previous tab's).
    textView->commitMarkedText();
    const QString& text = m_storage ? m_storage->text() : QString();
    textBinding.write(text);
    reportSelection(sanitizedSelectedRanges(textView->selectedRanges(), text.size()));
}

void CodeEditorCoordinator::reportSelection(const QList<TextRange>& ranges) {
    // Recorded before the writes, so that a window answering them with an update at once finds
    // nothing new to apply.
    lastReportedRanges = ranges;
    selectedRangesBinding.write(ranges);
    // Writing the ranges usually set the main one too: a second write would cost the window
    // another round of its listeners on every key.
    const TextRange main = ranges.isEmpty() ? textView->selectedRange() : ranges.first();
    if (!selectedRangeBinding.get || selectedRangeBinding.value() != main)
        selectedRangeBinding.write(main);
}

void CodeEditorCoordinator::switchDocument(const QString& text,
                                           const QList<TextRange>& selectedRanges,
                                           TextRange selectedRange) {
    m_highlighting->cancelPendingHighlighting();
    attachDocumentStorage();
    if (!textView || !m_storage)
        return;
    if (m_storage->text() != text && !m_storage->isBehind()) {
        replaceTextFromBinding(text);
    } else {
        noteTextChanged();
    }
    const QList<TextRange> ranges = sanitizedSelectedRanges(selectedRanges, text.size());
    if (!ranges.isEmpty())
        applySelectionFromBindings(ranges);
    else if (!sanitizedSelectedRanges({selectedRange}, text.size()).isEmpty())
        applySelectionFromBindings({selectedRange});
    else
        applySelectionFromBindings({TextRange{0, 0}});
}

void CodeEditorCoordinator::replaceTextFromBinding(const QString& text) {
    if (!textView || !m_storage)
        return;
    closeCompletion();
    isUpdatingFromModel = true;
    // Outside undo; the storage also ends the current typing step.
    m_storage->replaceAll(text);
    isUpdatingFromModel = false;
    lastReportedRanges = textView->selectedRanges();
    m_caretAfterTyping.reset();
    noteTextChanged();
}

bool CodeEditorCoordinator::showsText(const QString& text) const {
    // An edit not yet reported is newer than the tab's text. Otherwise the storage and the tab
    // share one string while they agree, so this is rarely more than comparing two addresses.
    return m_storage && (m_storage->hasUnreportedEdit() || m_storage->text() == text);
}

void CodeEditorCoordinator::markTextSynchronized() {
    noteTextChanged();
}

void CodeEditorCoordinator::noteTextChanged() {
    if (m_ruler)
        m_ruler->noteTextChanged();
}

void CodeEditorCoordinator::applySelectionFromBindings(const QList<TextRange>& ranges) {
    if (!textView)
        return;
    isUpdatingFromModel = true;
    QList<TextRange> kept = sanitizedSelectedRanges(ranges, textLength());
    if (kept.isEmpty())
        kept = {TextRange{0, 0}};
    textView->setSelectedRanges(kept);
    isUpdatingFromModel = false;
    lastReportedRanges = kept;
    // A caret put by the window (find, go to line, a tab switch) gets its bracket marks too.
    highlightMatchingBrackets();
}

void CodeEditorCoordinator::applyWordWrap() {
    if (!textView)
        return;
    const QPlainTextEdit::LineWrapMode mode =
        wordWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap;
    // Applied on every update of the window: unchanged, nothing is repainted.
    if (textView->lineWrapMode() == mode && textView->showsInvisibleCharacters == showInvisibles)
        return;
    textView->setLineWrapMode(mode);
    textView->setHorizontalScrollBarPolicy(wordWrap ? Qt::ScrollBarAlwaysOff
                                                    : Qt::ScrollBarAlwaysOn);
    textView->showsInvisibleCharacters = showInvisibles;
    textView->viewport()->update();
    if (m_ruler)
        m_ruler->update();
}

void CodeEditorCoordinator::applyAppearance() {
    if (!textView)
        return;
    const QFont font = editorFont(fontSize);
    if (textView->font() != font)
        textView->setFont(font);
    if (m_document && m_document->defaultFont() != font)
        m_document->setDefaultFont(font);

    const EditorColors colors = editorColors(theme, QGuiApplication::palette());
    QPalette palette = textView->palette();
    palette.setColor(QPalette::Base, colors.textBackground);
    palette.setColor(QPalette::Text, colors.text);
    if (theme == EditorTheme::System) {
        palette.setColor(QPalette::Highlight,
                         QGuiApplication::palette().color(QPalette::Highlight));
        palette.setColor(QPalette::HighlightedText,
                         QGuiApplication::palette().color(QPalette::HighlightedText));
    } else {
        palette.setColor(QPalette::Highlight, colors.selection());
        palette.setColor(QPalette::HighlightedText, colors.text);
    }
    // Scroll bars follow the theme's appearance.
    const QPalette system = QGuiApplication::palette();
    const bool fixed = theme != EditorTheme::System;
    palette.setColor(QPalette::Window,
                     fixed ? colors.windowBackground : system.color(QPalette::Window));
    palette.setColor(QPalette::Button,
                     fixed ? colors.windowBackground : system.color(QPalette::Button));
    if (palette != textView->palette())
        textView->setPalette(palette);

    if (parameterHintLabel) {
        const auto css = [](const QColor& c) { return c.name(QColor::HexArgb); };
        const QString sheet =
            QStringLiteral("QLabel { color: %1; background-color: %2; border: 1px solid %3;"
                           " border-radius: 6px; padding: 2px 6px; }")
                .arg(css(colors.secondary), css(colors.hintBackground()), css(colors.hintBorder()));
        if (parameterHintLabel->styleSheet() != sheet)
            parameterHintLabel->setStyleSheet(sheet);
    }

    // Applied on every update of the window: only a change of what the view draws itself
    // repaints it (a typed letter repaints its own line).
    const int shownTabWidth = std::max(tabWidth, 1);
    const bool drawnChanged = textView->tabWidth != shownTabWidth ||
                              textView->indentGuideColor != colors.indentGuide() ||
                              textView->invisibleCharacterColor != colors.invisibleCharacter() ||
                              textView->caret().color != colors.accent;
    textView->tabWidth = shownTabWidth;
    // Reckoned as a document filled beforehand for this view was (see EditorLook.h), so that
    // such a document keeps its tab stops.
    textView->setTabStopDistance(tabStopDistance(font, shownTabWidth));
    textView->indentGuideColor = colors.indentGuide();
    textView->invisibleCharacterColor = colors.invisibleCharacter();
    textView->caret().color = colors.accent;
    textView->setBracketMarks(bracketHighlightRanges, colors.bracketMark());
    if (drawnChanged)
        textView->viewport()->update();
}

void CodeEditorCoordinator::systemAppearanceChanged() {
    if (theme != EditorTheme::System || !textView)
        return;
    applyAppearance();
    if (m_ruler)
        m_ruler->update();
    m_highlighting->applyHighlighting();
}

void CodeEditorCoordinator::textDidChange() {
    if (isApplyingHighlighting || isUpdatingFromModel || !textView || !m_storage)
        return;
    noteTextChanged();
    // A window that answers the write with an update at once finds the storage's own string.
    textBinding.write(m_storage->text());
    if (!textView->hasMarkedText()) {
        m_highlighting->scheduleHighlighting();
        updateParameterHint();
    }
    // An edit that leaves the caret where it was (forward delete) brings no selection change,
    // which is what normally refreshes the bracket marks; a moved caret is handled there.
    if (sanitizedSelectedRanges(textView->selectedRanges(), m_storage->length()) ==
        lastReportedRanges)
        highlightMatchingBrackets();
    if (m_completionPopup && m_completionPopup->isVisible())
        startCompletion();
}

void CodeEditorCoordinator::textViewDidChangeSelection() {
    if (isUpdatingFromModel || isApplyingHighlighting || !textView || !m_storage)
        return;
    // The cursor moved because another view of the storage, or an undo step, changed the text;
    // or the view shows a text the tab no longer holds.
    if (m_storage->isApplyingEdit() || m_storage->isBehind())
        return;
    textView->clearSecondarySelections();
    const QList<TextRange> ranges =
        sanitizedSelectedRanges(textView->selectedRanges(), m_storage->length());
    if (ranges == lastReportedRanges)
        return; // the cursor and the selection signal of one change
    if (!m_caretAfterTyping || ranges != QList<TextRange>{TextRange{*m_caretAfterTyping, 0}}) {
        m_storage->breakTypingCoalescing();
        m_caretAfterTyping.reset();
    }
    reportSelection(ranges);
    highlightMatchingBrackets();
    updateParameterHint();
}

QUndoStack* CodeEditorCoordinator::undoManagerForTextView() {
    return documentUndoManager ? documentUndoManager.data() : &m_ownUndoStack;
}

void CodeEditorCoordinator::onChangeCaptured(const TextStorage::Change& change) {
    if (change.origin != m_document || isUpdatingFromModel || isApplyingHighlighting)
        return;
    TypingUndoCommand::Bindings bindings{textBinding, selectedRangeBinding, selectedRangesBinding};
    const ShortcutTextView::EditSource source =
        textView ? textView->currentEditSource() : ShortcutTextView::EditSource::Typing;
    // A cut, a paste or a drop merges with neither the typing before it nor the typing after it.
    const bool ownStep = source != ShortcutTextView::EditSource::Typing;
    if (ownStep)
        m_storage->breakTypingCoalescing();
    undoManagerForTextView()->push(new TypingUndoCommand(m_storage, change, lastReportedRanges,
                                                         std::move(bindings),
                                                         QString::fromLatin1(undoNameKey(source))));
    if (ownStep)
        m_storage->breakTypingCoalescing();
    m_caretAfterTyping = change.position + change.inserted.size();
}

void CodeEditorCoordinator::onEdited(const TextStorage::Change& change) {
    if (change.kind == TextStorage::EditKind::Typing && change.origin == m_document) {
        textDidChange();
        return;
    }
    if (isUpdatingFromModel || isApplyingHighlighting || !textView)
        return;
    // Changed by another view of the same storage, or by an undo step: the view shows the new
    // text already. An undo step reports to the bindings itself; another view's typing reaches
    // this view's bindings through the window.
    // The edit may have moved the caret without a report: record where it is now, so that the
    // next update puts the tab's selection back when the two differ.
    lastReportedRanges = sanitizedSelectedRanges(textView->selectedRanges(), m_storage->length());
    m_caretAfterTyping.reset();
    noteTextChanged();
    if (!textView->hasMarkedText()) {
        m_highlighting->scheduleHighlighting();
        updateParameterHint();
    }
}

void CodeEditorCoordinator::onSelectionRequested(const QList<TextRange>& ranges) {
    if (!textView)
        return;
    applySelectionFromBindings(ranges);
    textView->scrollRangeToVisible(lastReportedRanges.value(0));
}

void CodeEditorCoordinator::highlightMatchingBrackets() {
    if (!textView || !m_storage)
        return;
    const LookupInput input = lookupInput();
    // Over the size limit nothing is scanned; old marks are dropped rather than left on
    // brackets that no longer match the caret.
    if (input != m_bracketsFor) {
        m_brackets = dunmoss::bracketHighlightRanges(m_storage->text(), input.selectedRange);
        m_bracketsFor = input;
    }
    const EditorColors colors = editorColors(theme, QGuiApplication::palette());
    bracketHighlightRanges = m_brackets;
    textView->setBracketMarks(bracketHighlightRanges, colors.bracketMark());
}

CodeEditorCoordinator::LookupInput CodeEditorCoordinator::lookupInput() const {
    return {m_storage.get(), m_storage->revision(), textView->selectedRange(), language,
            &completionProvider()};
}

void CodeEditorCoordinator::updateParameterHint() {
    if (!parameterHintLabel)
        return;
    if (!textView || !m_storage) {
        parameterHintLabel->hide();
        return;
    }
    const LookupInput input = lookupInput();
    if (input != m_hintFor) {
        m_hint =
            completionProvider().parameterHint(m_storage->text(), language, input.selectedRange);
        m_hintFor = input;
    }
    const QString& hint = m_hint;
    // Most keys have no hint and had none: the label is left alone.
    if (hint.isEmpty() && parameterHintLabel->isHidden() && parameterHintLabel->text().isEmpty())
        return;
    parameterHintLabel->setVisible(!hint.isEmpty());
    const QString text = hint.isEmpty()
                             ? QString()
                             : localizedString(QStringLiteral("completion.parameter-hint")) +
                                   QStringLiteral(": ") + hint;
    parameterHintLabel->setProperty(CodeEditorView::kFullTextProperty, text);
    parameterHintLabel->setText(text);
    if (scrollView)
        scrollView->layoutHintLabel();
}

QStringList CodeEditorCoordinator::completions(TextRange partialWordRange) {
    if (!textView || !m_storage)
        return {};
    const QString& text = m_storage->text();
    const QString partial = sanitizedSelectedRanges({partialWordRange}, text.size()).isEmpty()
                                ? QString()
                                : text.mid(partialWordRange.location, partialWordRange.length);
    const TextRange selection = textView->selectedRange();
    const CompletionProvider& provider = completionProvider();
    if (!provider.ranksGatheredWords())
        return provider.wordCompletions(text, language, partial, selection, fileURL);
    const CompletionWordGathering::Words words = m_completionWords.wordsFor(m_storage);
    m_completionsFromCurrentWords = words.isCurrent;
    // Until the words of this text are gathered, those of the line being edited stand in for
    // what changed since the last gathering.
    const QStringList added =
        words.isCurrent ? QStringList()
                        : CompletionWords::inRegion(text, editedLine(text, selection.location));
    return wordCompletions(*words.gathered, added, text, language, partial, selection, fileURL);
}

void CodeEditorCoordinator::startCompletion() {
    if (!textView || !m_storage || !m_completionPopup || textView->isReadOnly())
        return;
    const TextRange range = completionWordRange(m_storage->text(), textView->selectedRange());
    m_completionsFromCurrentWords = true;
    m_completionPopup->show(completions(range), range);
    m_completionAwaitingWords.reset();
    if (!m_completionPopup->isVisible() && !m_completionsFromCurrentWords)
        m_completionAwaitingWords.emplace(m_storage->revision(), textView->selectedRange());
}

void CodeEditorCoordinator::refreshCompletion() {
    if (!textView || !m_storage || !m_completionPopup)
        return;
    const auto awaiting = std::exchange(m_completionAwaitingWords, std::nullopt);
    const bool stillAsked =
        awaiting && textView->hasFocus() &&
        *awaiting == std::pair{m_storage->revision(), textView->selectedRange()};
    if (!m_completionPopup->isVisible() && !stillAsked)
        return;
    const TextRange range = completionWordRange(m_storage->text(), textView->selectedRange());
    m_completionPopup->show(completions(range), range, CompletionPopup::Highlight::Kept);
}

void CodeEditorCoordinator::closeCompletion() {
    m_completionAwaitingWords.reset();
    if (m_completionPopup)
        m_completionPopup->hide();
}

void CodeEditorCoordinator::boundsDidChange() {
    if (m_ruler)
        m_ruler->update();
    if (textLength() >= kScrollColouringThreshold)
        m_highlighting->scheduleHighlighting();
}

void CodeEditorCoordinator::dismantle() {
    if (m_highlighting)
        m_highlighting->cancelPendingHighlighting();
    closeCompletion();
    for (const auto& connection : m_storageConnections)
        disconnect(connection);
    m_storageConnections.clear();
    if (textView) {
        textView->disconnect(this);
        isUpdatingFromModel = true;
        textView->setBracketMarks({}, QColor());
        textView->clearSecondarySelections();
        // The view takes an empty document of its own before this one is given back.
        textView->setDocument(nullptr);
        isUpdatingFromModel = false;
    }
    if (m_storage && m_document)
        m_storage->releaseDocument(m_document);
    m_storage.reset();
    m_document = nullptr;
    textView = nullptr;
    scrollView = nullptr;
    parameterHintLabel = nullptr;
}

} // namespace dunmoss
