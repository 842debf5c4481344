#include "text/TextCounts.h"

#include "text/StatusStatistics.h"

namespace dunmoss {

void TextCounts::reset(QStringView text) {
    m_lines.reset(text);
    m_clusters = graphemeClusterCount(text);
}

void TextCounts::applyEdit(QStringView text, qsizetype position, QStringView removed,
                           qsizetype insertedLength) {
    const bool fits = position >= 0 && insertedLength >= 0 &&
                      position + insertedLength <= text.size() &&
                      text.size() - insertedLength + removed.size() == length();
    if (!fits || !m_lines.applyEdit(position, removed, text.mid(position, insertedLength))) {
        reset(text);
        return;
    }
    m_clusters = graphemeClusterCountAfterEdit(text, m_clusters, position, removed, insertedLength);
}

} // namespace dunmoss
