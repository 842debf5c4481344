#pragma once

#include "text/LineStartIndex.h"

#include <QStringView>

namespace dunmoss {

// The line starts and the user-perceived characters (grapheme clusters) of a text, kept in step
// with its edits: the ruler and the status bar read them, and a keystroke costs what it changed,
// never a pass over the whole text.
class TextCounts {
public:
    TextCounts() = default;
    explicit TextCounts(QStringView text) { reset(text); }

    // Counts the whole text.
    void reset(QStringView text);
    // After text[position, position + removed.size()) was replaced: `text` is the text after the
    // edit, holding the inserted characters at [position, position + insertedLength). An edit
    // that does not fit the length counted recounts the whole text.
    void applyEdit(QStringView text, qsizetype position, QStringView removed,
                   qsizetype insertedLength);

    qsizetype length() const { return m_lines.textLength(); }
    const LineStartIndex& lines() const { return m_lines; }
    qsizetype clusterCount() const { return m_clusters; }

private:
    LineStartIndex m_lines;
    qsizetype m_clusters = 0;
};

} // namespace dunmoss
