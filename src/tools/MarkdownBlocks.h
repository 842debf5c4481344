#pragma once

#include <QList>
#include <QString>
#include <algorithm>
#include <optional>

namespace dunmoss {

// One block of the Markdown preview. Only four line forms are recognised: headings, bullet
// items, fenced code and plain paragraphs; every other line (quotes, numbered items, tables)
// shows as the paragraph it is.
struct MarkdownPreviewBlock {
    enum class Kind { Heading, Paragraph, Bullet, Code };

    Kind kind = Kind::Paragraph;
    // 1 to 6 for headings, 0 otherwise.
    int level = 0;
    QString text;

    friend bool operator==(const MarkdownPreviewBlock&, const MarkdownPreviewBlock&) = default;
};

// The blocks of a text in text order. Every line ends at any of LF, VT, FF, CR, NEL, U+2028 and
// U+2029 and yields at most one block; blank lines outside code yield none.
QList<MarkdownPreviewBlock> parseMarkdownBlocks(const QString& text);

// Where a new list of blocks differs from an old one: both share their first `prefix` blocks
// and the blocks after `oldEnd` (old) and `newEnd` (new).
struct MarkdownBlockChange {
    qsizetype prefix = 0;
    qsizetype oldEnd = 0;
    qsizetype newEnd = 0;

    // How many blocks of the longer side differ.
    qsizetype span() const { return std::max(oldEnd, newEnd) - prefix; }
};
MarkdownBlockChange markdownBlockChange(const QList<MarkdownPreviewBlock>& before,
                                        const QList<MarkdownPreviewBlock>& after);

// A heading of one to six "#" and a non-empty rest (no space needed after the marks), given a
// line already trimmed of white space.
std::optional<MarkdownPreviewBlock> parseMarkdownHeading(QStringView trimmedLine);

} // namespace dunmoss
