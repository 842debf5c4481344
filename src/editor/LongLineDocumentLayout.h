#pragma once

#include "editor/AsideLineRuns.h"
#include "editor/IdleLineLayouts.h"
#include "editor/KeptCharAttributes.h"
#include "editor/LaidOutLines.h"

#include <QPlainTextDocumentLayout>
#include <QTextBlock>
#include <QTimer>
#include <deque>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace dunmoss {

class OverlongWords;

// The plain-text layout with a few changes for very long blocks (lines):
// - A long block keeps its shaped glyphs between layouts. Qt throws a block's shaping away after
//   every layout and every paint, so each paint, each caret position (cursorToX) and each scroll
//   of a long line shaped the whole line again. Kept shaping costs memory (tens of bytes per
//   character), so only the few most recently laid out long blocks keep it.
// - A long block of plain Latin text is laid out without shaping (PlainShaping.h).
// - A long block without a single line-break opportunity (one enormous word) wraps anywhere,
//   which gives the same lines as the word-boundary wrap: that mode first measures the whole
//   word for each line before it falls back to breaking anywhere, which made each layout
//   quadratic in the word's length.
// - A change that replaces a long block's text wholesale (a new text, a new layout, a new font)
//   leaves the block to be laid out when it is first shown instead of at once: the view usually
//   gives it another width or font right after, which would lay it out all over again. Nor is
//   a long block laid out before a view has given the layout its width, nor while the view
//   that will show it is built but not shown yet: it is shown at another width than the one it
//   is built with.
// - A long block keeps the lines it was broken into (LaidOutLines.h) and takes them back when
//   they are cleared with nothing changed: a view taking the document or setting the width it
//   had clears every block's lines. A document filled before any view shows it can have its
//   long blocks broken there, at the width of the view expected to show it.
// - A very long block with no lines that fit (a document shown for the first time, a new width
//   or font) is broken into lines on a pool thread; the view shows it when they come.
// - A view taking a document no view has laid out does not have Qt measure every block for the
//   widest line when it lays out its first lines (holdWidestAwayFromView).
// - A key typed into a long block of plain Latin lays out again only the lines around it, until
//   they meet the lines the block had (moved by the key) or a screen or so past it; the lines
//   further on stand in, moved by it. In a long shaped block all its lines stand in, moved. The
//   whole block is laid out again on a pool thread once the key has been shown, so that doing
//   so does not take the processor from the key and its paint (on a busy machine, one core or
//   two is all there is). Only the lines the key changed are drawn again (linesChanged), and
//   the block's character attributes are mended around the key (KeptCharAttributes.h) instead
//   of worked out for the whole block.
// - While the text wraps, a short block is laid out here too, with Qt's steps but without its
//   search for the widest block, which read every block of the document whenever the one it
//   last found widest was laid out narrower (a line moved, a document swapped in).
class LongLineDocumentLayout : public QPlainTextDocumentLayout {
    Q_OBJECT
public:
    // Blocks at least this long keep their shaping.
    static constexpr int kLongBlockLength = 10'000;
    // Blocks at least this long are laid out on a pool thread when they need new lines.
    static constexpr int kAsideLayoutLength = 256 * 1024;
    // Blocks at least this long are laid out on a pool thread after a keystroke, their lines
    // around it made at once and the others moved by it standing in meanwhile.
    static constexpr int kStandInLength = 32 * 1024;
    // How long after a key typed into a long block its own lines start being made aside.
    static constexpr int kAsideAfterTypingMs = 40;
    // Lines past a key typed into a long block that are made at once, more than a window
    // shows; beyond them its lines moved by the key stand in until its own come.
    static constexpr int kRelaidAroundEdit = 80;
    // Characters of long blocks that may keep their shaping at once.
    static constexpr qsizetype kCachedCharacterBudget = 6'000'000;

    explicit LongLineDocumentLayout(QTextDocument* document);
    ~LongLineDocumentLayout() override;

    // How many blocks keep their shaping now (for tests).
    qsizetype cachedBlockCount() const { return qsizetype(m_cached.size()); }

    QRectF blockBoundingRect(const QTextBlock& block) const override;

    // Set while the view showing the document is not shown yet; long blocks wait until then.
    void setWaitingForView(bool waiting) { m_waitingForView = waiting; }
    bool isWaitingForView() const { return m_waitingForView; }

    // Whether the block is long and its text offers no line-break opportunity inside it.
    static bool breaksNowhere(const QTextBlock& block);

    // Called by a view about to take a document no view has laid out yet, just before it gives the
    // layout its width: moves the block Qt holds as the widest out of the lines a view lays out
    // first, so that showing the text does not measure every block (see the .cpp). Until the
    // width is given, no further block is laid out.
    void holdWidestAwayFromView();
    // Documents of fewer blocks are measured whole in no time.
    static constexpr int kWidestHeldMinimumBlocks = 1000;

    // Takes over the kept lines of the layout this one replaces on the same document.
    void takeKeptLines(LongLineDocumentLayout& previous);
    // Breaks the long blocks into lines as a view of this width (with the document's font and
    // options) would, and keeps the lines; for a document no view shows yet, on any thread.
    // Without a width (0) it only splits them into runs to shape (see itemize).
    void prepareLongBlocks(qreal width);
    // The width the view gave; only known while the text wraps.
    std::optional<qreal> wrapWidth() const;
    // Whether the block has no lines yet because they are being made on a pool thread (asking
    // for them when it has none).
    bool awaitsLinesAside(const QTextBlock& block) const;
    // Whether the block shows lines standing in for its own while those are made aside (for
    // tests).
    bool showsStandInLines(const QTextBlock& block) const { return block == m_staleBlock; }
    // Whether lines are being made on a pool thread now (for tests).
    bool makesLinesAside() const { return m_aside.isRunning(); }
    // The release of the blocks' empty line layouts (for tests).
    const IdleLineLayouts& idleLayouts() const { return m_idleLayouts; }
    // How many blocks keep their lines (for tests).
    qsizetype keptLineBlockCount() const { return qsizetype(m_lines.size()); }

signals:
    // Lines made on a pool thread were taken by their block.
    void linesMadeAside();
    // A key typed into a long block changed only the lines in this band of it (from the
    // block's top); a view repaints that band alone, where the rest of the block shows the same.
    void linesChanged(const QTextBlock& block, qreal top, qreal bottom);

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    void keepShaping(const QTextBlock& block);
    // Lets Qt hear of the change as one reaching past the block, which only clears its lines.
    void clearChanged(const QTextBlock& block, int from, int charsRemoved, int charsAdded);
    // The option a block is laid out with: the document's, or the wrap anywhere of a block that
    // breaks nowhere.
    QTextOption optionFor(const QTextBlock& block) const;
    // breaksNowhere, answered without reading the line again for the block last found so, as
    // long as what was typed into it since made no opportunity (see followNoBreak).
    bool knownToBreakNowhere(const QTextBlock& block) const;
    // Keeps the block found to break nowhere through an edit of a few characters that makes no
    // opportunity around itself; forgets it otherwise.
    void followNoBreak(int from, int removed, int added);
    void keepLines(const QTextBlock& block, qreal width);
    // Gives the block kept lines that fit it; made at whatever width and in whatever colours if
    // `standingIn` (lines to show while the right ones are made aside).
    bool restoreLines(const QTextBlock& block, bool standingIn = false);
    QTextOption optionForLinesMadeWith(const QTextOption& made) const;
    // The words too long for any line in a block laid out at word boundaries or anywhere (see
    // OverlongWords.h), which is then laid out here rather than by Qt; none otherwise.
    std::optional<OverlongWords> overlongWordsIn(const QTextBlock& block) const;
    bool layOutOverlongWords(const QTextBlock& block);
    // Lays a block out as Qt would at the wrap width, without Qt's search for the widest block:
    // laying out the block Qt last found widest, narrower now, reads every block of the
    // document, and only a text that does not wrap can be wider than the width.
    void layOutWrapped(const QTextBlock& block, qreal width);
    void giveLines(const QTextBlock& block, const LaidOutLines& lines);
    // True while the block's lines are being made on a pool thread (started here when needed);
    // false when it is to be laid out here.
    bool layOutAside(const QTextBlock& block, qreal width);
    void receiveAside(const AsideLineRuns::Request& request,
                      const std::shared_ptr<LaidOutAside>& made);
    // The change of the text being reported, as the document told it before its layout.
    struct TextChange {
        int from = 0;
        int removed = 0;
        int added = 0;
    };
    // The lines the block had before a small edit, moved by it; none when it is quick to lay
    // out or has no such lines.
    std::optional<LaidOutLines> linesMovedBy(const QTextBlock& block, const TextChange& change);
    void dropStandIn(const QTextBlock& block);
    // Starts making the lines of the block showing lines moved by typing.
    void layOutTypedAside();
    // The block's kept lines were made from its text as it is: no text changed since.
    void noteTextUnchanged(const QTextBlock& block);
    bool isTextUnchanged(const QTextBlock& block) const;
    // Runs layOut, which may lay the block out, with the wrap mode the block needs.
    template <typename LayOut> void withWrapFor(const QTextBlock& block, LayOut layOut);

    // Whether no view has given its width since holdWidestAwayFromView (which forgets the block
    // it laid out once that width has cleared its lines).
    bool awaitsWidth() const;

    std::deque<QTextBlock> m_cached;                         // most recent last
    std::deque<std::pair<QTextBlock, LaidOutLines>> m_lines; // most recent last
    // Blocks of m_lines whose lines were made from, or checked against, their text as it is
    // now; any change of the text empties it.
    std::vector<QTextBlock> m_textUnchanged;
    // Set while the document's text option is switched for one block's layout: the change it
    // reports is not one of the text.
    bool m_switchingOption = false;
    bool m_waitingForView = false;
    // A view has given the layout its width (seen as a document width once it was shown).
    bool m_widthGiven = false;
    AsideLineRuns m_aside;
    QTimer m_asideAfterTyping;
    IdleLineLayouts m_idleLayouts;
    // The change of the text being reported, as the document told it before its layout.
    std::optional<TextChange> m_textChange;
    // The lines the changed block showed when its change was told, if it is long.
    LaidOutLines m_shownBeforeChange;
    // The character attributes of the long block typed into last.
    KeptCharAttributes m_keptAttributes;
    // Lines moved by typing that stand in for the stale block's own.
    std::optional<LaidOutLines> m_standIn;
    // A long block a few characters were typed into: laid out here when next asked for.
    QTextBlock m_editedBlock;
    // The long block given lines last (laid out, restored or made aside).
    QTextBlock m_laidOutBlock;
    // A block showing lines made at another width while its own are made aside.
    QTextBlock m_staleBlock;
    // The block laid out with no width for Qt to hold as the widest, while it keeps those lines.
    mutable QTextBlock m_widestHeld;
    // The last block found to break nowhere, with its revision and length then: finding that out
    // reads the whole line, too slow to do again at every key typed into a long word.
    mutable QTextBlock m_noBreakBlock;
    mutable int m_noBreakRevision = -1;
    mutable int m_noBreakLength = -1;
};

} // namespace dunmoss
