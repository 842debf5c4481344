#pragma once

#include <QPlainTextDocumentLayout>
#include <QTextBlock>
#include <deque>

namespace dunmoss {

// The plain-text layout with one change: a very long block keeps its shaped glyphs between
// layouts. Qt throws a block's shaping away after every layout and every paint, so each paint,
// each caret position (cursorToX) and each scroll of a long line shaped the whole line again.
// Kept shaping costs memory (tens of bytes per character), so only the few most recently laid
// out long blocks keep it.
class LongLineDocumentLayout : public QPlainTextDocumentLayout {
    Q_OBJECT
public:
    // Blocks at least this long keep their shaping.
    static constexpr int kLongBlockLength = 10'000;
    // Characters of long blocks that may keep their shaping at once.
    static constexpr qsizetype kCachedCharacterBudget = 6'000'000;

    explicit LongLineDocumentLayout(QTextDocument* document);

    // How many blocks keep their shaping now (for tests).
    qsizetype cachedBlockCount() const { return qsizetype(m_cached.size()); }

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    void keepShaping(const QTextBlock& block);

    std::deque<QTextBlock> m_cached; // most recent last
};

} // namespace dunmoss
