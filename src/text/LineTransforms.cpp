// Whole-text and character transforms of the line tools: spaces to tabs, column insert,
// trailing whitespace and case changes.
#include "text/Graphemes.h"
#include "text/LineBlock.h"
#include "text/LineOperations.h"

#include <algorithm>
#include <unicode/ustring.h>
#include <vector>

namespace dunmoss {

namespace {

// ICU's line terminators: a run of blanks before one of them still counts as trailing when
// that terminator is the last thing in the text.
bool isTerminator(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

using CaseMapper = int32_t (*)(UChar*, int32_t, const UChar*, int32_t, const char*, UErrorCode*);

QString mapCase(QStringView text, CaseMapper mapper) {
    if (text.isEmpty())
        return QString();
    const auto* source = reinterpret_cast<const UChar*>(text.utf16());
    const auto map = [&](QString& into, UErrorCode& status) {
        return mapper(reinterpret_cast<UChar*>(into.data()), int32_t(into.size()), source,
                      int32_t(text.size()), "", &status);
    };
    // Mapped once into room for a few expansions (ß to SS); a text that grows more is mapped
    // again into the room ICU asked for. Measuring first would map a long text twice.
    QString mapped(text.size() + text.size() / 8 + 16, Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = map(mapped, status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        mapped = QString(length, Qt::Uninitialized);
        status = U_ZERO_ERROR;
        length = map(mapped, status);
    }
    if (U_FAILURE(status))
        return text.toString();
    mapped.truncate(length);
    return mapped;
}

// Past the end of the line starting at `from` (its line feed included), and whether the line
// is all ASCII.
qsizetype lineAfter(QStringView text, qsizetype from, bool& ascii) {
    ascii = true;
    qsizetype at = from;
    for (; at < text.size(); ++at) {
        const char16_t c = text[at].unicode();
        if (c == u'\n')
            return at + 1;
        ascii = ascii && c < 0x80;
    }
    return at;
}

// The text mapped a line at a time: a line all in ASCII by the one mapping ASCII letters have
// (between `first` and `last` the case bit flips) as it is read, the other lines by ICU, a run
// of them at once. Only the final sigma looks at the letters around it, and never past a line
// feed, which is neither cased nor ignored by the rule, so the result is the one ICU gives for
// the whole text; a long text of source code or logs maps in one pass over it.
QString mapCaseByLines(QStringView text, CaseMapper mapper, char16_t first, char16_t last) {
    constexpr qsizetype kByLinesLength = 4096;
    constexpr qsizetype kAsciiStretch = 1024;
    if (text.size() < kByLinesLength)
        return mapCase(text, mapper);
    const qsizetype length = text.size();
    const char16_t* in = text.utf16();
    QString mapped(length, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(mapped.data());
    qsizetype written = 0;
    qsizetype at = 0;
    while (at < length) {
        qsizetype lineStart = at;
        qsizetype lineWritten = written;
        for (; at < length && in[at] < 0x80; ++at) {
            const char16_t c = in[at];
            out[written++] = char16_t(c - first) <= char16_t(last - first) ? char16_t(c ^ 0x20) : c;
            if (c == u'\n') {
                lineStart = at + 1;
                lineWritten = written;
            }
        }
        if (at == length)
            break;
        // This line holds more than ASCII: it and the lines after it go to ICU, up to a stretch
        // of ASCII lines long enough to leave ICU for (one call per short line between lines
        // that are not ASCII would cost more than mapping them there).
        bool ascii = false;
        qsizetype end = lineAfter(text, at, ascii);
        qsizetype asciiFrom = end;
        while (end < length && end - asciiFrom < kAsciiStretch) {
            end = lineAfter(text, end, ascii);
            if (!ascii)
                asciiFrom = end;
        }
        if (end - asciiFrom >= kAsciiStretch)
            end = asciiFrom;
        // Mapped by ICU straight into the result, with room for a few expansions (ß to SS) and
        // for the rest of the text; mapped again into the room ICU asked for if it grows more.
        const QStringView run = text.sliced(lineStart, end - lineStart);
        const auto map = [&](UErrorCode& status) {
            return mapper(reinterpret_cast<UChar*>(out + lineWritten),
                          int32_t(std::min<qsizetype>(mapped.size() - lineWritten, INT32_MAX)),
                          reinterpret_cast<const UChar*>(run.utf16()), int32_t(run.size()), "",
                          &status);
        };
        const auto makeRoom = [&](qsizetype runMapped) {
            const qsizetype needed = lineWritten + runMapped + (length - end);
            if (needed > mapped.size()) {
                mapped.resize(needed);
                out = reinterpret_cast<char16_t*>(mapped.data());
            }
        };
        makeRoom(run.size() + run.size() / 8 + 16);
        UErrorCode status = U_ZERO_ERROR;
        int32_t runMapped = map(status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            makeRoom(runMapped);
            status = U_ZERO_ERROR;
            runMapped = map(status);
        }
        if (U_FAILURE(status)) {
            runMapped = int32_t(run.size());
            std::copy_n(run.utf16(), run.size(), out + lineWritten);
        }
        written = lineWritten + runMapped;
        at = end;
    }
    mapped.truncate(written);
    return mapped;
}

} // namespace

QString leadingSpacesToTabs(QStringView line, int tabWidth) {
    const qsizetype width = std::max(tabWidth, 1);
    qsizetype spaces = 0;
    while (spaces < line.size() && line[spaces] == u' ')
        ++spaces;
    if (spaces < width)
        return line.toString();
    QString converted(spaces / width, u'\t');
    converted.append(QString(spaces % width, u' '));
    converted.append(line.sliced(spaces));
    return converted;
}

TextEdit spacesToTabsTransform(const QString& text, TextRange selection, int tabWidth) {
    // Lines end at line feeds only: other breaks (VT, FF, NEL, U+2028, U+2029) stay as they
    // are inside their line.
    QString converted;
    converted.reserve(text.size());
    const QStringView view(text);
    qsizetype start = 0;
    while (true) {
        const qsizetype feed = view.indexOf(u'\n', start);
        const QStringView line = view.sliced(start, (feed < 0 ? view.size() : feed) - start);
        converted.append(leadingSpacesToTabs(line, tabWidth));
        if (feed < 0)
            break;
        converted.append(u'\n');
        start = feed + 1;
    }
    const TextRange newSelection = clampedSelection(selection, converted.size());
    return TextEdit{std::move(converted), newSelection};
}

TextEdit insertAtVisualColumn(const QString& text, TextRange selection, int column,
                              const QString& inserted, int tabWidth) {
    if (inserted.isEmpty())
        return TextEdit{text, selection};
    const qsizetype target = std::max(column, 1);
    const qsizetype width = std::max(tabWidth, 1);
    const QStringView view(text);
    const TextRange block = selectedLineRange(text, selection);

    const std::vector<qsizetype> starts = blockLineStarts(view, block);

    // Every insertion lies on its own line, after all earlier lines, so positions found in the
    // original text stay valid when the text is built front to back.
    GraphemeBoundaries graphemes(view);
    struct Insertion {
        qsizetype position;
        qsizetype padding;
    };
    std::vector<Insertion> insertions;
    insertions.reserve(starts.size());
    for (const qsizetype lineStart : starts) {
        const TextRange line = lineRangeOf(view, TextRange{lineStart, 0});
        qsizetype contentEnd = line.end();
        if (line.length > 0 && view[line.end() - 1] == u'\r') {
            contentEnd = line.end() - 1;
        } else if (line.length > 0 && view[line.end() - 1] == u'\n') {
            contentEnd = line.end() - 1;
            if (line.length > 1 && view[line.end() - 2] == u'\r')
                contentEnd = line.end() - 2;
        }
        qsizetype counter = 1;
        qsizetype position = line.location;
        while (counter < target && position < contentEnd) {
            if (view[position] == u'\t') {
                const qsizetype stop = ((counter - 1) / width + 1) * width + 1;
                if (target < stop)
                    break;
                counter = stop;
                ++position;
            } else {
                position = std::min(graphemes.nextBoundary(position), contentEnd);
                ++counter;
            }
        }
        insertions.push_back({position, std::max<qsizetype>(target - counter, 0)});
    }

    QString changed;
    changed.reserve(text.size() + qsizetype(insertions.size()) * (inserted.size() + 4));
    qsizetype copied = 0;
    for (const Insertion& insertion : insertions) {
        changed.append(view.sliced(copied, insertion.position - copied));
        changed.append(QString(insertion.padding, u' '));
        changed.append(inserted);
        copied = insertion.position;
    }
    changed.append(view.sliced(copied));
    const Insertion& first = insertions.front();
    return TextEdit{std::move(changed), TextRange{first.position + first.padding, inserted.size()}};
}

TextEdit trimTrailingWhitespace(const QString& text, TextRange selection) {
    // The same result as removing every match of "[ \t]+(?=\n|$)", in one linear pass: a run
    // of blanks goes when a line feed follows it, when it ends the text, or when only a final
    // line terminator (or CR LF) follows it.
    const QStringView view(text);
    const qsizetype length = view.size();
    QString trimmed;
    qsizetype copied = 0;
    qsizetype i = 0;
    bool changedAnything = false;
    while (i < length) {
        if (view[i] != u' ' && view[i] != u'\t') {
            ++i;
            continue;
        }
        const qsizetype runStart = i;
        while (i < length && (view[i] == u' ' || view[i] == u'\t'))
            ++i;
        const bool trailing = i == length || view[i] == u'\n' ||
                              (i == length - 1 && isTerminator(view[i])) ||
                              (i == length - 2 && view[i] == u'\r' && view[i + 1] == u'\n');
        if (!trailing)
            continue;
        if (!changedAnything) {
            trimmed.reserve(length);
            changedAnything = true;
        }
        trimmed.append(view.sliced(copied, runStart - copied));
        copied = i;
    }
    if (!changedAnything)
        return TextEdit{text, clampedSelection(selection, text.size())};
    trimmed.append(view.sliced(copied));
    const TextRange newSelection = clampedSelection(selection, trimmed.size());
    return TextEdit{std::move(trimmed), newSelection};
}

TextEdit transformSelectedText(const QString& text, TextRange selection,
                               const std::function<QString(QStringView)>& transform) {
    const qsizetype length = text.size();
    const qsizetype start = std::clamp<qsizetype>(selection.location, 0, length);
    const qsizetype count = std::min(length - start, std::max<qsizetype>(selection.length, 0));
    if (count == 0)
        return TextEdit{text, selection};
    // Whole characters only, so a selection edge inside a surrogate pair or before a
    // combining mark never splits what it transforms.
    GraphemeBoundaries graphemes(text);
    const TextRange range = graphemes.widened(TextRange{start, count});
    QString replacement = transform(QStringView(text).sliced(range.location, range.length));
    const TextRange replaced{range.location, replacement.size()};
    if (range.length == length)
        return TextEdit{std::move(replacement), replaced};
    QString changed = text;
    changed.replace(range.location, range.length, replacement);
    return TextEdit{std::move(changed), replaced};
}

QString fullUppercase(QStringView text) {
    return mapCaseByLines(text, &u_strToUpper, u'a', u'z');
}

QString fullLowercase(QStringView text) {
    return mapCaseByLines(text, &u_strToLower, u'A', u'Z');
}

TextEdit uppercaseSelection(const QString& text, TextRange selection) {
    return transformSelectedText(text, selection, fullUppercase);
}

TextEdit lowercaseSelection(const QString& text, TextRange selection) {
    return transformSelectedText(text, selection, fullLowercase);
}

} // namespace dunmoss
