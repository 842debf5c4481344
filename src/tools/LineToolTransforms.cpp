#include "tools/LineToolTransforms.h"

#include "text/LineOperations.h"

#include <algorithm>

namespace dunmoss {

namespace {

constexpr qsizetype kOutdentWidth = 4;

} // namespace

SpliceEdit linesDeleted(const QString& text, TextRange selection) {
    const TextRange lines = selectedLineRange(text, selection);
    return SpliceEdit{{lines.location,
                       QStringView(text).sliced(lines.location, lines.length).toString(),
                       QString()},
                      TextRange{lines.location, 0}};
}

TextEdit outdentLines(const QString& text, TextRange selection) {
    const TextRange lines = selectedLineRange(text, selection);
    const qsizetype end = std::min(text.size(), lines.end());
    // One pass from the first line start to the end, copying everything but the removed
    // indentation: removing piece by piece would move the rest of a long text once per line.
    QString outdented;
    outdented.reserve(text.size());
    const qsizetype first = std::clamp<qsizetype>(lines.location, 0, text.size());
    outdented.append(QStringView(text).first(first));
    qsizetype removed = 0;
    qsizetype start = first;
    while (start < text.size()) {
        qsizetype skip = 0;
        if (text.at(start) == u'\t') {
            skip = 1;
        } else {
            while (skip < kOutdentWidth && start + skip < text.size() &&
                   text.at(start + skip) == u' ')
                ++skip;
        }
        removed += skip;
        const qsizetype feed = text.indexOf(u'\n', start + skip);
        const qsizetype next = feed < 0 ? text.size() : feed + 1;
        outdented.append(QStringView(text).sliced(start + skip, next - start - skip));
        start = next;
        if (feed < 0 || next >= end)
            break;
    }
    outdented.append(QStringView(text).sliced(start));
    const TextRange newSelection{lines.location, std::max<qsizetype>(lines.length - removed, 0)};
    return TextEdit{std::move(outdented), newSelection};
}

TextEdit tabsToSpacesTransform(const QString& text, TextRange selection) {
    QString converted = text;
    converted.replace(u'\t', QStringLiteral("    "));
    const qsizetype length = converted.size();
    const qsizetype location = std::min(std::max<qsizetype>(selection.location, 0), length);
    const qsizetype kept = std::min(std::max<qsizetype>(length - location, 0),
                                    std::max<qsizetype>(selection.length, 0));
    return TextEdit{std::move(converted), TextRange{location, kept}};
}

} // namespace dunmoss
