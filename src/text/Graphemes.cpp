#include "text/Graphemes.h"

#include <algorithm>
#include <stdexcept>
#include <unicode/brkiter.h>

namespace dunmoss {

namespace {

// Below U+0300 there are no extending, prepended or joining characters, so two such units
// are always separated by a boundary, except a carriage return before a line feed.
bool plainPair(char16_t before, char16_t after) {
    return before < 0x300 && after < 0x300 && !(before == u'\r' && after == u'\n');
}

} // namespace

GraphemeBoundaries::GraphemeBoundaries(QStringView text) : m_text(text) {}

GraphemeBoundaries::~GraphemeBoundaries() {
    m_iterator.reset();
    utext_close(&m_utext);
}

icu::BreakIterator& GraphemeBoundaries::iterator() {
    if (!m_iterator) {
        UErrorCode status = U_ZERO_ERROR;
        utext_openUChars(&m_utext, reinterpret_cast<const UChar*>(m_text.utf16()), m_text.size(),
                         &status);
        m_iterator.reset(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_SUCCESS(status))
            m_iterator->setText(&m_utext, status);
        if (U_FAILURE(status) || !m_iterator)
            throw std::runtime_error("ICU character break iterator unavailable");
    }
    return *m_iterator;
}

bool GraphemeBoundaries::isBoundary(qsizetype index) {
    if (index <= 0 || index >= m_text.size())
        return true;
    if (plainPair(m_text[index - 1].unicode(), m_text[index].unicode()))
        return true;
    return iterator().isBoundary(int32_t(index));
}

qsizetype GraphemeBoundaries::boundaryAtOrBefore(qsizetype index) {
    return nearestBoundary(index, false);
}

qsizetype GraphemeBoundaries::boundaryAtOrAfter(qsizetype index) {
    return nearestBoundary(index, true);
}

qsizetype GraphemeBoundaries::nearestBoundary(qsizetype index, bool after) {
    index = std::clamp<qsizetype>(index, 0, m_text.size());
    if (index == 0 || index == m_text.size() ||
        plainPair(m_text[index - 1].unicode(), m_text[index].unicode()))
        return index;
    icu::BreakIterator& it = iterator();
    if (it.isBoundary(int32_t(index)))
        return index;
    // A failed test leaves the iterator on the following boundary. Step back from that one:
    // asking for the boundary before an offset inside a surrogate pair would start from the
    // pair's start and miss the boundary there.
    return after ? it.current() : it.previous();
}

qsizetype GraphemeBoundaries::nextBoundary(qsizetype index) {
    if (index < 0)
        return 0;
    if (index >= m_text.size())
        return m_text.size();
    if (index + 1 == m_text.size() ||
        plainPair(m_text[index].unicode(), m_text[index + 1].unicode()))
        return index + 1;
    return iterator().following(int32_t(index));
}

TextRange GraphemeBoundaries::widened(TextRange range) {
    const qsizetype start = boundaryAtOrBefore(range.location);
    const qsizetype end = std::max(boundaryAtOrAfter(range.end()), start);
    return TextRange{start, end - start};
}

} // namespace dunmoss
