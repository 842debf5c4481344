#pragma once

#include <QList>
#include <QString>
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

// A heading of one to six "#" and a non-empty rest (no space needed after the marks), given a
// line already trimmed of white space.
std::optional<MarkdownPreviewBlock> parseMarkdownHeading(QStringView trimmedLine);

} // namespace dunmoss
