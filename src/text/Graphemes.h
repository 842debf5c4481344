#pragma once

#include "platform/TextRange.h"

#include <QStringView>
#include <memory>
#include <unicode/utext.h>
#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class BreakIterator;
U_NAMESPACE_END

namespace dunmoss {

// Boundaries of user-perceived characters (grapheme clusters) of one text, judged in the
// context of the whole text. Reads the text in place; one object per thread and call.
class GraphemeBoundaries {
public:
    explicit GraphemeBoundaries(QStringView text);
    ~GraphemeBoundaries();
    GraphemeBoundaries(const GraphemeBoundaries&) = delete;
    GraphemeBoundaries& operator=(const GraphemeBoundaries&) = delete;

    // 0 and the text's length are boundaries; indexes outside the text are clamped.
    bool isBoundary(qsizetype index);
    qsizetype boundaryAtOrBefore(qsizetype index);
    qsizetype boundaryAtOrAfter(qsizetype index);
    // The first boundary after the index (the end of the character starting there).
    qsizetype nextBoundary(qsizetype index);

    // The range widened to whole characters at both ends.
    TextRange widened(TextRange range);

private:
    icu::BreakIterator& iterator();
    qsizetype nearestBoundary(qsizetype index, bool after);

    QStringView m_text;
    UText m_utext = UTEXT_INITIALIZER;
    std::unique_ptr<icu::BreakIterator> m_iterator;
};

} // namespace dunmoss
