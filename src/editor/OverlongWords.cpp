#include "editor/OverlongWords.h"

#include "editor/PerFontCache.h"
#include "editor/PlainShaping.h"

#include <QFontMetricsF>
#include <QTextBoundaryFinder>
#include <algorithm>

namespace dunmoss {

namespace {

bool isBlankOrControl(QChar c) {
    return c.unicode() <= 0x20 || c.isSpace();
}

// The narrowest advance among the visible plain Latin characters, in the font and in its bold,
// with a margin for rounding; found once per font.
qreal narrowestAdvance(const QFont& font) {
    static PerFontCache<qreal> known;
    return known.get(font, [](const QFont& regular) {
        QFont bold = regular;
        bold.setBold(true);
        qreal narrowest = std::numeric_limits<qreal>::max();
        for (const QFont& face : {regular, bold}) {
            const QFontMetricsF metrics(face);
            for (char16_t c = 0x21; c <= 0xff; ++c) {
                // A soft hyphen shows only at the end of a line; the rest is blank or control.
                if ((c > 0x7e && c < 0xa1) || c == 0xad)
                    continue;
                narrowest = std::min(narrowest, metrics.horizontalAdvance(QChar(c)));
            }
        }
        return std::max<qreal>(0, narrowest * 0.9);
    });
}

} // namespace

std::optional<OverlongWords> OverlongWords::of(const QString& text, const QFont& font) {
    // Cheap first: a run of that many characters without a blank.
    int run = 0;
    int longest = 0;
    for (QChar c : text) {
        run = isBlankOrControl(c) ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    if (longest < kOverlongWordLength || !isPlainLatin(text))
        return std::nullopt;
    OverlongWords words;
    words.m_length = int(text.size());
    words.m_narrowest = narrowestAdvance(font);
    if (words.m_narrowest <= 0)
        return std::nullopt;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, text);
    for (qsizetype at = finder.toNextBoundary(); at > 0; at = finder.toNextBoundary())
        words.m_breaks.append(int(at));
    // Next to a blank as well: Qt breaks after breakable spaces of its own accord.
    for (int i = 0; i < words.m_length; ++i)
        if (isBlankOrControl(text[i])) {
            words.m_breaks.append(i);
            words.m_breaks.append(i + 1);
        }
    std::sort(words.m_breaks.begin(), words.m_breaks.end());
    words.m_breaks.erase(std::unique(words.m_breaks.begin(), words.m_breaks.end()),
                         words.m_breaks.end());
    return words;
}

bool OverlongWords::breaksAnywhereAt(int start, qreal available) const {
    const auto next = std::upper_bound(m_breaks.begin(), m_breaks.end(), start);
    const int end = next == m_breaks.end() ? m_length : *next;
    return qreal(end - start) * m_narrowest > available;
}

} // namespace dunmoss
