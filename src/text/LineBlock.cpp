#include "text/LineBlock.h"

#include "text/LineOperations.h"

#include <algorithm>

namespace dunmoss {

TextRange blockOrWholeText(const QString& text, TextRange selection) {
    if (selection.length <= 0)
        return TextRange{0, text.size()};
    return selectedLineRange(text, selection);
}

std::vector<qsizetype> blockLineStarts(QStringView text, TextRange block) {
    std::vector<qsizetype> starts{std::clamp<qsizetype>(block.location, 0, text.size())};
    const qsizetype end = std::min(block.end(), text.size());
    for (qsizetype feed = text.indexOf(u'\n', starts.front()); feed >= 0 && feed + 1 < end;
         feed = text.indexOf(u'\n', feed + 1))
        starts.push_back(feed + 1);
    return starts;
}

BlockLines splitBlock(QStringView block) {
    BlockLines split;
    split.endsWithLineFeed = block.endsWith(u'\n');
    split.lines = block.split(u'\n');
    if (split.endsWithLineFeed)
        split.lines.removeLast();
    return split;
}

TextEdit replaceAndSelect(const QString& text, TextRange range, const QString& replacement) {
    QString changed = text;
    changed.replace(range.location, range.length, replacement);
    return TextEdit{std::move(changed), TextRange{range.location, replacement.size()}};
}

TextEdit rearrangeLines(const QString& text, TextRange range,
                        const std::function<void(QList<QStringView>&)>& rearrange) {
    BlockLines block = splitBlock(QStringView(text).sliced(range.location, range.length));
    rearrange(block.lines);
    return replaceAndSelect(text, range, joinBlock(block.lines, block.endsWithLineFeed));
}

} // namespace dunmoss
