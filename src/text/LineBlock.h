#pragma once

#include "platform/TextRange.h"
#include "text/TextEdit.h"

#include <QList>
#include <QString>
#include <QStringView>
#include <functional>
#include <vector>

namespace dunmoss {

// Pieces shared by the line operations and the toolbox's line transforms.

// The block of the selection (the whole lines it touches), or the whole text when the
// selection is empty.
TextRange blockOrWholeText(const QString& text, TextRange selection);

// Where the block's lines start: the block's start and every position just after a line feed
// inside it, but not after the line feed that ends it. An empty text has the one start 0.
std::vector<qsizetype> blockLineStarts(QStringView text, TextRange block);

// The lines of a block, split at line feeds, without the empty piece after a final line feed.
struct BlockLines {
    QList<QStringView> lines;
    bool endsWithLineFeed = false;
};
BlockLines splitBlock(QStringView block);

// The lines joined with line feeds, with a final line feed when asked for.
template <typename Lines> QString joinBlock(const Lines& lines, bool endsWithLineFeed) {
    qsizetype size = 0;
    for (const auto& line : lines)
        size += line.size() + 1;
    QString joined;
    joined.reserve(size);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            joined.append(u'\n');
        joined.append(lines[i]);
    }
    if (endsWithLineFeed)
        joined.append(u'\n');
    return joined;
}

// Replaces the range and selects what replaced it.
TextEdit replaceAndSelect(const QString& text, TextRange range, const QString& replacement);

// Splits the range into its lines, lets `rearrange` reorder or drop them and puts them back
// (a final line feed stays at the end), selecting the result.
TextEdit rearrangeLines(const QString& text, TextRange range,
                        const std::function<void(QList<QStringView>&)>& rearrange);

} // namespace dunmoss
