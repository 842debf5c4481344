#include "editor/ShortcutTextView.h"

#include "editor/LongLineDocumentLayout.h"
#include "editor/TextOverlays.h"
#include "text/SelectionRanges.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QInputMethod>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QUndoStack>
#include <algorithm>
#include <memory>
#include <type_traits>

namespace dunmoss {

namespace {

// Clipboard, selection or drag data that may be handed to Qt: it has at least one format.
bool holdsInsertableData(const QMimeData* source) {
    return source && !source->formats().isEmpty();
}

// X11 and xkb report Caps Lock as this bit of the native modifier state.
constexpr quint32 kCapsLockNativeMask = 0x2;

constexpr Qt::KeyboardModifiers kShortcutModifiers = Qt::ShiftModifier | Qt::ControlModifier |
                                                     Qt::AltModifier | Qt::MetaModifier |
                                                     Qt::KeypadModifier | Qt::GroupSwitchModifier;

bool isExactlyCtrl(const QKeyEvent* event) {
    return (event->modifiers() & kShortcutModifiers) == Qt::ControlModifier &&
           !(event->nativeModifiers() & kCapsLockNativeMask);
}

} // namespace

ShortcutTextView::ShortcutTextView(QWidget* parent) : QPlainTextEdit(parent) {
    indentGuideColor = palette().color(QPalette::Mid);
    invisibleCharacterColor = palette().color(QPalette::PlaceholderText);
    // Before the caret's own slot, which asks where the caret is.
    connect(this, &QPlainTextEdit::cursorPositionChanged, this,
            &ShortcutTextView::keepCaretLineShaped);
    m_caret = new AccentCaret(*this);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
            &ShortcutTextView::followScrolling);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this,
            &ShortcutTextView::followScrolling);
}

// The caret goes first: a focused view losing its focus as the widget part is destroyed would
// otherwise hand the caret a focus-out for a view already half gone.
ShortcutTextView::~ShortcutTextView() {
    delete m_caret;
    m_caret = nullptr;
}

bool ShortcutTextView::isFindShortcut(const QKeyEvent* event) {
    return isExactlyCtrl(event) && event->key() == Qt::Key_F;
}

bool ShortcutTextView::isCompletionShortcut(const QKeyEvent* event) {
    return isExactlyCtrl(event) && event->key() == Qt::Key_Space;
}

bool ShortcutTextView::isAlternativeCompletionKey(const QKeyEvent* event) {
    const auto modifiers = event->modifiers() & kShortcutModifiers;
    return event->key() == Qt::Key_Escape &&
           (modifiers == Qt::NoModifier || modifiers == Qt::AltModifier);
}

bool ShortcutTextView::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        // Keep these keys from window shortcuts so that keyPressEvent sees them.
        auto* key = static_cast<QKeyEvent*>(event);
        if (isFindShortcut(key) || isCompletionShortcut(key) ||
            (isAlternativeCompletionKey(key) && !hasMarkedText())) {
            event->accept();
            return true;
        }
    }
    if (event->type() == QEvent::Show) {
        const bool handled = QPlainTextEdit::event(event);
        // Shown, the view has the width its long lines are laid out at.
        const std::optional<TextRange> scroll = std::exchange(m_scrollWhenShown, {});
        auto* layout = qobject_cast<LongLineDocumentLayout*>(document()->documentLayout());
        if (layout && layout->isWaitingForView())
            layout->setWaitingForView(false);
        if (scroll)
            scrollRangeToVisible(*scroll);
        emit shown();
        return handled;
    }
    return QPlainTextEdit::event(event);
}

template <typename Event, typename Handler>
bool ShortcutTextView::deferWhileHeld(Event* event, Handler handler) {
    if (!m_inputHeld || !holdInput)
        return false;
    const std::shared_ptr<Event> copy(static_cast<Event*>(event->clone()));
    // A click is aimed at the text then shown: the command it waits for may scroll the view
    // (Replace All puts the caret at the start), and the click must still land where the person
    // pointed.
    const QPoint scrolled(horizontalScrollBar()->value(), verticalScrollBar()->value());
    holdInput([view = QPointer<ShortcutTextView>(this), copy, handler, scrolled] {
        if (!view)
            return;
        if constexpr (std::is_base_of_v<QMouseEvent, Event>) {
            view->horizontalScrollBar()->setValue(scrolled.x());
            view->verticalScrollBar()->setValue(scrolled.y());
        }
        (view->*handler)(copy.get());
    });
    event->accept();
    return true;
}

void ShortcutTextView::keyPressEvent(QKeyEvent* event) {
    if (isFindShortcut(event)) {
        if (onFindShortcut)
            onFindShortcut();
        event->accept();
        return;
    }
    if (deferWhileHeld(event, &ShortcutTextView::keyPressEvent))
        return;
    if (isCompletionShortcut(event) || (isAlternativeCompletionKey(event) && !hasMarkedText())) {
        if (onCompletionShortcut)
            onCompletionShortcut();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
        // Undo goes through the tab's history, which a view waiting for its text follows.
        if (m_editable) {
            if (event->matches(QKeySequence::Undo))
                undo();
            else
                redo();
        }
        event->accept();
        return;
    }
    catchUpBeforeEdit();
    if (event->matches(QKeySequence::Cut)) {
        cut();
        event->accept();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & Qt::ShiftModifier)) {
        // A plain-text line break: Shift+Return would insert a U+2028 line separator.
        QKeyEvent plain(event->type(), event->key(), event->modifiers() & ~Qt::ShiftModifier,
                        QStringLiteral("\r"), event->isAutoRepeat(), ushort(event->count()));
        QPlainTextEdit::keyPressEvent(&plain);
        event->setAccepted(plain.isAccepted());
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void ShortcutTextView::focusInEvent(QFocusEvent* event) {
    AccentCaret::withoutQtBlink([&] { QPlainTextEdit::focusInEvent(event); });
}

void ShortcutTextView::mousePressEvent(QMouseEvent* event) {
    if (deferWhileHeld(event, &ShortcutTextView::mousePressEvent))
        return;
    // A click places the caret in the text the tab holds, which the view may not show yet: once
    // shown, that text would otherwise bring the tab's selection back over the click.
    catchUpBeforeClick();
    QPlainTextEdit::mousePressEvent(event);
}

void ShortcutTextView::mouseReleaseEvent(QMouseEvent* event) {
    if (!deferWhileHeld(event, &ShortcutTextView::mouseReleaseEvent))
        QPlainTextEdit::mouseReleaseEvent(event);
}

void ShortcutTextView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (deferWhileHeld(event, &ShortcutTextView::mouseDoubleClickEvent))
        return;
    catchUpBeforeClick();
    QPlainTextEdit::mouseDoubleClickEvent(event);
}

void ShortcutTextView::mouseMoveEvent(QMouseEvent* event) {
    // Only a drag selects; hovering changes nothing.
    if (event->buttons() == Qt::NoButton ||
        !deferWhileHeld(event, &ShortcutTextView::mouseMoveEvent))
        QPlainTextEdit::mouseMoveEvent(event);
}

void ShortcutTextView::inputMethodEvent(QInputMethodEvent* event) {
    if (!deferWhileHeld(event, &ShortcutTextView::inputMethodEvent))
        QPlainTextEdit::inputMethodEvent(event);
}

void ShortcutTextView::cut() {
    if (m_inputHeld && holdInput) {
        holdInput([view = QPointer<ShortcutTextView>(this)] {
            if (view)
                view->cut();
        });
        return;
    }
    catchUpBeforeEdit();
    m_editSource = EditSource::Cut;
    QPlainTextEdit::cut();
    m_editSource = EditSource::Typing;
}

void ShortcutTextView::copy() {
    catchUpBeforeEdit();
    QPlainTextEdit::copy();
}

QMimeData* ShortcutTextView::createMimeDataFromSelection() const {
    // Qt's own copy would also offer the selection as HTML and as an OpenDocument, which it
    // builds on this thread the first time anyone asks what the clipboard holds: half a
    // second for a few megabytes, at the next paste here or in another program.
    auto* data = new QMimeData;
    data->setText(copiedCharacters(textCursor().selectedText()));
    return data;
}

QString ShortcutTextView::copiedCharacters(QString selected) {
    const auto converted = [](char16_t c) {
        return c == 0xFDD0 || c == 0xFDD1 || c == QChar::ParagraphSeparator ||
               c == QChar::LineSeparator || c == QChar::Nbsp;
    };
    const auto first = std::find_if(selected.cbegin(), selected.cend(),
                                    [&](QChar c) { return converted(c.unicode()); });
    if (first == selected.cend())
        return selected;
    for (auto it = selected.begin() + (first - selected.cbegin()); it != selected.end(); ++it)
        if (converted(it->unicode()))
            *it = it->unicode() == QChar::Nbsp ? QChar(u' ') : QChar(u'\n');
    return selected;
}

bool ShortcutTextView::canInsertFromMimeData(const QMimeData* source) const {
    return holdsInsertableData(source) && QPlainTextEdit::canInsertFromMimeData(source);
}

void ShortcutTextView::insertFromMimeData(const QMimeData* source) {
    // The installed Qt crashes on data without a single format, which is what an empty clipboard
    // or selection gives under X11. Paste, Ctrl+V, a middle click and a drop all come here.
    if (!holdsInsertableData(source))
        return;
    if (m_inputHeld && holdInput) {
        // The clipboard may change before the paste is replayed: it pastes what it held now.
        auto copy = std::make_shared<QMimeData>();
        for (const QString& format : source->formats())
            copy->setData(format, source->data(format));
        holdInput([view = QPointer<ShortcutTextView>(this), copy] {
            if (view)
                view->insertFromMimeData(copy.get());
        });
        return;
    }
    catchUpBeforeEdit();
    // A drop inserts through here too, inside its own bracket.
    const EditSource outer = m_editSource;
    if (outer == EditSource::Typing)
        m_editSource = EditSource::Paste;
    // Qt takes Markdown first in line as Markdown; anything else as its plain text, read here
    // once (each read of another program's clipboard is a transfer of all of it).
    if (outer == EditSource::Typing && !isReadOnly() &&
        source->formats().constFirst() != QLatin1String("text/markdown")) {
        const QString plain = source->text();
        if (!pasteLargeTextAside(plain)) {
            QMimeData read;
            read.setText(plain);
            QPlainTextEdit::insertFromMimeData(&read);
        }
    } else {
        QPlainTextEdit::insertFromMimeData(source);
    }
    m_editSource = outer;
}

bool ShortcutTextView::pasteLargeTextAside(const QString& plain) {
    // A composition goes in with a paste Qt writes.
    if (!pasteAside || plain.isEmpty() || hasMarkedText())
        return false;
    const QTextCursor cursor = textCursor();
    const TextRange replaced{cursor.selectionStart(),
                             cursor.selectionEnd() - cursor.selectionStart()};
    return pasteAside(replaced, pastedCharacters(plain));
}

QString ShortcutTextView::pastedCharacters(const QString& plain) {
    const auto breaks = [](QChar c) {
        return c == u'\r' || c == QChar::ParagraphSeparator || c.unicode() == 0xFDD0 ||
               c.unicode() == 0xFDD1;
    };
    // Each looked for on its own, as a whole text is searched for one character at a time.
    if (!plain.contains(u'\r') && !plain.contains(QChar::ParagraphSeparator) &&
        !plain.contains(QChar(0xFDD0)) && !plain.contains(QChar(0xFDD1)))
        return plain;
    QString text;
    text.reserve(plain.size());
    for (qsizetype i = 0; i < plain.size(); ++i) {
        const QChar c = plain.at(i);
        if (c == u'\r' && i + 1 < plain.size() && plain.at(i + 1) == u'\n')
            continue; // the line feed after it breaks the line once
        text += breaks(c) ? QChar(u'\n') : c;
    }
    return text;
}

void ShortcutTextView::dropEvent(QDropEvent* event) {
    if (m_inputHeld) {
        // Refused, so a text dragged from here stays where it was.
        event->ignore();
        return;
    }
    // A move within the view removes and inserts in one edit, reported when the drop ends.
    m_editSource = EditSource::Drop;
    QPlainTextEdit::dropEvent(event);
    m_editSource = EditSource::Typing;
}

void ShortcutTextView::undo() {
    if (m_undoStack)
        m_undoStack->undo();
}

void ShortcutTextView::redo() {
    if (m_undoStack)
        m_undoStack->redo();
}

void ShortcutTextView::contextMenuEvent(QContextMenuEvent* event) {
    std::unique_ptr<QMenu> menu(createStandardContextMenu(event->pos()));
    for (QAction* action : menu->actions()) {
        if (action->objectName() == QLatin1String("edit-cut")) {
            action->disconnect();
            connect(action, &QAction::triggered, this, &ShortcutTextView::cut);
            continue;
        }
        const bool isUndo = action->objectName() == QLatin1String("edit-undo");
        const bool isRedo = action->objectName() == QLatin1String("edit-redo");
        if (!isUndo && !isRedo)
            continue;
        action->disconnect();
        if (isUndo) {
            action->setEnabled(!isReadOnly() && m_undoStack && m_undoStack->canUndo());
            connect(action, &QAction::triggered, this, &ShortcutTextView::undo);
        } else {
            action->setEnabled(!isReadOnly() && m_undoStack && m_undoStack->canRedo());
            connect(action, &QAction::triggered, this, &ShortcutTextView::redo);
        }
    }
    menu->exec(event->globalPos());
}

void ShortcutTextView::paintEvent(QPaintEvent* event) {
    if (m_caret->paintBlinkOnly(event->region()))
        return;
    QPlainTextEdit::paintEvent(event);
    if (m_caretAwaitsLines && textCursor().block().layout()->lineCount() > 0)
        m_caretAwaitsLines = false;
    QPainter painter(viewport());
    eraseQtCaret(painter, event->rect());
    drawIndentGuides(*this, painter, event->rect());
    drawInvisibleCharacters(*this, painter, event->rect());
    m_caret->paint(painter);
}

void ShortcutTextView::eraseQtCaret(QPainter& painter, const QRect& dirty) {
    // The same conditions as Qt's own paint, which drew its caret where these hold.
    const int position = getPaintContext().cursorPosition;
    if (position < 0 || (isReadOnly() && !(textInteractionFlags() & Qt::TextSelectableByKeyboard)))
        return;
    const QTextBlock block = document()->findBlock(position);
    if (!block.isValid() || !block.isVisible() || !block.layout())
        return;
    const QRectF rect = blockRect(block);
    if (rect.bottom() < dirty.top() || rect.top() > dirty.bottom() ||
        rect.top() > viewport()->height())
        return;
    if (overwriteMode() && position != block.position() + block.length() - 1)
        return; // drawn as an inverted character instead
    // Qt inverts the pixels under its caret; inverting them again gives the text back.
    block.layout()->drawCursor(&painter, rect.topLeft(), position - block.position(),
                               cursorWidth());
}

void ShortcutTextView::resizeEvent(QResizeEvent* event) {
    // The size a view is shown at comes as a change from no size at all, which lays every line
    // out again; a document already laid out at this width by this view keeps its lines.
    const int width = viewport()->width();
    const bool laidOutAlready = !event->oldSize().isValid() && width == m_laidOutWidth &&
                                m_laidOutLayout && m_laidOutLayout == document()->documentLayout();
    if (laidOutAlready) {
        QResizeEvent same(event->size(), QSize(event->size().width(), -1));
        QPlainTextEdit::resizeEvent(&same);
    } else {
        QPlainTextEdit::resizeEvent(event);
        if (event->oldSize().width() != event->size().width())
            noteLaidOut();
    }
    followScrolling();
    placeLeftMarginWidget();
    emit geometryChanged();
}

void ShortcutTextView::setLeftMarginWidget(QWidget* widget, int width) {
    m_leftMarginWidget = widget;
    m_leftMarginWidth = width;
    setViewportMargins(width, 0, 0, 0);
    placeLeftMarginWidget();
}

void ShortcutTextView::placeLeftMarginWidget() {
    if (!m_leftMarginWidget)
        return;
    const QRect area = contentsRect();
    m_leftMarginWidget->setGeometry(area.left(), area.top(), m_leftMarginWidth, area.height());
}

void ShortcutTextView::setEditable(bool editable) {
    m_editable = editable;
    applyEditability();
}

void ShortcutTextView::setWaitingForText(bool waiting) {
    m_waiting = waiting;
    applyEditability();
}

void ShortcutTextView::catchUpBeforeEdit() {
    if (m_waiting && beforeEdit)
        beforeEdit();
}

void ShortcutTextView::catchUpBeforeClick() {
    if (!m_waiting || !beforeEdit)
        return;
    // The click was aimed at the text on screen; the text caught up with may scroll elsewhere (to
    // the start, where Replace All leaves the caret).
    const QPoint scrolled(horizontalScrollBar()->value(), verticalScrollBar()->value());
    beforeEdit();
    horizontalScrollBar()->setValue(scrolled.x());
    verticalScrollBar()->setValue(scrolled.y());
}

void ShortcutTextView::applyEditability() {
    const bool editable = m_editable && !m_waiting;
    AccentCaret::withoutQtBlink([&] {
        setReadOnly(!editable);
        setTextInteractionFlags(editable
                                    ? Qt::TextEditorInteraction
                                    : Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    });
}

bool ShortcutTextView::hasMarkedText() const {
    return !markedText().isEmpty();
}

QString ShortcutTextView::markedText() const {
    const QTextBlock block = textCursor().block();
    if (!block.isValid() || !block.layout())
        return {};
    return block.layout()->preeditAreaText();
}

void ShortcutTextView::commitMarkedText() {
    const QString composed = markedText();
    if (composed.isEmpty())
        return;
    QInputMethodEvent commit;
    commit.setCommitString(composed);
    QCoreApplication::sendEvent(this, &commit);
    if (QInputMethod* method = QGuiApplication::inputMethod())
        method->reset();
}

TextRange ShortcutTextView::selectedRange() const {
    const QTextCursor cursor = textCursor();
    return TextRange{cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart()};
}

QList<TextRange> ShortcutTextView::selectedRanges() const {
    const TextRange primary = selectedRange();
    if (!m_allRanges.isEmpty() && m_allRanges.first() == primary)
        return m_allRanges;
    QList<TextRange> ranges;
    ranges.reserve(m_secondaryRanges.size() + 1);
    ranges.append(primary);
    // The further ranges hold no repeats of one another; only the cursor's may be among them.
    for (const TextRange& range : m_secondaryRanges)
        if (range != primary)
            ranges.append(range);
    m_allRanges = ranges;
    return ranges;
}

void ShortcutTextView::setSelectedRanges(const QList<TextRange>& ranges) {
    const TextRange first = ranges.value(0, TextRange{0, 0});
    const qsizetype limit = std::max(document()->characterCount() - 1, 0);
    QTextCursor cursor(document());
    cursor.setPosition(int(std::min(first.location, limit)));
    cursor.setPosition(int(std::min(first.end(), limit)), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    m_allRanges.clear();
    m_secondaryRanges =
        ranges.size() > 1
            ? withoutRepeatedRanges({ranges.constData() + 1, size_t(ranges.size() - 1)})
            : QList<TextRange>{};
    m_secondaryByLocation = m_secondaryRanges;
    const auto byLocation = [](const TextRange& a, const TextRange& b) {
        return a.location < b.location;
    };
    if (!std::is_sorted(m_secondaryByLocation.cbegin(), m_secondaryByLocation.cend(), byLocation))
        std::sort(m_secondaryByLocation.begin(), m_secondaryByLocation.end(), byLocation);
    m_longestSecondary = 0;
    for (const TextRange& range : m_secondaryRanges)
        m_longestSecondary = std::max(m_longestSecondary, range.length);
    refreshExtraSelections();
}

void ShortcutTextView::clearSecondarySelections() {
    if (m_secondaryRanges.isEmpty())
        return;
    m_secondaryRanges.clear();
    m_allRanges.clear();
    m_secondaryByLocation.clear();
    m_longestSecondary = 0;
    refreshExtraSelections();
}

void ShortcutTextView::setBracketMarks(const QList<TextRange>& ranges, const QColor& color) {
    if (ranges == m_bracketRanges && color == m_bracketColor)
        return;
    m_bracketRanges = ranges;
    m_bracketColor = color;
    refreshExtraSelections();
}

std::pair<qsizetype, qsizetype> ShortcutTextView::visibleTextSpan() const {
    const QRect area = viewport()->rect();
    QTextCursor top = cursorForPosition(area.topLeft());
    top.movePosition(QTextCursor::StartOfLine);
    QTextCursor bottom = cursorForPosition(area.bottomRight());
    bottom.movePosition(QTextCursor::EndOfLine);
    return {top.position(), bottom.position()};
}

void ShortcutTextView::refreshExtraSelections() {
    // Marks and further selections are per view and never touch the document's formats, so they
    // neither mark it modified nor enter any undo history. Each is a live cursor that the
    // document moves on every change, so only the further selections on screen are handed to
    // it (the others are kept as plain ranges and shown when scrolled to).
    QList<QTextEdit::ExtraSelection> selections;
    const qsizetype limit = std::max(document()->characterCount() - 1, 0);
    const auto add = [&](const TextRange& range, const QColor& background) {
        if (range.location < 0 || range.end() > limit)
            return;
        QTextEdit::ExtraSelection selection;
        selection.cursor = QTextCursor(document());
        selection.cursor.setPosition(int(range.location));
        selection.cursor.setPosition(int(range.end()), QTextCursor::KeepAnchor);
        selection.format.setBackground(background);
        selections.append(selection);
    };
    m_shownSecondarySpan.reset();
    if (!m_secondaryByLocation.isEmpty()) {
        const std::pair<qsizetype, qsizetype> span = visibleTextSpan();
        m_shownSecondarySpan = span;
        // Sorted by start: the first range that may reach the span starts at most the longest
        // range's length before it.
        auto it = std::lower_bound(
            m_secondaryByLocation.cbegin(), m_secondaryByLocation.cend(),
            span.first - m_longestSecondary,
            [](const TextRange& r, qsizetype location) { return r.location < location; });
        const QColor selectionColor = palette().color(QPalette::Highlight);
        int shown = 0;
        for (; it != m_secondaryByLocation.cend() && it->location <= span.second &&
               shown < kShownSecondaryLimit;
             ++it) {
            if (it->end() < span.first)
                continue;
            add(*it, selectionColor);
            ++shown;
        }
    }
    for (const TextRange& range : m_bracketRanges)
        add(range, m_bracketColor);
    setExtraSelections(selections);
}

void ShortcutTextView::followScrolling() {
    if (m_secondaryByLocation.isEmpty())
        return;
    if (m_shownSecondarySpan == visibleTextSpan())
        return;
    refreshExtraSelections();
}

void ShortcutTextView::takeDocument(QTextDocument* document) {
    m_scrollWhenShown.reset();
    disconnect(m_linesMadeAside);
    disconnect(m_linesChanged);
    if (auto* layout = qobject_cast<LongLineDocumentLayout*>(document->documentLayout())) {
        layout->setWaitingForView(!isVisible());
        layout->holdWidestAwayFromView();
        // A scroll asked for before a long line had its lines is made once they come.
        m_linesMadeAside = connect(layout, &LongLineDocumentLayout::linesMadeAside, this, [this] {
            if (const std::optional<TextRange> scroll = std::exchange(m_scrollWhenShown, {}))
                scrollRangeToVisible(*scroll);
            else if (std::exchange(m_caretAwaitsLines, false))
                ensureCursorVisible();
        });
        m_linesChanged = connect(layout, &LongLineDocumentLayout::linesChanged, this,
                                 &ShortcutTextView::repaintBlockBand);
    }
    setDocument(document);
    noteLaidOut();
    // Until a paint finds the caret's line laid out: a line whose lines are made aside shows its
    // caret once they come, as it would have at once.
    m_caretAwaitsLines = true;
}

void ShortcutTextView::repaintBlockBand(const QTextBlock& block, qreal top, qreal bottom) {
    const qreal blockTop = blockBoundingGeometry(block).translated(contentOffset()).top();
    const QRect band = QRectF(0, blockTop + top, viewport()->width(), bottom - top)
                           .toAlignedRect()
                           .intersected(viewport()->rect());
    if (band.isEmpty())
        return;
    viewport()->update(band);
    // As Qt tells of its own repaints, so that the ruler beside follows.
    emit updateRequest(band, 0);
}

void ShortcutTextView::setLineWrapMode(LineWrapMode mode) {
    if (lineWrapMode() == mode)
        return;
    QPlainTextEdit::setLineWrapMode(mode);
    noteLaidOut();
}

void ShortcutTextView::noteLaidOut() {
    m_laidOutLayout = document()->documentLayout();
    m_laidOutWidth = viewport()->width();
}

void ShortcutTextView::scrollRangeToVisible(TextRange range) {
    // A view not on screen has not the size it will be shown at.
    const auto* layout = qobject_cast<LongLineDocumentLayout*>(document()->documentLayout());
    if (!isVisible() ||
        (layout && (layout->isWaitingForView() ||
                    layout->awaitsLinesAside(document()->findBlock(int(range.end())))))) {
        m_scrollWhenShown = range;
        return;
    }
    // The end first, then the start: a range longer than the view shows where it begins.
    scrollPositionToVisible(range.end());
    scrollPositionToVisible(range.location);
}

void ShortcutTextView::scrollPositionToVisible(qsizetype position) {
    const qsizetype limit = std::max(document()->characterCount() - 1, 0);
    QTextCursor cursor(document());
    cursor.setPosition(int(std::clamp<qsizetype>(position, 0, limit)));
    const QRect view = viewport()->rect();
    const QRect caret = cursorRect(cursor);
    if (caret.top() < view.top() || caret.bottom() > view.bottom()) {
        // The vertical scroll bar counts layout lines, wrapped ones included.
        const QTextBlock block = cursor.block();
        int line = block.firstLineNumber();
        if (const QTextLayout* layout = block.layout()) {
            const QTextLine textLine = layout->lineForTextPosition(cursor.positionInBlock());
            if (textLine.isValid())
                line += textLine.lineNumber();
        }
        const int fitting = std::max(1, view.height() / std::max(1, caret.height()));
        verticalScrollBar()->setValue(caret.top() < view.top() ? line : line - fitting + 1);
    }
    const QRect placed = cursorRect(cursor);
    QScrollBar* bar = horizontalScrollBar();
    const int margin = int(spaceWidth());
    if (placed.left() < view.left())
        bar->setValue(bar->value() + placed.left() - view.left() - margin);
    else if (placed.right() > view.right())
        bar->setValue(bar->value() + placed.right() - view.right() + margin);
}

void ShortcutTextView::keepCaretLineShaped() {
    const QTextBlock block = textCursor().block();
    if (!m_shapedLine.isNull()) {
        // Freed by Qt at its next layout or paint. A kept line joined to the one above it left
        // its cursor in the joined line, whose layout is the other's.
        const QTextBlock kept = m_shapedLine.block();
        if (kept != block && kept.isValid() && kept.layout())
            kept.layout()->setCacheEnabled(false);
        m_shapedLine = QTextCursor();
    }
    // A long line is laid out in parts of its own, and its glyphs would take too much memory.
    if (!block.isValid() || block.length() > LongLineDocumentLayout::kLongBlockLength ||
        !block.layout())
        return;
    block.layout()->setCacheEnabled(true);
    m_shapedLine = QTextCursor(block);
}

QRectF ShortcutTextView::blockRect(const QTextBlock& block) const {
    return blockBoundingGeometry(block).translated(contentOffset());
}

qreal ShortcutTextView::spaceWidth() const {
    return QFontMetricsF(font()).horizontalAdvance(QLatin1Char(' '));
}

} // namespace dunmoss
