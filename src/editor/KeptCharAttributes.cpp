#include "editor/KeptCharAttributes.h"

#include "editor/LaidOutLines.h"
#include "editor/TextEnginePrivate.h"

#include <QTextLayout>
#include <algorithm>
#include <cstring>
#include <utility>

namespace dunmoss {

namespace {

#if DUNMOSS_TEXT_ENGINE
static_assert(sizeof(QCharAttributes) == 1);

// Characters either side of an edit whose attributes are worked out anew.
constexpr int kContext = 64;
// Of those, the ones at either end of the piece are only compared with the kept ones: near the
// ends of a piece of text its attributes are those of a text's start and end, not of the whole.
constexpr int kSettle = 16;
// Characters either side of an edit whose attributes the edit itself may change: the rules look
// at a few characters around each place.
constexpr int kReach = 8;
// A longer edit (a paste) has the whole block worked out again.
constexpr int kLongestEdit = 1024;

// Whether the character at `at` may carry what comes before it on to what follows, however far:
// a few rules look across a run of blanks (an opening bracket or a quote before it) or of flags
// (which pair up from the run's start). A flag is a regional indicator, U+1F1E6 to U+1F1FF.
bool carries(const QString& text, int at) {
    const char16_t c = text.at(at).unicode();
    const auto flagLow = [](char16_t u) { return u >= 0xDDE6 && u <= 0xDDFF; };
    return QChar::isSpace(c) ||
           (c == 0xD83C && at + 1 < text.size() && flagLow(text.at(at + 1).unicode())) ||
           (flagLow(c) && at > 0 && text.at(at - 1).unicode() == 0xD83C);
}

// Where the piece worked out anew around an edit from `editStart` to `editEnd` starts and ends:
// past any such run its settled part reaches into, up to a point.
std::pair<int, int> pieceAround(const QString& text, int editStart, int editEnd) {
    const int length = int(text.size());
    int start = std::max(0, editStart - kContext);
    while (start > 0 && editStart - start < kLongestEdit && carries(text, start + kSettle))
        start = std::max(0, start - kContext);
    int end = std::min(length, editEnd + kContext);
    while (end < length && end - editEnd < kLongestEdit && carries(text, end - kSettle - 1))
        end = std::min(length, end + kContext);
    return {start, end};
}

// The attributes of the layout's text from `from` to `to`, worked out as the engine works out
// those of the whole (the same rules, the scripts of its runs), as if the piece were all there
// is.
std::vector<unsigned char> attributesOf(const QTextEngine::LayoutData& data, int from, int to) {
    std::vector<QUnicodeTools::ScriptItem> scripts;
    const QScriptItemArray& items = data.items;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const int start = items.at(i).position;
        const int end = i + 1 < items.size() ? items.at(i + 1).position : int(data.string.size());
        if (end <= from || start >= to)
            continue;
        scripts.push_back(
            {std::max(start, from) - from, QChar::Script(items.at(i).analysis.script)});
    }
    // The rules write one past the end.
    std::vector<unsigned char> attributes(size_t(to - from) + 1, 0);
    QUnicodeTools::initCharAttributes(
        QStringView(data.string).mid(from, to - from), scripts.data(), qsizetype(scripts.size()),
        reinterpret_cast<QCharAttributes*>(attributes.data()),
        QUnicodeTools::CharAttributeOptions(QUnicodeTools::GraphemeBreaks |
                                            QUnicodeTools::LineBreaks | QUnicodeTools::WhiteSpaces |
                                            QUnicodeTools::HangulLineBreakTailoring));
    attributes.pop_back();
    return attributes;
}
#endif

} // namespace

void KeptCharAttributes::forget() {
    m_block = QTextBlock();
    m_attributes.clear();
}

std::vector<unsigned char> KeptCharAttributes::heldBy(const QTextBlock& block) {
#if DUNMOSS_TEXT_ENGINE
    if (!LaidOutLines::canKeep() || !block.isValid() || !block.layout())
        return {};
    const QTextEngine::LayoutData* data = block.layout()->engine()->layoutData;
    if (!data || !data->haveCharAttributes)
        return {};
    const auto* held = reinterpret_cast<const unsigned char*>(data->memory);
    return {held, held + data->string.size()};
#else
    Q_UNUSED(block);
    return {};
#endif
}

void KeptCharAttributes::keepFrom(const QTextBlock& block) {
    m_attributes = heldBy(block);
    m_block = m_attributes.empty() ? QTextBlock() : block;
}

bool KeptCharAttributes::giveTo(const QTextBlock& block, int position, int removed, int added) {
#if DUNMOSS_TEXT_ENGINE
    if (!LaidOutLines::canKeep() || !block.isValid() || !block.layout()) {
        forget();
        return false;
    }
    QTextEngine* engine = block.layout()->engine();
    engine->itemize();
    QTextEngine::LayoutData* data = engine->layoutData;
    if (!data || data->haveCharAttributes) {
        // Those given a moment ago (to lines re-laid around the same edit) are kept already: a
        // line of millions of characters is not copied a second time.
        if (!data || block != m_block || m_attributes.size() != size_t(data->string.size()))
            keepFrom(block);
        return false;
    }
    const int length = int(data->string.size());
    const int shift = added - removed;
    const bool kept = block == m_block && m_attributes.size() == size_t(length - shift) &&
                      position >= 0 && removed >= 0 && added >= 0 &&
                      removed + added <= kLongestEdit && position + added <= length;
    bool mended = kept && removed == 0 && added == 0;
    if (kept && !mended) {
        const auto [from, to] = pieceAround(data->string, position, position + added);
        const std::vector<unsigned char> piece = attributesOf(*data, from, to);
        // The piece's own ends are the text's only where they are the block's.
        const int settledFrom = from == 0 ? 0 : from + kSettle;
        const int settledTo = to == length ? length : to - kSettle;
        // Away from the edit the piece must say what was kept; where it does not, the
        // attributes there depend on text beyond the piece.
        const int before = std::max(settledFrom, position - kReach);
        const int after = std::min(settledTo, position + added + kReach);
        mended = std::equal(piece.begin() + (settledFrom - from), piece.begin() + (before - from),
                            m_attributes.begin() + settledFrom) &&
                 std::equal(piece.begin() + (after - from), piece.begin() + (settledTo - from),
                            m_attributes.begin() + (after - shift));
        if (mended) {
            // In place: a line of millions of characters is not copied again at every key.
            const auto settled = m_attributes.begin() + settledFrom;
            m_attributes.erase(settled, settled + (settledTo - shift - settledFrom));
            m_attributes.insert(m_attributes.begin() + settledFrom,
                                piece.begin() + (settledFrom - from),
                                piece.begin() + (settledTo - from));
        }
    }
    // Room for the attributes, and for the glyphs of one run: more is made as runs are shaped,
    // where Qt would first make and clear room for every character.
    if (!mended || m_attributes.size() != size_t(length) || !engine->ensureSpace(1)) {
        engine->attributes();
        keepFrom(block);
        return false;
    }
    std::memcpy(data->memory, m_attributes.data(), m_attributes.size());
    data->haveCharAttributes = true;
    return true;
#else
    Q_UNUSED(block);
    Q_UNUSED(position);
    Q_UNUSED(removed);
    Q_UNUSED(added);
    forget();
    return false;
#endif
}

} // namespace dunmoss
