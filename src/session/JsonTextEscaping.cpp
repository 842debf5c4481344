#include "session/JsonTextEscaping.h"

#include <QChar>
#include <QIODevice>
#include <algorithm>
#include <array>
#include <cstring>

namespace dunmoss {

namespace {

constexpr qsizetype kChunk = 64 * 1024;
// Units between two marks: finding an offset escapes at most about this many units again.
constexpr qsizetype kMarkStride = 4096;

// Escapes the units into a fixed buffer handed to `flush` whenever it fills, and calls
// `mark(unit, byte)` at the first unit at or after each stride (every place between two units
// the loop stops at is a clean one: a pair is taken whole). The bytes go straight into the
// buffer: the texts are megabytes, and a call per byte would cost more than the write itself.
template <typename Flush, typename Mark>
bool escapeUnits(QStringView text, qsizetype stride, Flush&& flush, Mark&& mark) {
    static constexpr char kHex[] = "0123456789abcdef";
    // Room for a full chunk and the longest escape (six bytes) after it.
    std::array<char, kChunk + 8> buffer;
    char* out = buffer.data();
    qsizetype flushed = 0;
    const auto put = [&out](char byte) { *out++ = byte; };
    const auto escapeUnit = [&](char16_t unit) {
        put('\\');
        put('u');
        put(kHex[(unit >> 12) & 0xf]);
        put(kHex[(unit >> 8) & 0xf]);
        put(kHex[(unit >> 4) & 0xf]);
        put(kHex[unit & 0xf]);
    };
    const char16_t* const begin = text.utf16();
    const char16_t* at = begin;
    const char16_t* const end = at + text.size();
    qsizetype nextMark = stride > 0 ? stride : text.size() + 1;
    while (at != end) {
        if (at - begin >= nextMark) {
            mark(at - begin, flushed + (out - buffer.data()));
            nextMark = (at - begin) + stride;
        }
        const char16_t unit = *at++;
        if (unit < 0x80) {
            switch (unit) {
            case u'"':
                put('\\');
                put('"');
                break;
            case u'\\':
                put('\\');
                put('\\');
                break;
            case u'\b':
                put('\\');
                put('b');
                break;
            case u'\f':
                put('\\');
                put('f');
                break;
            case u'\n':
                put('\\');
                put('n');
                break;
            case u'\r':
                put('\\');
                put('r');
                break;
            case u'\t':
                put('\\');
                put('t');
                break;
            default:
                if (unit < 0x20)
                    escapeUnit(unit);
                else
                    put(char(unit));
            }
        } else if (unit < 0x800) {
            put(char(0xc0 | (unit >> 6)));
            put(char(0x80 | (unit & 0x3f)));
        } else if (QChar::isHighSurrogate(unit) && at != end && QChar::isLowSurrogate(*at)) {
            const char32_t point = QChar::surrogateToUcs4(unit, *at++);
            put(char(0xf0 | (point >> 18)));
            put(char(0x80 | ((point >> 12) & 0x3f)));
            put(char(0x80 | ((point >> 6) & 0x3f)));
            put(char(0x80 | (point & 0x3f)));
        } else if (QChar::isSurrogate(unit)) {
            escapeUnit(unit);
        } else {
            put(char(0xe0 | (unit >> 12)));
            put(char(0x80 | ((unit >> 6) & 0x3f)));
            put(char(0x80 | (unit & 0x3f)));
        }
        if (out - buffer.data() >= kChunk) {
            const qsizetype size = out - buffer.data();
            if (!flush(buffer.data(), size))
                return false;
            flushed += size;
            out = buffer.data();
        }
    }
    return out == buffer.data() || flush(buffer.data(), out - buffer.data());
}

// The escaped length of units that start and end at clean places.
qsizetype escapedLength(QStringView text) {
    qsizetype length = 0;
    const char16_t* at = text.utf16();
    const char16_t* const end = at + text.size();
    while (at != end) {
        const char16_t unit = *at++;
        if (unit < 0x80) {
            if (unit == u'"' || unit == u'\\' || unit == u'\b' || unit == u'\f' || unit == u'\n' ||
                unit == u'\r' || unit == u'\t')
                length += 2;
            else
                length += unit < 0x20 ? 6 : 1;
        } else if (unit < 0x800) {
            length += 2;
        } else if (QChar::isHighSurrogate(unit) && at != end && QChar::isLowSurrogate(*at)) {
            ++at;
            length += 4;
        } else {
            length += QChar::isSurrogate(unit) ? 6 : 3;
        }
    }
    return length;
}

// Appends the escaped units to the bytes, with marks counted from `unitBase` and the bytes'
// size when it starts.
void appendEscaped(EscapedText& escaped, QStringView text, qsizetype unitBase) {
    const qsizetype byteBase = escaped.bytes.size();
    escaped.bytes.reserve(byteBase + text.size() + text.size() / 8 + 16);
    escapeUnits(
        text, kMarkStride,
        [&escaped](const char* data, qsizetype size) {
            escaped.bytes.append(data, size);
            return true;
        },
        [&](qsizetype unit, qsizetype byte) {
            escaped.marks.push_back({unitBase + unit, byteBase + byte});
        });
}

// How many units from `from` compare equal, a block at a time.
qsizetype equalRun(const char16_t* a, const char16_t* b, qsizetype count) {
    constexpr qsizetype kBlock = 2048;
    qsizetype done = 0;
    while (done + kBlock <= count && std::memcmp(a + done, b + done, kBlock * 2) == 0)
        done += kBlock;
    while (done < count && a[done] == b[done])
        ++done;
    return done;
}

qsizetype equalRunBackwards(const char16_t* aEnd, const char16_t* bEnd, qsizetype count) {
    constexpr qsizetype kBlock = 2048;
    qsizetype done = 0;
    while (done + kBlock <= count &&
           std::memcmp(aEnd - done - kBlock, bEnd - done - kBlock, kBlock * 2) == 0)
        done += kBlock;
    while (done < count && aEnd[-done - 1] == bEnd[-done - 1])
        ++done;
    return done;
}

} // namespace

bool writeEscapedText(QIODevice& device, QStringView text) {
    return escapeUnits(
        text, 0,
        [&device](const char* data, qsizetype size) { return device.write(data, size) == size; },
        [](qsizetype, qsizetype) {});
}

EscapedText escapeText(QStringView text) {
    EscapedText escaped;
    escaped.marks.push_back({0, 0});
    appendEscaped(escaped, text, 0);
    return escaped;
}

qsizetype escapedOffset(const EscapedText& escaped, QStringView text, qsizetype unit) {
    const auto after = std::upper_bound(
        escaped.marks.begin(), escaped.marks.end(), unit,
        [](qsizetype wanted, const EscapedText::Mark& mark) { return wanted < mark.unit; });
    const EscapedText::Mark& from = *(after - 1);
    return from.byte + escapedLength(text.sliced(from.unit, unit - from.unit));
}

EscapedText spliceEscaped(EscapedText base, QStringView baseText, QStringView text,
                          qsizetype prefix, qsizetype suffix) {
    const qsizetype oldFrom = escapedOffset(base, baseText, prefix);
    const qsizetype oldTo = escapedOffset(base, baseText, baseText.size() - suffix);
    EscapedText middle;
    appendEscaped(middle, text.sliced(prefix, text.size() - prefix - suffix), prefix);
    const qsizetype unitShift = text.size() - baseText.size();
    const qsizetype byteShift = middle.bytes.size() - (oldTo - oldFrom);

    EscapedText out;
    out.bytes = std::move(base.bytes);
    out.bytes.replace(oldFrom, oldTo - oldFrom, middle.bytes);
    out.marks.reserve(base.marks.size() + middle.marks.size());
    for (const EscapedText::Mark& mark : base.marks)
        if (mark.unit <= prefix)
            out.marks.push_back(mark);
    for (EscapedText::Mark mark : middle.marks) {
        mark.byte += oldFrom;
        out.marks.push_back(mark);
    }
    for (const EscapedText::Mark& mark : base.marks)
        if (mark.unit >= baseText.size() - suffix && mark.unit > prefix)
            out.marks.push_back({mark.unit + unitShift, mark.byte + byteShift});
    return out;
}

SharedEnds sharedEnds(QStringView a, QStringView b) {
    const qsizetype shorter = std::min(a.size(), b.size());
    SharedEnds ends;
    ends.prefix = equalRun(a.utf16(), b.utf16(), shorter);
    // A pair's halves stay together: a shared run never ends just after a high half.
    while (ends.prefix > 0 && a[ends.prefix - 1].isHighSurrogate())
        --ends.prefix;
    ends.suffix =
        equalRunBackwards(a.utf16() + a.size(), b.utf16() + b.size(), shorter - ends.prefix);
    while (ends.suffix > 0 && a[a.size() - ends.suffix].isLowSurrogate())
        --ends.suffix;
    return ends;
}

} // namespace dunmoss
