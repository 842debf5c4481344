#include "text/LineStartIndex.h"

#include <algorithm>

namespace dunmoss {

namespace {

// Starts per chunk when the index is built; a chunk grown to twice this is split.
constexpr std::size_t kChunkStarts = 256;

// Offsets just past each line feed of the text, plus `base`.
void appendStartsAfterLineFeeds(QStringView text, qsizetype base, std::vector<qsizetype>& out) {
    for (qsizetype feed = text.indexOf(u'\n'); feed >= 0; feed = text.indexOf(u'\n', feed + 1))
        out.push_back(base + feed + 1);
}

} // namespace

void LineStartIndex::reset(QStringView text) {
    std::vector<qsizetype> all{0};
    appendStartsAfterLineFeeds(text, 0, all);
    m_chunks.clear();
    for (std::size_t from = 0; from < all.size(); from += kChunkStarts) {
        const std::size_t to = std::min(all.size(), from + kChunkStarts);
        m_chunks.push_back(Chunk{{all.begin() + from, all.begin() + to}, 0, qsizetype(from)});
    }
    m_length = text.size();
    m_lineCount = qsizetype(all.size());
}

std::size_t LineStartIndex::chunkAtOrBefore(qsizetype offset) const {
    const auto after =
        std::upper_bound(m_chunks.begin() + 1, m_chunks.end(), offset,
                         [](qsizetype value, const Chunk& chunk) { return value < chunk.first(); });
    return std::size_t(after - m_chunks.begin()) - 1;
}

void LineStartIndex::renumberFrom(std::size_t chunk) {
    for (std::size_t c = chunk + 1; c < m_chunks.size(); ++c)
        m_chunks[c].linesBefore =
            m_chunks[c - 1].linesBefore + qsizetype(m_chunks[c - 1].starts.size());
    const Chunk& last = m_chunks.back();
    m_lineCount = last.linesBefore + qsizetype(last.starts.size());
}

void LineStartIndex::splitIfLarge(std::size_t chunk) {
    if (m_chunks[chunk].starts.size() <= 2 * kChunkStarts)
        return;
    Chunk whole = std::move(m_chunks[chunk]);
    std::vector<Chunk> pieces;
    for (std::size_t from = 0; from < whole.starts.size(); from += kChunkStarts) {
        const std::size_t to = std::min(whole.starts.size(), from + kChunkStarts);
        pieces.push_back(
            Chunk{{whole.starts.begin() + from, whole.starts.begin() + to}, whole.shift, 0});
    }
    pieces.front().linesBefore = whole.linesBefore;
    m_chunks[chunk] = std::move(pieces.front());
    m_chunks.insert(m_chunks.begin() + qsizetype(chunk) + 1,
                    std::make_move_iterator(pieces.begin() + 1),
                    std::make_move_iterator(pieces.end()));
}

bool LineStartIndex::applyEdit(qsizetype position, QStringView removed, QStringView inserted) {
    const qsizetype removedEnd = position + removed.size();
    if (position < 0 || removedEnd > m_length)
        return false;
    const qsizetype delta = inserted.size() - removed.size();
    const std::size_t home = chunkAtOrBefore(position);

    // Starts just past a removed line feed go; those after the removed text move by the change
    // in length. In the chunk holding the edit that is done start by start, after it by the
    // chunks' offsets; past the removed text their starts are not even read (on a key that
    // would be a cache miss per chunk).
    bool pastRemoved = false;
    for (std::size_t c = home; c < m_chunks.size(); ++c) {
        Chunk& chunk = m_chunks[c];
        pastRemoved = pastRemoved || (c != home && chunk.first() > removedEnd);
        if (pastRemoved) {
            chunk.shift += delta;
            continue;
        }
        const auto from =
            std::upper_bound(chunk.starts.begin(), chunk.starts.end(), position - chunk.shift);
        const auto to = std::upper_bound(from, chunk.starts.end(), removedEnd - chunk.shift);
        const auto kept = chunk.starts.erase(from, to);
        if (c == home) {
            for (auto it = kept; it != chunk.starts.end(); ++it)
                *it += delta;
        } else {
            chunk.shift += delta;
        }
    }

    Chunk& chunk = m_chunks[home];
    std::vector<qsizetype> added;
    appendStartsAfterLineFeeds(inserted, position - chunk.shift, added);
    const auto at =
        std::upper_bound(chunk.starts.begin(), chunk.starts.end(), position - chunk.shift);
    chunk.starts.insert(at, added.begin(), added.end());

    // The first chunk always holds the start at 0; others emptied by the removal go.
    m_chunks.erase(std::remove_if(m_chunks.begin() + 1, m_chunks.end(),
                                  [](const Chunk& c) { return c.starts.empty(); }),
                   m_chunks.end());
    splitIfLarge(home);
    renumberFrom(home < m_chunks.size() ? home : 0);
    m_length += delta;
    return true;
}

qsizetype LineStartIndex::lineNumberOfCharacter(qsizetype index) const {
    if (index < 1)
        return 1;
    const Chunk& chunk = m_chunks[chunkAtOrBefore(index)];
    const auto after =
        std::upper_bound(chunk.starts.begin(), chunk.starts.end(), index - chunk.shift);
    return chunk.linesBefore + qsizetype(after - chunk.starts.begin());
}

qsizetype LineStartIndex::lineNumberStartingAt(qsizetype offset) const {
    if (offset < 0)
        return 0;
    const Chunk& chunk = m_chunks[chunkAtOrBefore(offset)];
    const auto it =
        std::lower_bound(chunk.starts.begin(), chunk.starts.end(), offset - chunk.shift);
    if (it == chunk.starts.end() || *it + chunk.shift != offset)
        return 0;
    return chunk.linesBefore + qsizetype(it - chunk.starts.begin()) + 1;
}

qsizetype LineStartIndex::lineStart(qsizetype lineNumber) const {
    const qsizetype index = std::clamp<qsizetype>(lineNumber, 1, m_lineCount) - 1;
    const auto after = std::upper_bound(
        m_chunks.begin(), m_chunks.end(), index,
        [](qsizetype value, const Chunk& chunk) { return value < chunk.linesBefore; });
    const Chunk& chunk = *(after - 1);
    return chunk.starts[std::size_t(index - chunk.linesBefore)] + chunk.shift;
}

QList<qsizetype> LineStartIndex::starts() const {
    QList<qsizetype> all;
    all.reserve(m_lineCount);
    for (const Chunk& chunk : m_chunks)
        for (qsizetype start : chunk.starts)
            all.append(start + chunk.shift);
    return all;
}

int decimalDigitCount(qsizetype value) {
    int digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

} // namespace dunmoss
