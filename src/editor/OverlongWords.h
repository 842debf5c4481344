#pragma once

#include <QFont>
#include <QList>
#include <QString>
#include <optional>

namespace dunmoss {

// Where the lines of a block of plain Latin text start inside a word too long for any line.
// Qt's wrap at word boundaries (or anywhere) lays such a line out at word boundaries first,
// measuring the rest of the word, and only then, finding it too wide, breaks it anywhere: a word
// of tens of thousands of characters costs the square of its length. A line known to start such
// a word is broken anywhere at once, which gives the same line.
class OverlongWords {
public:
    // Words at least this long are looked for; shorter ones cost Qt little.
    static constexpr int kOverlongWordLength = 1024;

    // The words of a block's text laid out in the font (and its bold); none when the text is not
    // plain Latin or has no word this long.
    static std::optional<OverlongWords> of(const QString& text, const QFont& font);

    // Whether the word a line starting at `start` begins certainly does not fit in `available`:
    // at least as many characters lie before the next place a line may end as the narrowest
    // character of the font fits in.
    bool breaksAnywhereAt(int start, qreal available) const;

private:
    QList<int> m_breaks; // every position where a line may end, and some more
    int m_length = 0;
    qreal m_narrowest = 0;
};

} // namespace dunmoss
