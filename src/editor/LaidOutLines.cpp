#include "editor/LaidOutLines.h"

#include "editor/KeptCharAttributes.h"
#include "editor/LongLineDocumentLayout.h"
#include "editor/OverlongWords.h"
#include "editor/TextEnginePrivate.h"

#include <QFontMetrics>
#include <QHash>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QtMath>
#include <algorithm>
#include <optional>

namespace dunmoss {

namespace {

// The steps of QPlainTextDocumentLayout's own layout of a block, one line at a time, so that the
// lines are the ones it would make; with overlong words the wrap is chosen line by line (the
// layout reads it as each line is laid out).
class PlainLineMaker {
public:
    PlainLineMaker(const QTextBlock& block, qreal width, const QTextOption& option,
                   const OverlongWords* words)
        : m_layout(block.layout()), m_option(option), m_anywhere(option), m_words(words),
          m_margin(block.document()->documentMargin()) {
        m_anywhere.setWrapMode(QTextOption::WrapAnywhere);
        int extraMargin = 0;
        if (option.flags() & QTextOption::AddSpaceForLineAndParagraphSeparators)
            extraMargin += QFontMetrics(block.charFormat().font()).horizontalAdvance(QChar(0x21B5));
        m_available = (width <= 0 ? qreal(INT_MAX) : width) - 2 * m_margin - extraMargin;
        m_layout->setTextOption(option);
    }
    ~PlainLineMaker() { m_layout->setTextOption(m_option); }

    // Where the next line goes.
    qreal height() const { return m_height; }
    void setHeight(qreal height) { m_height = height; }

    // The next line laid out; invalid past the end of the text.
    QTextLine next() {
        QTextLine line = m_layout->createLine();
        if (!line.isValid())
            return line;
        if (m_words)
            m_layout->setTextOption(
                m_words->breaksAnywhereAt(line.textStart(), m_available) ? m_anywhere : m_option);
        line.setLeadingIncluded(true);
        line.setLineWidth(m_available);
        line.setPosition(QPointF(m_margin, m_height));
        m_height += line.height();
        if (line.leading() < 0)
            m_height += qCeil(line.leading());
        return line;
    }

private:
    QTextLayout* m_layout;
    QTextOption m_option;
    QTextOption m_anywhere;
    const OverlongWords* m_words;
    qreal m_margin;
    qreal m_available = 0;
    qreal m_height = 0;
};

} // namespace

bool LaidOutLines::canKeep() {
#if DUNMOSS_TEXT_ENGINE
    // The library the program runs with must be the one it was built and verified against.
    static const bool same = qstrcmp(qVersion(), DUNMOSS_TEXT_ENGINE_QT_VERSION) == 0;
    return same;
#else
    return false;
#endif
}

bool sameTextOption(const QTextOption& a, const QTextOption& b) {
    return a.alignment() == b.alignment() && a.wrapMode() == b.wrapMode() &&
           a.flags() == b.flags() && a.tabStopDistance() == b.tabStopDistance() &&
           a.tabs() == b.tabs() && a.textDirection() == b.textDirection() &&
           a.useDesignMetrics() == b.useDesignMetrics();
}

struct LaidOutLines::Data {
    // What the lines were made from.
    qsizetype length = 0;
    size_t textHash = 0;
    qreal width = 0;
    qreal margin = 0;
    QFont font;
    QTextCharFormat blockFormat;
    QTextOption option;
    QList<QTextLayout::FormatRange> formats;
#if DUNMOSS_TEXT_ENGINE
    // The lines and what the engine learnt while making them.
    QScriptLineArray lines;
    QFixed minWidth;
    QFixed maxWidth;
#endif
    // Moved by an edit rather than made for the text: they fit no block.
    bool standIn = false;

    // The text last: reading and hashing a long one costs the most. Standing in, lines made at
    // another width or under other formats (colours) do.
    bool madeFrom(const QTextBlock& block, qreal atWidth, const QTextOption& withOption,
                  bool standingIn = false, bool textUnchanged = false) const {
        const QTextDocument* doc = block.document();
        if (standIn || block.length() - 1 != length || (!standingIn && atWidth != width) ||
            doc->documentMargin() != margin || !sameTextOption(withOption, option) ||
            doc->defaultFont() != font || block.charFormat() != blockFormat ||
            (!standingIn && block.layout()->formats() != formats))
            return false;
        return textUnchanged || qHash(QStringView(block.text())) == textHash;
    }
};

LaidOutLines LaidOutLines::of(const QTextBlock& block, qreal width, const QTextOption& option) {
    LaidOutLines kept;
    QTextLayout* layout = block.isValid() ? block.layout() : nullptr;
    if (!canKeep() || !layout || layout->lineCount() == 0)
        return kept;
#if DUNMOSS_TEXT_ENGINE
    const QString text = block.text();
    const QTextEngine* engine = layout->engine();
    auto data = std::make_shared<Data>();
    data->length = text.size();
    data->textHash = qHash(QStringView(text));
    data->width = width;
    data->margin = block.document()->documentMargin();
    data->font = block.document()->defaultFont();
    data->blockFormat = block.charFormat();
    data->option = option;
    data->formats = layout->formats();
    data->lines = engine->lines;
    data->minWidth = engine->minWidth;
    data->maxWidth = engine->maxWidth;
    kept.m_data = std::move(data);
#endif
    return kept;
}

qsizetype LaidOutLines::lineCount() const {
#if DUNMOSS_TEXT_ENGINE
    return m_data ? m_data->lines.size() : 0;
#else
    return 0;
#endif
}

qsizetype LaidOutLines::textLength() const {
    return m_data ? m_data->length : -1;
}

qreal LaidOutLines::width() const {
    return m_data ? m_data->width : 0;
}

std::optional<LaidOutLines> LaidOutLines::movedBy(int position, int removed, int added) const {
#if !DUNMOSS_TEXT_ENGINE
    return std::nullopt;
#else
    if (!m_data || m_data->lines.isEmpty())
        return std::nullopt;
    QScriptLineArray lines = m_data->lines;
    // The line holding the edit: the last one for an edit at the very end.
    qsizetype holding = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QScriptLine& line = lines.at(i);
        const int end = line.from + line.length + line.trailingSpaces;
        if (position >= line.from && (position < end || i == lines.size() - 1)) {
            holding = i;
            break;
        }
    }
    if (holding < 0)
        return std::nullopt;
    QScriptLine& line = lines[holding];
    const int span = line.length + line.trailingSpaces;
    const int moved = span + added - removed;
    if (position + removed > line.from + span || moved <= 0)
        return std::nullopt;
    // Its trailing blanks are counted as text now: it may stand out of the width a moment.
    line.length = moved;
    line.trailingSpaces = 0;
    line.hasTrailingSpaces = 0;
    for (qsizetype i = holding + 1; i < lines.size(); ++i)
        lines[i].from += added - removed;
    auto data = std::make_shared<Data>(*m_data);
    data->lines = std::move(lines);
    data->length = m_data->length + added - removed;
    data->standIn = true;
    LaidOutLines moved_;
    moved_.m_data = std::move(data);
    return moved_;
#endif
}

std::optional<LaidOutLines> LaidOutLines::relaidAround(const QTextBlock& block, qreal width,
                                                       const QTextOption& option,
                                                       const OverlongWords* words, int position,
                                                       int removed, int added, int budget,
                                                       KeptCharAttributes* attributes) const {
#if !DUNMOSS_TEXT_ENGINE
    return std::nullopt;
#else
    QTextLayout* layout = block.isValid() ? block.layout() : nullptr;
    const int shift = added - removed;
    const int length = block.length() - 1;
    if (!m_data || m_data->lines.isEmpty() || !layout || m_data->length + shift != length ||
        position < 0 || position + removed > m_data->length)
        return std::nullopt;
    const QScriptLineArray& old = m_data->lines;
    const auto endOf = [](const QScriptLine& line) {
        return line.from + line.length + line.trailingSpaces;
    };
    // The line holding the edit, and two before it: a line may take a word back from the next,
    // and where a line may end depends on a few characters around it.
    qsizetype holding = old.size() - 1;
    for (qsizetype i = 0; i < old.size(); ++i)
        if (position < endOf(old.at(i))) {
            holding = i;
            break;
        }
    const qsizetype first = std::max<qsizetype>(0, holding - 2);
    // A line meets the old ones only a little past the edit, for the same reason.
    constexpr int kSettling = 16;
    const int editEnd = position + removed; // in the text before the edit
    QTextEngine* engine = layout->engine();
    int end = 0; // where the next line starts, in the text after the edit
    qsizetype meets = -1;
    {
        PlainLineMaker lines(block, width, option, words);
        layout->beginLayout();
        if (attributes)
            attributes->giveTo(block, position, removed, added);
        engine->lines = old.first(first);
        if (first > 0) {
            lines.setHeight(old.at(first).y.toReal());
            end = old.at(first).from;
        }
        qsizetype candidate = first;
        int past = 0; // lines made past the edit
        while (lines.next().isValid()) {
            end = endOf(engine->lines.constLast());
            const int before = end - shift;
            while (candidate < old.size() && old.at(candidate).from < before)
                ++candidate;
            if (before >= editEnd + kSettling && candidate < old.size() &&
                old.at(candidate).from == before) {
                meets = candidate;
                break;
            }
            if (end > position + added && ++past > budget)
                break;
        }
        layout->endLayout();
        if (end < length) {
            // The rest are the old lines moved, from the first reaching past the new ones.
            qsizetype next = meets;
            for (qsizetype i = first; next < 0 && i < old.size(); ++i)
                if (endOf(old.at(i)) > editEnd && endOf(old.at(i)) + shift > end)
                    next = i;
            if (next < 0)
                return std::nullopt;
            const QFixed dy = QFixed::fromReal(lines.height()) - old.at(next).y;
            for (qsizetype i = next; i < old.size(); ++i) {
                QScriptLine line = old.at(i);
                line.from += shift;
                line.y += dy;
                if (i == next && i != meets) {
                    // Cut short: its trailing blanks are counted as text.
                    line.length = endOf(old.at(i)) + shift - end;
                    line.from = end;
                    line.trailingSpaces = 0;
                    line.hasTrailingSpaces = 0;
                }
                engine->lines.append(line);
            }
        }
    }
    engine->minWidth = qMax(engine->minWidth, m_data->minWidth);
    engine->maxWidth = qMax(engine->maxWidth, m_data->maxWidth);
    // Standing in, they fit no block: the text is neither read nor hashed for them.
    auto data = std::make_shared<Data>(*m_data);
    data->length = length;
    data->textHash = 0;
    data->width = width;
    data->option = option;
    data->formats = layout->formats();
    data->lines = engine->lines;
    data->minWidth = engine->minWidth;
    data->maxWidth = engine->maxWidth;
    data->standIn = true;
    LaidOutLines relaid;
    relaid.m_data = std::move(data);
    return relaid;
#endif
}

QTextOption LaidOutLines::option() const {
    return m_data ? m_data->option : QTextOption();
}

bool LaidOutLines::fit(const QTextBlock& block, qreal width, const QTextOption& option,
                       bool textUnchanged) const {
    return m_data && block.isValid() && block.layout() &&
           m_data->madeFrom(block, width, option, false, textUnchanged);
}

bool LaidOutLines::standInFor(const QTextBlock& block, const QTextOption& option) const {
    return m_data && block.isValid() && block.layout() && m_data->madeFrom(block, 0, option, true);
}

void LaidOutLines::restoreInto(const QTextBlock& block) const {
#if DUNMOSS_TEXT_ENGINE
    if (!m_data)
        return;
    QTextLayout* layout = block.layout();
    layout->setTextOption(m_data->option);
    QTextEngine* engine = layout->engine();
    engine->lines = m_data->lines;
    engine->minWidth = m_data->minWidth;
    engine->maxWidth = m_data->maxWidth;
    // The lines may have been made on another thread, whose font engines this one must not use.
    engine->resetFontEngineCache();
#endif
}

bool LaidOutLines::areShownBy(const QTextBlock& block) const {
#if DUNMOSS_TEXT_ENGINE
    const QTextLayout* layout = block.isValid() ? block.layout() : nullptr;
    if (!m_data || !layout || !sameTextOption(layout->textOption(), m_data->option))
        return false;
    const auto same = [](const QScriptLine& a, const QScriptLine& b) {
        return a.from == b.from && a.length == b.length && a.trailingSpaces == b.trailingSpaces &&
               a.hasTrailingSpaces == b.hasTrailingSpaces &&
               a.leadingIncluded == b.leadingIncluded && a.x == b.x && a.y == b.y &&
               a.width == b.width && a.textWidth == b.textWidth && a.textAdvance == b.textAdvance &&
               a.ascent == b.ascent && a.descent == b.descent && a.leading == b.leading;
    };
    const QScriptLineArray& shown = layout->engine()->lines;
    return std::equal(shown.begin(), shown.end(), m_data->lines.begin(), m_data->lines.end(), same);
#else
    Q_UNUSED(block);
    return false;
#endif
}

LaidOutLines LaidOutLines::shownBy(const QTextBlock& block) {
    LaidOutLines shown;
    const QTextLayout* layout = block.isValid() ? block.layout() : nullptr;
    if (!canKeep() || !layout || layout->lineCount() == 0)
        return shown;
#if DUNMOSS_TEXT_ENGINE
    auto data = std::make_shared<Data>();
    data->lines = layout->engine()->lines;
    data->option = layout->textOption();
    data->standIn = true;
    shown.m_data = std::move(data);
#endif
    return shown;
}

std::optional<std::pair<qreal, qreal>> LaidOutLines::bandChangedFrom(const LaidOutLines& before,
                                                                     int position, int removed,
                                                                     int added) const {
#if DUNMOSS_TEXT_ENGINE
    if (!m_data || !before.m_data || !sameTextOption(m_data->option, before.m_data->option))
        return std::nullopt;
    const QScriptLineArray& now = m_data->lines;
    const QScriptLineArray& old = before.m_data->lines;
    if (now.isEmpty() || now.size() != old.size())
        return std::nullopt;
    const int shift = added - removed;
    const auto same = [&](const QScriptLine& o, const QScriptLine& n) {
        const int from = o.from >= position + removed ? o.from + shift : o.from;
        return from == n.from && o.length == n.length && o.trailingSpaces == n.trailingSpaces &&
               o.x == n.x && o.y == n.y && o.width == n.width && o.textWidth == n.textWidth &&
               o.ascent == n.ascent && o.descent == n.descent && o.leading == n.leading &&
               o.leadingIncluded == n.leadingIncluded;
    };
    // The lines holding the edit changed even when they start and end where they did.
    const auto holding = [&](int at) {
        const auto after =
            std::upper_bound(now.begin(), now.end(), at,
                             [](int x, const QScriptLine& line) { return x < line.from; });
        return std::max<qsizetype>(0, (after - now.begin()) - 1);
    };
    qsizetype first = holding(position);
    qsizetype last = holding(position + std::max(added, 1) - 1);
    for (qsizetype i = 0; i < first; ++i)
        if (!same(old.at(i), now.at(i)))
            first = i;
    for (qsizetype i = now.size() - 1; i > last; --i)
        if (!same(old.at(i), now.at(i)))
            last = i;
    // A line of another height moves every line below it.
    for (qsizetype i = first; i <= last; ++i)
        if (old.at(i).y != now.at(i).y || old.at(i).height() != now.at(i).height())
            return std::nullopt;
    const QScriptLine& top = now.at(std::max<qsizetype>(0, first - 1));
    const QScriptLine& bottom = now.at(std::min(now.size() - 1, last + 1));
    return std::pair<qreal, qreal>(top.y.toReal(), (bottom.y + bottom.height()).toReal());
#else
    Q_UNUSED(before);
    Q_UNUSED(position);
    Q_UNUSED(removed);
    Q_UNUSED(added);
    return std::nullopt;
#endif
}

struct LaidOutAside::Shaping {
#if DUNMOSS_TEXT_ENGINE
    QTextEngine::LayoutData* data = nullptr;
    ~Shaping() {
        delete data;
    }
#endif
};

LaidOutAside::Inputs LaidOutAside::inputsOf(const QTextBlock& block, qreal width,
                                            const QTextOption& option) {
    return {block.text(), block.document()->defaultFont(),   option, block.layout()->formats(),
            width,        block.document()->documentMargin()};
}

LaidOutAside LaidOutAside::make(const Inputs& inputs) {
    // Lines made here could not be handed to the block.
    if (!LaidOutLines::canKeep())
        return {};
    QTextDocument document;
    document.setUndoRedoEnabled(false);
    document.setDefaultFont(inputs.font);
    document.setDocumentMargin(inputs.margin);
    {
        // No document layout yet, nor a cursor asking for a line: nothing is laid out twice.
        QTextCursor cursor(&document);
        cursor.beginEditBlock();
        cursor.insertText(inputs.text);
        cursor.endEditBlock();
    }
    // The plain-text layout, as the block's own document has: without one the document would
    // make a rich-text layout on this thread, which measures text otherwise.
    document.setDocumentLayout(new LongLineDocumentLayout(&document));
    const QTextBlock block = document.firstBlock();
    QTextLayout* layout = block.layout();
    layout->setFormats(inputs.formats);
    layout->setCacheEnabled(true);
    layOutLikePlainText(block, inputs.width, inputs.option);
    forgetFontEngines(block);
    LaidOutAside made;
    made.m_lines = LaidOutLines::of(block, inputs.width, inputs.option);
    made.m_shaping = std::make_shared<Shaping>();
#if DUNMOSS_TEXT_ENGINE
    made.m_shaping->data = std::exchange(layout->engine()->layoutData, nullptr);
#endif
    return made;
}

void LaidOutAside::giveShapingTo(const QTextBlock& block) {
#if DUNMOSS_TEXT_ENGINE
    if (!m_shaping || !m_shaping->data)
        return;
    // The same text under the same formats: what was shaped aside is what this layout would
    // shape, and no line of it is being laid out now.
    QTextEngine* engine = block.layout()->engine();
    delete std::exchange(engine->layoutData, std::exchange(m_shaping->data, nullptr));
    engine->resetFontEngineCache();
#endif
}

void itemize(const QTextBlock& block) {
#if DUNMOSS_TEXT_ENGINE
    if (!LaidOutLines::canKeep())
        return;
    if (QTextLayout* layout = block.layout())
        layout->engine()->itemize();
#endif
}

void forgetFontEngines(const QTextBlock& block) {
#if DUNMOSS_TEXT_ENGINE
    if (!LaidOutLines::canKeep())
        return;
    if (QTextLayout* layout = block.layout())
        layout->engine()->resetFontEngineCache();
#endif
}

void layOutLikePlainText(const QTextBlock& block, qreal width, const QTextOption& option) {
    std::optional<OverlongWords> words;
    if (option.wrapMode() == QTextOption::WrapAtWordBoundaryOrAnywhere)
        words = OverlongWords::of(block.text(), block.document()->defaultFont());
    layOutLikePlainText(block, width, option, words ? &*words : nullptr);
}

void layOutLikePlainText(const QTextBlock& block, qreal width, const QTextOption& option,
                         const OverlongWords* words) {
    QTextLayout* layout = block.layout();
    PlainLineMaker lines(block, width, option, words);
    layout->beginLayout();
    while (lines.next().isValid()) {
    }
    layout->endLayout();
}

} // namespace dunmoss
