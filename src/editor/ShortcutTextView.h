#pragma once

#include "editor/AccentCaret.h"
#include "platform/TextRange.h"

#include <QColor>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextBlock>
#include <QTextCursor>
#include <functional>
#include <optional>
#include <utility>

#include <QUndoStack>

namespace dunmoss {

// The editor's text view: a plain-text edit with the find and completion shortcuts of its own,
// indent guides and invisible-character marks drawn over the text, undo and redo routed to the
// tab's undo stack, and a list of selection ranges of which the first is the cursor's.
//
// Shortcuts: Ctrl+F shows the find bar and Ctrl+Space asks for completion, each with Ctrl alone
// (no Shift, Alt or Meta). An input method (fcitx, ibus) often takes Ctrl+Space for itself before
// any application sees it; completion then stays reachable with Escape or Alt+Escape, unless an
// input method is composing text.
class ShortcutTextView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit ShortcutTextView(QWidget* parent = nullptr);
    ~ShortcutTextView() override;

    std::function<void()> onFindShortcut;
    std::function<void()> onCompletionShortcut;
    int tabWidth = 4;
    QColor indentGuideColor;
    QColor invisibleCharacterColor;
    bool showsInvisibleCharacters = false;
    // The caret, drawn in the theme's accent colour.
    AccentCaret& caret() { return *m_caret; }

    // Exactly Ctrl (no Shift, Alt, Meta, keypad or Caps Lock) with the F key.
    static bool isFindShortcut(const QKeyEvent* event);
    // Exactly Ctrl with the space bar.
    static bool isCompletionShortcut(const QKeyEvent* event);
    // Escape or Alt+Escape: the alternative completion keys.
    static bool isAlternativeCompletionKey(const QKeyEvent* event);

    // The authoritative text of the shown document (true characters), for the overlays.
    std::function<const QString*()> textSource;
    // Undo and redo of the view (keys and context menu) act on this stack.
    void setUndoStack(QUndoStack* stack) { m_undoStack = stack; }
    QUndoStack* undoStack() const { return m_undoStack; }

    // A view that may not be edited can still be selected and copied from.
    void setEditable(bool editable);
    // A view waiting for its text (its storage is behind the tab) takes no edit meanwhile;
    // a key press, a cut or a paste first calls beforeEdit, which may bring it in line.
    void setWaitingForText(bool waiting);
    std::function<void()> beforeEdit;
    // While a command about to change the text or the selection runs, keys, clicks and pastes
    // are handed to holdInput, which replays them after it, instead of acting now; drops are
    // refused meanwhile.
    void setInputHeld(bool held) { m_inputHeld = held; }
    std::function<void(std::function<void()>)> holdInput;
    // Offered a paste of plain text over the selection, with the characters the document would
    // take from it (see pastedCharacters): true when the text was handed on, to be filled aside
    // (written into the document here, tens of thousands of lines would hold the window for as
    // long as Qt takes to make a block of each), and the view writes nothing.
    std::function<bool(TextRange, const QString&)> pasteAside;
    // The text a paste of `plain` adds: Qt breaks the line at a CR LF, a lone CR, a U+2029 and
    // the frame markers alike, which all read back as a line feed.
    static QString pastedCharacters(const QString& plain);
    // The text a copy of `selected` (as the document holds it) offers: each line and paragraph
    // separator and frame marker a line feed, a no-break space a space, as Qt's plain text of a
    // selection has them.
    static QString copiedCharacters(QString selected);

    // Where the edit being made right now comes from: a cut, a paste or a drop is an undo step
    // of its own, anything else is typing.
    enum class EditSource { Typing, Cut, Paste, Drop };
    EditSource currentEditSource() const { return m_editSource; }

public slots:
    // Cuts as one undo step of its own (also what the Edit menu calls by name).
    void cut();
    // Copies what the tab holds, also from a view still waiting for its text.
    void copy();

public:
    // Input-method composition not yet committed (it is not part of the document).
    bool hasMarkedText() const;
    QString markedText() const;
    // Turns a pending composition into ordinary text.
    void commitMarkedText();

    // All selection ranges: the cursor's first, then those kept from the last call of
    // setSelectedRanges until the user changes the selection.
    QList<TextRange> selectedRanges() const;
    TextRange selectedRange() const;
    void setSelectedRanges(const QList<TextRange>& ranges);
    void clearSecondarySelections();
    void setBracketMarks(const QList<TextRange>& ranges, const QColor& color);
    // Brings the range into view; one longer than the view shows its start. A view not shown
    // does so once it is, at the size it is shown at.
    void scrollRangeToVisible(TextRange range);

    // Reserves room left of the text for a widget (the ruler) and keeps it there.
    void setLeftMarginWidget(QWidget* widget, int width);

    // Geometry helpers for the ruler and the overlays, in viewport coordinates.
    QTextBlock firstVisibleTextBlock() const { return firstVisibleBlock(); }
    // One block's rectangle: Qt finds it by walking down from the top block, so a walk over
    // the visible blocks uses forEachVisibleBlock instead.
    QRectF blockRect(const QTextBlock& block) const;
    // Calls visit(block, rect) for the blocks from the top one down while their tops are in the
    // view and visit returns true. Each rectangle follows from the one above it, as the view
    // paints them.
    template <typename Visit> void forEachVisibleBlock(Visit visit) const {
        QPointF offset = contentOffset();
        const qreal bottom = viewport()->height();
        for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
            const QRectF rect = blockBoundingRect(block).translated(offset);
            if (rect.top() > bottom || !visit(block, rect))
                return;
            offset.ry() += rect.height();
        }
    }
    qreal spaceWidth() const;

    // Shows the document. A view not shown yet will be shown at another width than it has now:
    // the document's long lines wait for that instead of being laid out twice.
    void takeDocument(QTextDocument* document);
    // Qt's, noting the width the document is laid out at anew.
    void setLineWrapMode(LineWrapMode mode);

signals:
    void geometryChanged();
    // The view became visible, with the size it is shown at.
    void shown();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // A copy, a cut, a drag and the selection clipboard offer the selected text as plain text
    // only (see copiedCharacters).
    QMimeData* createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    // Repaints the band of a block (from the block's top) that a key changed alone.
    void repaintBlockBand(const QTextBlock& block, qreal top, qreal bottom);
    void undo();
    void redo();
    void applyEditability();
    void catchUpBeforeEdit();
    void catchUpBeforeClick();
    // A paste of plain text offered to pasteAside; true when taken.
    bool pasteLargeTextAside(const QString& plain);
    // Hands a copy of the event to holdInput, to be given to `handler` later; false when nothing
    // holds the input.
    template <typename Event, typename Handler> bool deferWhileHeld(Event* event, Handler handler);
    void refreshExtraSelections();
    // The first and last position of the lines on screen.
    std::pair<qsizetype, qsizetype> visibleTextSpan() const;
    // Shows the further selections that scrolling brought on screen.
    void followScrolling();
    // Qt's caret is zero wide but still inverts one column of pixels at a fractional x; it no
    // longer blinks away, so it is inverted back after Qt's paint.
    void eraseQtCaret(QPainter& painter, const QRect& dirty);

    // Qt has just laid the whole document out at the viewport's width.
    void noteLaidOut();
    // Keeps the shaped glyphs of the caret's line: a key asks where the caret is several times
    // (the caret, the input method, the paint), and Qt shapes the line again for each ask once
    // it has laid the line out or drawn it.
    void keepCaretLineShaped();
    void placeLeftMarginWidget();
    void scrollPositionToVisible(qsizetype position);

    QPointer<QUndoStack> m_undoStack;
    QPointer<QWidget> m_leftMarginWidget;
    int m_leftMarginWidth = 0;
    // At most this many further selections are drawn at once (a long line may hold more).
    static constexpr int kShownSecondaryLimit = 5000;
    // The further selections as set (without repeats), and the same sorted by start.
    QList<TextRange> m_secondaryRanges;
    // What selectedRanges() last made, while the further selections stay as they were: tens of
    // thousands of ranges are asked for after every change of the window, not only of them.
    mutable QList<TextRange> m_allRanges;
    // A scroll asked for while the view is not shown, its document's long lines wait for it to
    // be, or their lines are made on a pool thread.
    std::optional<TextRange> m_scrollWhenShown;
    QMetaObject::Connection m_linesMadeAside;
    QMetaObject::Connection m_linesChanged;
    // The layout the view last laid its document out with, and the width it did so at: each
    // time a view is shown Qt lays the whole text out again, even at the same width.
    QPointer<QAbstractTextDocumentLayout> m_laidOutLayout;
    int m_laidOutWidth = -1;
    // Set from taking a document until a paint finds the caret's line laid out.
    bool m_caretAwaitsLines = false;
    QList<TextRange> m_secondaryByLocation;
    qsizetype m_longestSecondary = 0;
    // The span of text whose further selections are drawn.
    std::optional<std::pair<qsizetype, qsizetype>> m_shownSecondarySpan;
    QList<TextRange> m_bracketRanges;
    QColor m_bracketColor;
    bool m_editable = true;
    bool m_waiting = false;
    bool m_inputHeld = false;
    EditSource m_editSource = EditSource::Typing;
    AccentCaret* m_caret = nullptr;
    // At the line whose glyphs are kept; a cursor follows the line through edits.
    QTextCursor m_shapedLine;
};

} // namespace dunmoss
