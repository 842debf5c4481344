#include "text/LineOperations.h"

#include "text/Graphemes.h"
#include "text/LineBlock.h"

#include <QLocale>
#include <QStringList>
#include <algorithm>
#include <memory>
#include <unicode/coll.h>

namespace dunmoss {

namespace {

// The part of [location, location + length) that lies inside a text, without overflow.
TextRange clippedRange(TextRange range, qsizetype textLength) {
    const qsizetype start = std::clamp<qsizetype>(range.location, 0, textLength);
    qsizetype end = textLength;
    if (range.location <= textLength && range.length <= textLength - range.location)
        end = range.location + range.length;
    return TextRange{start, std::max<qsizetype>(end - start, 0)};
}

// A prefix match that ends on a character boundary, so "#" is not taken from "#" followed
// by a combining mark.
bool startsWithCharacters(QStringView text, QStringView prefix) {
    return text.startsWith(prefix) && GraphemeBoundaries(text).isBoundary(prefix.size());
}

bool endsWithCharacters(QStringView text, QStringView suffix) {
    return text.endsWith(suffix) &&
           GraphemeBoundaries(text).isBoundary(text.size() - suffix.size());
}

qsizetype indentationLength(QStringView line) {
    qsizetype i = 0;
    while (i < line.size() && (line[i] == u' ' || line[i] == u'\t'))
        ++i;
    return i;
}

std::unique_ptr<icu::Collator> lineCollator() {
    QString name = QLocale::system().name();
    if (name == QLatin1String("C") || name == QLatin1String("POSIX"))
        name.clear(); // the root collation, not the byte order of the POSIX locale
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> collator(
        icu::Collator::createInstance(icu::Locale(name.toLatin1().constData()), status));
    if (U_FAILURE(status) || !collator) {
        status = U_ZERO_ERROR;
        collator.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
    }
    // Secondary strength: accents count, case does not.
    collator->setStrength(icu::Collator::SECONDARY);
    return collator;
}

bool collatorPrecedes(const icu::Collator& collator, QStringView a, QStringView b) {
    UErrorCode status = U_ZERO_ERROR;
    return collator.compare(reinterpret_cast<const UChar*>(a.utf16()), int32_t(a.size()),
                            reinterpret_cast<const UChar*>(b.utf16()), int32_t(b.size()),
                            status) == UCOL_LESS;
}

} // namespace

TextRange clampedSelection(TextRange selection, qsizetype textLength) {
    const qsizetype location = std::clamp<qsizetype>(selection.location, 0, textLength);
    const qsizetype length = std::clamp<qsizetype>(selection.length, 0, textLength - location);
    return TextRange{location, length};
}

TextRange lineRangeOf(QStringView text, TextRange range) {
    const qsizetype length = text.size();
    const qsizetype start = std::clamp<qsizetype>(range.location, 0, length);
    const qsizetype end = std::clamp<qsizetype>(range.end(), start, length);
    const qsizetype lineStart = start == 0 ? 0 : text.lastIndexOf(u'\n', start - 1) + 1;
    // The line of the range's last character, or of the caret.
    const qsizetype last = end > start ? end - 1 : start;
    const qsizetype feed = last < length ? text.indexOf(u'\n', last) : -1;
    const qsizetype lineEnd = feed >= 0 ? feed + 1 : length;
    return TextRange{lineStart, lineEnd - lineStart};
}

TextRange selectedLineRange(const QString& text, TextRange selection) {
    if (text.isEmpty())
        return TextRange{0, 0};
    return lineRangeOf(text, clippedRange(selection, text.size()));
}

SpliceEdit linesMoved(const QString& text, TextRange selection, bool down) {
    const TextRange block = selectedLineRange(text, selection);
    const QStringView view(text);
    const QStringView moving = view.sliced(block.location, block.length);
    if (!down) {
        if (block.location == 0)
            return SpliceEdit{{}, selection};
        const TextRange above = lineRangeOf(view, TextRange{block.location - 1, 0});
        const QStringView previous = view.sliced(above.location, above.length);
        QString moved = moving.toString();
        if (moving.endsWith(u'\n')) {
            moved.append(previous);
        } else {
            // The block is the last line: it keeps the text free of a final line feed.
            moved.append(u'\n').append(previous.chopped(1));
        }
        return SpliceEdit{{above.location,
                           view.sliced(above.location, above.length + block.length).toString(),
                           std::move(moved)},
                          TextRange{above.location, block.length}};
    }
    if (block.end() >= text.size())
        return SpliceEdit{{}, selection};
    const TextRange below = lineRangeOf(view, TextRange{block.end(), 0});
    const QStringView next = view.sliced(below.location, below.length);
    QString moved = next.toString();
    TextRange newSelection;
    if (next.endsWith(u'\n')) {
        moved.append(moving);
        newSelection = TextRange{block.location + below.length, block.length};
    } else {
        moved.append(u'\n').append(moving.chopped(1));
        newSelection = TextRange{block.location + below.length + 1, block.length - 1};
    }
    return SpliceEdit{{block.location,
                       view.sliced(block.location, block.length + below.length).toString(),
                       std::move(moved)},
                      newSelection};
}

bool lineSortPrecedes(QStringView a, QStringView b) {
    const auto collator = lineCollator();
    return collatorPrecedes(*collator, a, b);
}

TextEdit sortSelectedLines(const QString& text, TextRange selection) {
    const auto collator = lineCollator();
    return rearrangeLines(text, blockOrWholeText(text, selection), [&](QList<QStringView>& lines) {
        std::stable_sort(lines.begin(), lines.end(), [&](QStringView a, QStringView b) {
            return collatorPrecedes(*collator, a, b);
        });
    });
}

TextEdit insertAtLineStarts(const QString& text, TextRange selection, const QString& prefix) {
    if (prefix.isEmpty())
        return TextEdit{text, selection};
    const TextRange block = selectedLineRange(text, selection);
    const std::vector<qsizetype> starts = blockLineStarts(text, block);
    const qsizetype inserted = prefix.size() * qsizetype(starts.size());
    QString changed;
    changed.reserve(text.size() + inserted);
    qsizetype copied = 0;
    for (const qsizetype start : starts) {
        changed.append(QStringView(text).sliced(copied, start - copied)).append(prefix);
        copied = start;
    }
    changed.append(QStringView(text).sliced(copied));
    return TextEdit{std::move(changed), TextRange{block.location, block.length + inserted}};
}

TextEdit toggleLineComment(const QString& text, TextRange selection, const QString& token) {
    const QString mark = token.trimmed();
    if (mark.isEmpty())
        return TextEdit{text, selection};
    const TextRange range = selectedLineRange(text, selection);
    const BlockLines block = splitBlock(QStringView(text).sliced(range.location, range.length));
    auto isBlank = [](QStringView line) { return line.trimmed().isEmpty(); };

    bool anyContent = false;
    bool allCommented = true;
    for (QStringView line : block.lines) {
        if (isBlank(line))
            continue;
        anyContent = true;
        if (!startsWithCharacters(line.sliced(indentationLength(line)), mark)) {
            allCommented = false;
            break;
        }
    }
    const bool uncomment = anyContent && allCommented;

    QStringList lines;
    lines.reserve(block.lines.size());
    for (QStringView line : block.lines) {
        if (isBlank(line)) {
            lines.append(line.toString());
            continue;
        }
        const qsizetype indent = indentationLength(line);
        const QStringView rest = line.sliced(indent);
        QString changed = line.first(indent).toString();
        if (uncomment) {
            QStringView remainder = rest.sliced(mark.size());
            if (remainder.startsWith(u' '))
                remainder = remainder.sliced(1);
            changed.append(remainder);
        } else {
            changed.append(mark).append(u' ').append(rest);
        }
        lines.append(changed);
    }
    return replaceAndSelect(text, range, joinBlock(lines, block.endsWithLineFeed));
}

TextEdit toggleBlockComment(const QString& text, TextRange selection, const QString& open,
                            const QString& close) {
    const QString opening = open.trimmed();
    const QString closing = close.trimmed();
    if (opening.isEmpty() || closing.isEmpty())
        return TextEdit{text, selection};
    const TextRange range = selection.length <= 0 ? selectedLineRange(text, selection)
                                                  : clampedSelection(selection, text.size());
    const QStringView body = QStringView(text).sliced(range.location, range.length);
    QString replacement;
    if (startsWithCharacters(body, opening) && endsWithCharacters(body, closing)) {
        // Delimiters that overlap ("/*/") leave nothing rather than a negative length.
        const qsizetype from = std::min(opening.size(), body.size());
        const qsizetype to = std::max(body.size() - closing.size(), from);
        QStringView inner = body.sliced(from, to - from);
        while (!inner.isEmpty() && (inner.front() == u' ' || inner.front() == u'\t'))
            inner = inner.sliced(1);
        while (!inner.isEmpty() && (inner.back() == u' ' || inner.back() == u'\t'))
            inner.chop(1);
        replacement = inner.toString();
    } else {
        replacement.reserve(body.size() + opening.size() + closing.size() + 2);
        replacement.append(opening).append(u' ').append(body).append(u' ').append(closing);
    }
    return replaceAndSelect(text, range, replacement);
}

SpliceEdit linesDuplicated(const QString& text, TextRange selection) {
    const TextRange block = selectedLineRange(text, selection);
    QString copy = QStringView(text).sliced(block.location, block.length).toString();
    if (!copy.endsWith(u'\n'))
        copy.prepend(u'\n');
    const qsizetype length = copy.size();
    return SpliceEdit{{block.end(), QString(), std::move(copy)}, TextRange{block.end(), length}};
}

} // namespace dunmoss
