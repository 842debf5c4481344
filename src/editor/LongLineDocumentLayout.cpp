#include "editor/LongLineDocumentLayout.h"

#include "editor/OverlongWords.h"
#include "editor/PlainShaping.h"
#include "editor/ShapingPieces.h"

#include <QImage>
#include <QPainter>
#include <QTextBoundaryFinder>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>

namespace dunmoss {

namespace {

// QTextLayout frees a block's shaping at the end of a paint when caching is off; a paint that
// reaches none of its lines frees it without drawing anything.
void releaseShaping(QTextLayout* layout) {
    layout->setCacheEnabled(false);
    if (layout->lineCount() == 0)
        return;
    QImage scratch(1, 1, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&scratch);
    const QRectF above(0, -4, 1, 1);
    layout->draw(&painter, QPointF(0, layout->boundingRect().height() + 16), {}, above);
}

// The block's layout formats as PlainShaping and ShapingPieces want them, set without a redraw:
// the block is about to be laid out anyway.
void updateShaping(const QTextBlock& block) {
    QTextLayout* layout = block.layout();
    if (!layout)
        return;
    const QList<QTextLayout::FormatRange> current = layout->formats();
    if (current.isEmpty() && block.length() - 1 < kPlainShapingMinimumLength)
        return;
    const QList<QTextLayout::FormatRange> wanted =
        withShapingPieces(block, withPlainShaping(block, current));
    if (wanted != current)
        layout->setFormats(wanted);
}

// Long blocks whose lines are kept at once; each costs a few bytes per line.
constexpr size_t kKeptLineBlocks = 8;

} // namespace

LongLineDocumentLayout::LongLineDocumentLayout(QTextDocument* document)
    : QPlainTextDocumentLayout(document),
      m_aside(this,
              [this](const AsideLineRuns::Request& request,
                     const std::shared_ptr<LaidOutAside>& made) { receiveAside(request, made); }),
      m_idleLayouts(document, this) {
    // Told just before the layout, which may hear of a wider change (colours moved with it).
    connect(document, &QTextDocument::contentsChange, this,
            [this](int from, int removed, int added) {
                m_textChange = {from, removed, added};
                followNoBreak(from, removed, added);
                // Before anyone hearing of the change lays the block out anew.
                const QTextBlock block = this->document()->findBlock(from);
                m_shownBeforeChange = block.length() - 1 >= kStandInLength
                                          ? LaidOutLines::shownBy(block)
                                          : LaidOutLines();
            });
    // A child, so that it goes wherever the document goes (see disposeDocumentAside).
    m_asideAfterTyping.setParent(this);
    m_asideAfterTyping.setSingleShot(true);
    m_asideAfterTyping.setInterval(kAsideAfterTypingMs);
    connect(&m_asideAfterTyping, &QTimer::timeout, this, &LongLineDocumentLayout::layOutTypedAside);
    // Qt tells a new width, and a change across blocks, with an update of everything; it has
    // made a line layout for every block by then.
    connect(this, &QAbstractTextDocumentLayout::update, &m_idleLayouts,
            [this] { m_idleLayouts.noteLayoutsMade(); });
}

LongLineDocumentLayout::~LongLineDocumentLayout() = default;

bool LongLineDocumentLayout::breaksNowhere(const QTextBlock& block) {
    const int length = block.length() - 1;
    if (length < kLongBlockLength)
        return false;
    // Most long lines offer an opportunity early: one well before the end of a prefix is one of
    // the whole line too (the rules look only a few characters ahead).
    constexpr int kPrefix = 2048;
    constexpr int kLookAhead = 64;
    QString prefix(kPrefix, Qt::Uninitialized);
    const QTextDocument* doc = block.document();
    for (int i = 0; i < kPrefix; ++i)
        prefix[i] = doc->characterAt(block.position() + i);
    QTextBoundaryFinder head(QTextBoundaryFinder::Line, prefix);
    const qsizetype early = head.toNextBoundary();
    if (early > 0 && early < kPrefix - kLookAhead)
        return false;
    const QString text = block.text();
    // Any blank is taken as an opportunity without asking (wrongly so only in rare spots, which
    // keep the usual wrap there).
    if (std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0x20; }))
        return false;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, text);
    const qsizetype next = finder.toNextBoundary();
    return next < 0 || next >= text.size();
}

QTextOption LongLineDocumentLayout::optionFor(const QTextBlock& block) const {
    QTextOption option = document()->defaultTextOption();
    if (option.wrapMode() == QTextOption::WrapAtWordBoundaryOrAnywhere &&
        knownToBreakNowhere(block))
        option.setWrapMode(QTextOption::WrapAnywhere);
    return option;
}

bool LongLineDocumentLayout::knownToBreakNowhere(const QTextBlock& block) const {
    if (block.length() - 1 < kLongBlockLength)
        return false;
    if (block == m_noBreakBlock && block.revision() == m_noBreakRevision &&
        block.length() == m_noBreakLength)
        return true;
    if (!breaksNowhere(block))
        return false;
    m_noBreakBlock = block;
    m_noBreakRevision = block.revision();
    m_noBreakLength = block.length();
    return true;
}

void LongLineDocumentLayout::followNoBreak(int from, int removed, int added) {
    // Characters either side of an edit that the rules may read, and the longest edit looked at
    // alone (a paste is rare enough to read the line again).
    constexpr int kContext = 64;
    constexpr int kLongestEdit = 256;
    const QTextBlock block = std::exchange(m_noBreakBlock, QTextBlock());
    if (!block.isValid() || added > kLongestEdit || removed > kLongestEdit ||
        block.length() != m_noBreakLength + added - removed)
        return; // another block, or lines joined or split
    const int start = from - block.position();
    const int end = start + added;
    const int textLength = block.length() - 1;
    if (start < 0 || end > textLength)
        return;
    // The rest of the line is as it was; an opportunity could only appear around the edit. Both
    // ends of the piece read here count as the ends of a text, where no opportunity is reported.
    // Read character by character: the whole line would be copied at every key.
    const int pieceStart = std::max(0, start - kContext);
    const int pieceEnd = std::min(textLength, end + kContext);
    QString piece(pieceEnd - pieceStart, Qt::Uninitialized);
    const QTextDocument* doc = block.document();
    for (int i = 0; i < piece.size(); ++i)
        piece[i] = doc->characterAt(block.position() + pieceStart + i);
    const auto blank = [](QChar c) { return c.unicode() <= 0x20; };
    if (std::any_of(piece.cbegin() + (start - pieceStart), piece.cbegin() + (end - pieceStart),
                    blank))
        return;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, piece);
    const qsizetype next = finder.toNextBoundary();
    if (next >= 0 && next < piece.size())
        return;
    m_noBreakBlock = block;
    m_noBreakRevision = block.revision();
    m_noBreakLength = block.length();
}

template <typename LayOut>
void LongLineDocumentLayout::withWrapFor(const QTextBlock& block, LayOut layOut) {
    QTextDocument* doc = document();
    const QTextOption option = doc->defaultTextOption();
    const QTextOption wanted = optionFor(block);
    if (wanted.wrapMode() == option.wrapMode()) {
        layOut();
        return;
    }
    m_switchingOption = true;
    doc->setDefaultTextOption(wanted);
    m_switchingOption = false;
    layOut();
    m_switchingOption = true;
    doc->setDefaultTextOption(option);
    m_switchingOption = false;
}

namespace {

// Modes that break a line anywhere rather than let it stand out of the width.
bool wrapsWithinWidth(QTextOption::WrapMode mode) {
    return mode == QTextOption::WrapAtWordBoundaryOrAnywhere || mode == QTextOption::WrapAnywhere;
}

} // namespace

std::optional<qreal> LongLineDocumentLayout::wrapWidth() const {
    if (!wrapsWithinWidth(document()->defaultTextOption().wrapMode()))
        return std::nullopt;
    // No block is then wider than the width the view set, so the frame is as wide as that.
    const qreal width = frameBoundingRect(document()->rootFrame()).width();
    if (width <= 0)
        return std::nullopt;
    return width;
}

void LongLineDocumentLayout::keepLines(const QTextBlock& block, qreal width) {
    m_laidOutBlock = block;
    std::erase_if(m_lines,
                  [&](const auto& kept) { return !kept.first.isValid() || kept.first == block; });
    LaidOutLines lines = LaidOutLines::of(block, width, block.layout()->textOption());
    if (lines.isEmpty())
        return;
    m_lines.emplace_back(block, std::move(lines));
    while (m_lines.size() > kKeptLineBlocks)
        m_lines.pop_front();
    noteTextUnchanged(block);
    // The first key typed into it mends them rather than has them worked out anew.
    if (block.length() - 1 >= kStandInLength)
        m_keptAttributes.keepFrom(block);
}

void LongLineDocumentLayout::noteTextUnchanged(const QTextBlock& block) {
    if (!isTextUnchanged(block))
        m_textUnchanged.push_back(block);
}

bool LongLineDocumentLayout::isTextUnchanged(const QTextBlock& block) const {
    return std::find(m_textUnchanged.begin(), m_textUnchanged.end(), block) !=
           m_textUnchanged.end();
}

QTextOption LongLineDocumentLayout::optionForLinesMadeWith(const QTextOption& made) const {
    // Lines made with the wrap anywhere of a block that breaks nowhere fit the same text again.
    QTextOption option = document()->defaultTextOption();
    if (option.wrapMode() == QTextOption::WrapAtWordBoundaryOrAnywhere &&
        made.wrapMode() == QTextOption::WrapAnywhere)
        option.setWrapMode(QTextOption::WrapAnywhere);
    return option;
}

void LongLineDocumentLayout::giveLines(const QTextBlock& block, const LaidOutLines& lines) {
    m_laidOutBlock = block;
    QTextDocument* doc = document();
    const int lineCountBefore = doc->lineCount();
    lines.restoreInto(block);
    QTextBlock given = block;
    given.setLineCount(given.isVisible() ? given.layout()->lineCount() : 0);
    if (doc->lineCount() != lineCountBefore)
        emit documentSizeChanged(documentSize());
}

bool LongLineDocumentLayout::restoreLines(const QTextBlock& block, bool standingIn) {
    const std::optional<qreal> width = wrapWidth();
    if (!width)
        return false;
    const auto kept = std::find_if(m_lines.begin(), m_lines.end(),
                                   [&](const auto& entry) { return entry.first == block; });
    if (kept == m_lines.end())
        return false;
    const QTextOption option = optionForLinesMadeWith(kept->second.option());
    if (standingIn ? !kept->second.standInFor(block, option)
                   : !kept->second.fit(block, *width, option, isTextUnchanged(block)))
        return false;
    if (!standingIn)
        noteTextUnchanged(block);
    giveLines(block, kept->second);
    m_staleBlock = standingIn ? block : QTextBlock();
    return true;
}

bool LongLineDocumentLayout::layOutAside(const QTextBlock& block, qreal width) {
    if (!LaidOutLines::canKeep())
        return false;
    return m_aside.start(AsideLineRuns::requestFor(block, width, optionFor(block)));
}

void LongLineDocumentLayout::receiveAside(const AsideLineRuns::Request& request,
                                          const std::shared_ptr<LaidOutAside>& made) {
    const QTextBlock block = request.block;
    if (!block.isValid() || !block.layout())
        return;
    const std::optional<qreal> width = wrapWidth();
    const bool stale = block == std::exchange(m_staleBlock, QTextBlock());
    if (width && (block.layout()->lineCount() == 0 || stale)) {
        const QTextOption option = optionForLinesMadeWith(request.option);
        // No edit since the request: the block still holds the text the lines were made from,
        // which then need not be read out of the document and hashed again.
        const bool textUnchanged = request.revision == document()->revision();
        if (made->lines().fit(block, *width, option, textUnchanged)) {
            // Lines shown meanwhile (made at another width, or moved by typing) make way. Where
            // they are these very lines (those made around a key met the ones it moved), the
            // picture stays as it is and is not drawn again.
            const bool alreadyShown = stale && made->lines().areShownBy(block);
            m_standIn.reset();
            block.layout()->clearLayout();
            giveLines(block, made->lines());
            made->giveShapingTo(block);
            m_keptAttributes.keepFrom(block);
            keepShaping(block);
            std::erase_if(m_lines, [&](const auto& kept) {
                return !kept.first.isValid() || kept.first == block;
            });
            m_lines.emplace_back(block, made->lines());
            noteTextUnchanged(block);
            if (!alreadyShown)
                emit update();
            emit linesMadeAside();
            return;
        }
        // Made for what the block still is, yet not taken: laid out here from now on.
        if (AsideLineRuns::requestFor(block, *width, optionFor(block)) == request)
            m_aside.refuse(request);
        // Lines standing in keep standing in while its own are made again (once the keys
        // typed meanwhile have been shown).
        if (stale) {
            m_staleBlock = block;
            if (m_asideAfterTyping.isActive())
                return;
            if (!layOutAside(block, *width))
                dropStandIn(block);
            return;
        }
    }
    // Asked for again by the next paint when it still has no lines.
    emit update();
}

std::optional<LaidOutLines> LongLineDocumentLayout::linesMovedBy(const QTextBlock& block,
                                                                 const TextChange& change) {
    const std::optional<qreal> width = wrapWidth();
    const int length = block.length() - 1;
    if (!width || change.removed + change.added >= kLongBlockLength || length < kStandInLength)
        return std::nullopt;
    const qsizetype before = length - change.added + change.removed;
    const LaidOutLines* lines = nullptr;
    if (block == m_staleBlock && m_standIn && m_standIn->textLength() == before)
        lines = &*m_standIn;
    for (const auto& [kept, keptLines] : m_lines)
        if (!lines && kept == block && keptLines.textLength() == before &&
            keptLines.width() == *width)
            lines = &keptLines;
    if (!lines)
        return std::nullopt;
    const int position = change.from - block.position();
    // Shaped text costs too much to lay out a screen of it again on every key: its lines only
    // move.
    if (!laidOutUnshaped(block))
        return lines->movedBy(position, change.removed, change.added);
    const std::optional<OverlongWords> words = overlongWordsIn(block);
    const QTextOption option = words ? document()->defaultTextOption() : optionFor(block);
    if (std::optional<LaidOutLines> relaid =
            lines->relaidAround(block, *width, option, words ? &*words : nullptr, position,
                                change.removed, change.added, kRelaidAroundEdit, &m_keptAttributes))
        return relaid;
    return lines->movedBy(position, change.removed, change.added);
}

void LongLineDocumentLayout::dropStandIn(const QTextBlock& block) {
    // Laid out here when next asked for.
    m_staleBlock = QTextBlock();
    m_standIn.reset();
    block.layout()->clearLayout();
    QTextBlock cleared = block;
    cleared.setLineCount(cleared.isVisible() ? 1 : 0);
    emit update();
}

void LongLineDocumentLayout::layOutTypedAside() {
    const QTextBlock block = m_staleBlock;
    if (!block.isValid() || !block.layout() || !m_standIn)
        return;
    const std::optional<qreal> width = wrapWidth();
    if (!width || !layOutAside(block, *width))
        dropStandIn(block);
}

bool LongLineDocumentLayout::awaitsLinesAside(const QTextBlock& block) const {
    if (!block.isValid() || block.length() - 1 < kAsideLayoutLength)
        return false;
    blockBoundingRect(block);
    return block.layout()->lineCount() == 0 && m_aside.isRunning();
}

std::optional<OverlongWords>
LongLineDocumentLayout::overlongWordsIn(const QTextBlock& block) const {
    if (document()->defaultTextOption().wrapMode() != QTextOption::WrapAtWordBoundaryOrAnywhere ||
        !wrapWidth())
        return std::nullopt;
    return OverlongWords::of(block.text(), document()->defaultFont());
}

bool LongLineDocumentLayout::layOutOverlongWords(const QTextBlock& block) {
    const std::optional<OverlongWords> words = overlongWordsIn(block);
    if (!words)
        return false;
    QTextDocument* doc = document();
    const int lineCountBefore = doc->lineCount();
    layOutLikePlainText(block, *wrapWidth(), doc->defaultTextOption(), &*words);
    QTextBlock laidOut = block;
    laidOut.setLineCount(laidOut.isVisible() ? laidOut.layout()->lineCount() : 0);
    if (doc->lineCount() != lineCountBefore)
        emit documentSizeChanged(documentSize());
    return true;
}

void LongLineDocumentLayout::layOutWrapped(const QTextBlock& block, qreal width) {
    QTextDocument* doc = document();
    const int lineCountBefore = doc->lineCount();
    layOutLikePlainText(block, width, doc->defaultTextOption(), nullptr);
    QTextBlock laidOut = block;
    laidOut.setLineCount(laidOut.isVisible() ? laidOut.layout()->lineCount() : 0);
    if (doc->lineCount() != lineCountBefore)
        emit documentSizeChanged(documentSize());
}

void LongLineDocumentLayout::takeKeptLines(LongLineDocumentLayout& previous) {
    m_lines = std::move(previous.m_lines);
    previous.m_lines.clear();
    // The previous layout heard of every change of the text until now.
    m_textUnchanged = std::move(previous.m_textUnchanged);
    previous.m_textUnchanged.clear();
}

void LongLineDocumentLayout::holdWidestAwayFromView() {
    // Qt's plain-text layout holds one block as the widest. When that block is laid out narrower
    // than the widest width known (which setting a width makes that width), it measures every
    // block again. A new layout holds the first block, which a view lays out first, right after
    // it has set its width: a pass over every block in the turn that shows the text. Laid out
    // here, before any width, a block from the middle is held instead, and is measured narrower
    // only once it is scrolled to.
    QTextDocument* doc = document();
    if (documentSize().width() > 0 || doc->blockCount() < kWidestHeldMinimumBlocks)
        return; // laid out before, or quick to measure
    QTextBlock block = doc->findBlockByNumber(doc->blockCount() / 2);
    // A long block would be laid out whole, unwrapped.
    for (int tried = 0; tried < 16 && block.isValid() && block.length() - 1 >= kLongBlockLength;
         ++tried)
        block = block.next();
    if (!block.isValid() || block.length() - 1 >= kLongBlockLength || !block.layout() ||
        block.layout()->lineCount() > 0)
        return;
    QPlainTextDocumentLayout::blockBoundingRect(block);
    if (block.layout()->lineCount() > 0)
        m_widestHeld = block;
}

bool LongLineDocumentLayout::awaitsWidth() const {
    if (!m_widestHeld.isValid())
        return false;
    // Setting a width clears every block's lines.
    if (m_widestHeld.layout() && m_widestHeld.layout()->lineCount() > 0)
        return true;
    m_widestHeld = QTextBlock();
    return false;
}

void LongLineDocumentLayout::prepareLongBlocks(qreal width) {
    // Lines made here, perhaps on another thread, could be neither kept nor freed of that
    // thread's font engines: the view lays the blocks out itself.
    if (!LaidOutLines::canKeep())
        return;
    const bool layOut = width > 0 && wrapsWithinWidth(document()->defaultTextOption().wrapMode());
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block.length() - 1 < kLongBlockLength)
            continue;
        if (!layOut) {
            // Without a width, what the view asks first (where its caret is) at least.
            itemize(block);
            forgetFontEngines(block);
            continue;
        }
        // The block keeps its shaping (see keepShaping) for the view's thread, which finds its
        // own font engines for it.
        layOutLikePlainText(block, width, optionFor(block));
        forgetFontEngines(block);
        keepLines(block, width);
    }
}

QRectF LongLineDocumentLayout::blockBoundingRect(const QTextBlock& block) const {
    // A view taking the document asks where its caret is before it sets its width: laid out
    // now, the block would be laid out again, and could take the place of the widest.
    if (awaitsWidth() && block.isValid() && block.layout() && block.layout()->lineCount() == 0)
        return {};
    // Only a block about to be laid out needs its wrap mode.
    if (!block.isValid() || !block.layout() || block.layout()->lineCount() > 0)
        return QPlainTextDocumentLayout::blockBoundingRect(block);
    if (block.length() - 1 < kLongBlockLength) {
        if (const std::optional<qreal> width = wrapWidth())
            const_cast<LongLineDocumentLayout*>(this)->layOutWrapped(block, *width);
        return QPlainTextDocumentLayout::blockBoundingRect(block);
    }
    // A layout no view has given a width yet (a view taking the document asks where its caret
    // is before it sets its width) would lay a long line out unwrapped only to do it again.
    // Once one has, no width means only that Qt forgot it: lines joined into a single block
    // take their width from that block, whose lines the join has just cleared.
    auto* self = const_cast<LongLineDocumentLayout*>(this);
    const bool hasWidth = documentSize().width() > 0;
    if (hasWidth && !m_waitingForView)
        self->m_widthGiven = true;
    if ((!hasWidth && !m_widthGiven) || m_waitingForView)
        return {};
    if (self->restoreLines(block))
        return QPlainTextDocumentLayout::blockBoundingRect(block);
    if (block == m_editedBlock)
        self->m_editedBlock = QTextBlock();
    else if (block.length() - 1 >= kAsideLayoutLength)
        if (const std::optional<qreal> width = wrapWidth();
            width && self->layOutAside(block, *width)) {
            // Meanwhile the lines it had at another width or in other colours, if its text is
            // the same.
            if (self->restoreLines(block, true))
                return QPlainTextDocumentLayout::blockBoundingRect(block);
            return {};
        }
    QRectF rect;
    if (self->layOutOverlongWords(block))
        rect = QPlainTextDocumentLayout::blockBoundingRect(block);
    else
        self->withWrapFor(block,
                          [&] { rect = QPlainTextDocumentLayout::blockBoundingRect(block); });
    if (const std::optional<qreal> width = wrapWidth())
        self->keepLines(block, *width);
    return rect;
}

void LongLineDocumentLayout::documentChanged(int from, int charsRemoved, int charsAdded) {
    const std::optional<TextChange> change = std::exchange(m_textChange, std::nullopt);
    const int textChangeLength = change ? change->removed + change->added : -1;
    if (m_switchingOption)
        return;
    QTextDocument* doc = document();
    // A change of the text (formats marked dirty come without one). Installing a layout reports
    // the whole document as added, nothing removed; no text change does that, as one would
    // first have had to empty the document.
    if (change && !(from == 0 && charsRemoved == 0 && charsAdded == doc->characterCount())) {
        m_textUnchanged.clear();
        // The blocks may have moved under it; laid out by Qt at once, this is no longer a
        // first showing.
        m_widestHeld = QTextBlock();
    }
    // Only blocks that are there now: a removed block's handle would name another one.
    std::erase_if(m_cached, [](const QTextBlock& block) { return !block.isValid(); });
    const QTextBlock first = doc->findBlock(from);
    const QTextBlock last = doc->findBlock(std::max(0, from + charsAdded - 1));
    // The text of a line that has been shown changed, or a few characters were typed (reported
    // as a wider change when colours moved with them): the line is laid out here when next asked
    // for, never aside, or it would vanish while typing.
    if (textChangeLength >= 0 && first.length() - 1 >= kAsideLayoutLength &&
        (textChangeLength < kLongBlockLength || first == m_laidOutBlock))
        m_editedBlock = first;
    // Only a change of its text leaves a short block with ranges of its shaping (which only long
    // blocks get): a new font, option or layout (every block at once) leaves the short ones be.
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        const int length = block.length();
        if (length >= kLongBlockLength)
            keepShaping(block);
        if (textChangeLength >= 0 ||
            length - 1 >= std::min(kPlainShapingMinimumLength, kShapingPiecesMinimumLength))
            updateShaping(block);
        if (block == last)
            break;
    }
    // A few characters typed into a line slow to lay out: its lines moved by the edit stand in
    // at once while its own are made aside.
    if (change && first == doc->findBlock(change->from))
        if (std::optional<LaidOutLines> moved = linesMovedBy(first, *change)) {
            // What the view shows of the block, before the moved lines replace it: only the
            // lines that differ from it need drawing again.
            const std::optional<std::pair<qreal, qreal>> band = moved->bandChangedFrom(
                std::exchange(m_shownBeforeChange, {}), change->from - first.position(),
                change->removed, change->added);
            if (!band)
                clearChanged(first, from, charsRemoved, charsAdded);
            giveLines(first, *moved);
            m_keptAttributes.giveTo(first, change->from - first.position(), change->removed,
                                    change->added);
            m_standIn = std::move(moved);
            m_staleBlock = first;
            m_editedBlock = QTextBlock();
            m_asideAfterTyping.start();
            if (band)
                emit linesChanged(first, band->first, band->second);
            return;
        }
    if (change)
        m_keptAttributes.forget();
    const bool oneBlock =
        first.isValid() &&
        first == doc->findBlock(std::max(0, from + charsRemoved + charsAdded - 1));
    // New colours for a block whose lines stand in: they keep standing in, and its own are made
    // aside in the new colours.
    if (!change && first == last && first == m_staleBlock && m_standIn &&
        m_standIn->textLength() == first.length() - 1) {
        clearChanged(first, from, charsRemoved, charsAdded);
        giveLines(first, *m_standIn);
        m_keptAttributes.giveTo(first, 0, 0, 0);
        m_asideAfterTyping.start();
        return;
    }
    if (oneBlock && first.length() > kLongBlockLength &&
        charsRemoved + charsAdded >= kLongBlockLength) {
        clearChanged(first, from, charsRemoved, charsAdded);
        return;
    }
    if (oneBlock && first.length() > kLongBlockLength && overlongWordsIn(first)) {
        // Qt would lay it out at once, slowly: cleared, it is laid out here when asked for.
        clearChanged(first, from, charsRemoved, charsAdded);
        return;
    }
    if (oneBlock && first.length() > kLongBlockLength) {
        withWrapFor(first, [&] {
            QPlainTextDocumentLayout::documentChanged(from, charsRemoved, charsAdded);
        });
        if (const std::optional<qreal> width = wrapWidth(); width && first.layout()->lineCount())
            keepLines(first, *width);
        return;
    }
    QPlainTextDocumentLayout::documentChanged(from, charsRemoved, charsAdded);
}

void LongLineDocumentLayout::clearChanged(const QTextBlock& block, int from, int charsRemoved,
                                          int charsAdded) {
    // Reported as reaching into the next block (or past the end), a change only clears the
    // layouts, as Qt does for a change of several blocks.
    const QTextBlock next = block.next();
    const int end = next.isValid() ? next.position() : document()->characterCount();
    QPlainTextDocumentLayout::documentChanged(from, charsRemoved, end + 1 - from - charsRemoved);
}

void LongLineDocumentLayout::keepShaping(const QTextBlock& block) {
    const auto known = std::find(m_cached.begin(), m_cached.end(), block);
    if (known != m_cached.end())
        m_cached.erase(known);
    block.layout()->setCacheEnabled(true);
    m_cached.push_back(block);
    qsizetype total = 0;
    for (const QTextBlock& kept : m_cached)
        total += kept.length();
    while (m_cached.size() > 1 && total > kCachedCharacterBudget) {
        const QTextBlock oldest = m_cached.front();
        m_cached.pop_front();
        total -= oldest.length();
        if (oldest.isValid())
            releaseShaping(oldest.layout());
    }
}

} // namespace dunmoss
