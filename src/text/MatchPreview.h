#pragma once

#include "platform/TextRange.h"
#include "text/Graphemes.h"

#include <QString>
#include <QStringView>

namespace dunmoss {

// The preview of a match on the line [lineStart, nextLineStart); nextLineStart is the text's
// length on the last line.
QString matchPreviewOnLine(TextRange match, QStringView text, qsizetype lineStart,
                           qsizetype nextLineStart, GraphemeBoundaries& graphemes);

// Line numbers and previews for matches visited in increasing order: each line feed is
// counted once, however many matches share a line.
class MatchLocator {
public:
    explicit MatchLocator(QStringView text);

    // Moves to the line of `location`, which must not lie before the previous one.
    void advanceTo(qsizetype location);
    qsizetype lineIndex() const { return m_lineIndex; }
    qsizetype lineStart() const { return m_lineStart; }
    qsizetype nextLineStart() const;
    QString preview(TextRange match);

private:
    QStringView m_text;
    GraphemeBoundaries m_graphemes;
    qsizetype m_lineIndex = 0;
    qsizetype m_lineStart = 0;
    qsizetype m_lineFeed = -1; // the line feed ending the current line, -1 on the last line
};

} // namespace dunmoss
