#include "editor/CodeEditorView.h"

#include "editor/CodeEditorCoordinator.h"
#include "editor/EditorServices.h"
#include "editor/LineNumberRulerView.h"
#include "editor/ShortcutTextView.h"
#include "editor/TextStorageRegistry.h"
#include "text/SelectionRanges.h"

#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

namespace dunmoss {

CodeEditorView::CodeEditorView(const CodeEditorProps& props, QWidget* parent, QSize size)
    : QWidget(parent), m_coordinator(std::make_unique<CodeEditorCoordinator>(props)) {
    resize(size);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    m_textView = new ShortcutTextView(this);
    // The text view fills the view.
    m_textView->resize(size);
    m_textView->setFrameShape(QFrame::NoFrame);
    m_textView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_textView->setEditable(props.isEditable);
    layout->addWidget(m_textView);

    CodeEditorCoordinator* coordinator = m_coordinator.get();
    // The closures read the coordinator at the time of the key, so a later update's showFind is
    // the one used.
    m_textView->onFindShortcut = [coordinator] {
        if (coordinator->showFind)
            coordinator->showFind();
    };
    m_textView->pasteAside = [coordinator](TextRange replaced, const QString& pasted) {
        return coordinator->pasteAside && coordinator->pasteAside(replaced, pasted);
    };
    QPointer<ShortcutTextView> weakText = m_textView;
    m_textView->onCompletionShortcut = [coordinator, weakText] {
        if (weakText)
            coordinator->startCompletion();
    };

    m_hintLabel = new QLabel(this);
    m_hintLabel->hide();
    QFont hintFont = font();
    hintFont.setPixelSize(11);
    m_hintLabel->setFont(hintFont);
    m_hintLabel->setTextFormat(Qt::PlainText);
    m_hintLabel->setWordWrap(false);

    m_ruler = new LineNumberRulerView(m_textView, props.theme, props.fontSize,
                                      props.bookmarkedLines, m_textView);
    coordinator->documentUndoManager = props.documentUndoManager;
    coordinator->connectView(this, m_textView, m_ruler, m_hintLabel);
    m_textView->setUndoStack(coordinator->undoManagerForTextView());
    m_textView->setLeftMarginWidget(m_ruler, m_ruler->requiredThickness());
    // Font, tab stops and wrapping before the text: each change of them lays the whole text
    // out again, which on a long line costs as much as the first layout.
    coordinator->applyWordWrap();
    coordinator->applyAppearance();

    const QString bound = props.text.value();
    if (coordinator->storage() && coordinator->storage()->text() != bound &&
        !coordinator->storage()->isBehind()) {
        coordinator->replaceTextFromBinding(bound);
    } else {
        coordinator->lastReportedRanges = m_textView->selectedRanges();
    }
    coordinator->highlighting().applyHighlighting();
    // The bound selection arrives with the first update, which follows at once.
    update(props);
}

CodeEditorView::~CodeEditorView() {
    m_coordinator->dismantle();
}

void CodeEditorView::update(const CodeEditorProps& props) {
    CodeEditorCoordinator& c = *m_coordinator;
    const bool documentChanged = c.documentID != props.documentID;
    if (documentChanged)
        c.commitMarkedText(); // into the tab being left, whose bindings are still held

    c.textBinding = props.text;
    c.selectedRangeBinding = props.selectedRange;
    c.selectedRangesBinding = props.selectedRanges;
    c.documentID = props.documentID;
    const bool appearanceChanged = c.language != props.language || c.fontSize != props.fontSize ||
                                   c.tabWidth != props.tabWidth || c.theme != props.theme ||
                                   c.wordWrap != props.wordWrap;
    c.language = props.language;
    c.fileURL = props.fileURL;
    c.documentUndoManager = props.documentUndoManager;
    c.fontSize = props.fontSize;
    c.tabWidth = props.tabWidth;
    c.theme = props.theme;
    c.wordWrap = props.wordWrap;
    c.showInvisibles = props.showInvisibles;
    c.isEditable = props.isEditable;
    c.bookmarkedLines = props.bookmarkedLines;
    c.showFind = props.showFind;
    c.pasteAside = props.pasteAside;
    if (!c.textView)
        return;
    m_textView->setUndoStack(c.undoManagerForTextView());

    bool textReplaced = false;
    const QString bound = props.text.value();
    // A new storage for the same document is taken like another document.
    const bool storageReplaced = !documentChanged && c.storageWasReplaced();
    if (documentChanged || storageReplaced) {
        c.switchDocument(bound, props.selectedRanges.value(), props.selectedRange.value());
    } else if (!c.showsText(bound)) {
        // A storage behind the tab waits for its filled document rather than take the text here.
        if (c.storage() && !c.storage()->isBehind()) {
            c.replaceTextFromBinding(bound);
            textReplaced = true;
        } else {
            c.markTextSynchronized();
        }
    }

    c.applyWordWrap();
    c.applyAppearance();
    m_textView->setEditable(c.isEditable);
    if (textReplaced || appearanceChanged || documentChanged || storageReplaced)
        c.highlighting().applyHighlighting();

    m_ruler->setTheme(c.theme);
    m_ruler->setFontSize(c.fontSize);
    m_ruler->setBookmarkedLines(c.bookmarkedLines);

    // A view waiting for its text takes the tab's selection with it.
    if (!c.storage() || !c.storage()->isBehind()) {
        applySelection(props, textReplaced || storageReplaced, documentChanged);
        // The tab's caret in view, as the person left it there: measured in the font and
        // wrapping just applied, and once shown when the view is not (a restored tab).
        if (documentChanged || storageReplaced)
            m_textView->scrollRangeToVisible(m_textView->selectedRange());
    }
    // A key changes nothing the window's layout asks of the view: laying the window out again
    // for it would cost every key.
    if (textReplaced || appearanceChanged || documentChanged || storageReplaced)
        updateGeometry();
}

void CodeEditorView::applySelection(const CodeEditorProps& props, bool textReplaced,
                                    bool documentChanged) {
    CodeEditorCoordinator& c = *m_coordinator;
    const qsizetype length = c.textLength();
    const QList<TextRange> ranges = sanitizedSelectedRanges(props.selectedRanges.value(), length);
    const bool marked = m_textView->hasMarkedText();
    if (!marked && !ranges.isEmpty()) {
        if ((textReplaced || documentChanged || ranges != c.lastReportedRanges) &&
            m_textView->selectedRanges() != ranges) {
            c.applySelectionFromBindings(ranges);
            m_textView->scrollRangeToVisible(ranges.first());
        }
    } else if (!marked) {
        const TextRange range = props.selectedRange.value();
        const bool valid = !sanitizedSelectedRanges({range}, length).isEmpty();
        const bool echo =
            !textReplaced && !documentChanged && QList<TextRange>{range} == c.lastReportedRanges;
        if (valid && !echo && m_textView->selectedRange() != range) {
            c.applySelectionFromBindings({range});
            m_textView->scrollRangeToVisible(range);
        }
    }
}

void CodeEditorView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutHintLabel();
}

void CodeEditorView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // A light/dark switch of the desktop arrives as a new application palette (inherited by
    // this widget, whose palette is never set) and as a theme change. The text view's own
    // palette is set explicitly, so it has to be given the new colours.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ThemeChange)
        m_coordinator->systemAppearanceChanged();
}

void CodeEditorView::layoutHintLabel() {
    if (!m_hintLabel)
        return;
    const int maxWidth = std::max(0, width() - 14 - 72);
    // Long signatures lose their middle rather than their ends.
    const QString full = m_hintLabel->property(kFullTextProperty).toString();
    m_hintLabel->setText(full);
    QSize hint = m_hintLabel->sizeHint();
    if (hint.width() > maxWidth) {
        const QFontMetrics metrics(m_hintLabel->font());
        const int chrome = hint.width() - metrics.horizontalAdvance(full);
        m_hintLabel->setText(metrics.elidedText(full, Qt::ElideMiddle, maxWidth - chrome));
        hint = m_hintLabel->sizeHint();
    }
    m_hintLabel->setGeometry(72, height() - 10 - hint.height(), std::min(hint.width(), maxWidth),
                             hint.height());
    m_hintLabel->raise();
}

} // namespace dunmoss
