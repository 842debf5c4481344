#include "editor/PlainShaping.h"

#include "editor/PerFontCache.h"

#include <QFont>
#include <QGlyphRun>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>

namespace dunmoss {

namespace {

bool isPlainLatinUnit(char16_t c) {
    return c == u'\t' || (c >= 0x20 && c <= 0x7e) || (c >= 0xa0 && c <= 0xff);
}

bool isNoShapingRange(const QTextLayout::FormatRange& range) {
    return range.format.hasProperty(QTextFormat::FontStyleStrategy);
}

// Every ordered pair of the Basic Latin characters, each Latin-1 one between letters, then the
// sequences fonts with programming ligatures join.
QString probeText() {
    QString text;
    for (char16_t a = 0x20; a <= 0x7e; ++a)
        for (char16_t b = 0x20; b <= 0x7e; ++b) {
            text += QChar(a);
            text += QChar(b);
        }
    for (char16_t c = 0xa0; c <= 0xff; ++c) {
        text += QChar(c);
        text += QStringLiteral("a0");
    }
    text += QStringLiteral(" www ffi ffl fff === !== <!-- --> <=> ::= ... ||| &&& /**/ ### "
                           "<<< >>> |> <| ~> ->> <<- =>> .= .- .? ?. ?? ;; :: 0x12 1x2 ");
    return text;
}

struct Glyphs {
    QList<quint32> indexes;
    QList<QPointF> positions;
    bool operator==(const Glyphs&) const = default;
};

Glyphs laidOut(const QString& text, const QFont& font) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    Glyphs glyphs;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        glyphs.indexes += run.glyphIndexes();
        glyphs.positions += run.positions();
    }
    return glyphs;
}

bool drawsUnshaped(const QFont& font) {
    static const QString probe = probeText();
    QFont unshaped = font;
    unshaped.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::PreferNoShaping));
    return laidOut(probe, font) == laidOut(probe, unshaped);
}

} // namespace

bool isPlainLatin(QStringView text) {
    // In pieces without an early exit, which the compiler turns into vector code: lines of
    // millions of characters are checked on every change of font.
    constexpr qsizetype kPiece = 4096;
    const char16_t* units = text.utf16();
    for (qsizetype start = 0; start < text.size(); start += kPiece) {
        const qsizetype end = std::min(text.size(), start + kPiece);
        bool plain = true;
        for (qsizetype i = start; i < end; ++i)
            plain &= isPlainLatinUnit(units[i]);
        if (!plain)
            return false;
    }
    return true;
}

bool fontDrawsLatinUnshaped(const QFont& font) {
    static PerFontCache<bool> known;
    return known.get(font, [](const QFont& regular) {
        QFont bold = regular;
        bold.setBold(true);
        return drawsUnshaped(regular) && drawsUnshaped(bold);
    });
}

bool laidOutUnshaped(const QTextBlock& block) {
    const QTextLayout* layout = block.isValid() ? block.layout() : nullptr;
    if (!layout)
        return false;
    const QList<QTextLayout::FormatRange> formats = layout->formats();
    return !formats.isEmpty() && isNoShapingRange(formats.constLast());
}

QList<QTextLayout::FormatRange> withPlainShaping(const QTextBlock& block,
                                                 QList<QTextLayout::FormatRange> formats) {
    const int length = block.length() - 1;
    const bool qualifies = length >= kPlainShapingMinimumLength && block.document() &&
                           fontDrawsLatinUnshaped(block.document()->defaultFont()) &&
                           isPlainLatin(block.text());
    // Already so (colours moved by a key): left as it is rather than copied range by range,
    // which a line of thousands of colours would cost on every key.
    const auto isAll = [&](const QTextLayout::FormatRange& range) {
        return range.start == 0 && range.length == length && isNoShapingRange(range);
    };
    if (qualifies && !formats.isEmpty() && isAll(formats.constLast()) &&
        std::none_of(formats.cbegin(), formats.cend() - 1, isNoShapingRange))
        return formats;
    formats.removeIf(isNoShapingRange);
    if (!qualifies)
        return formats;
    QTextLayout::FormatRange all;
    all.start = 0;
    all.length = length;
    all.format.setFontStyleStrategy(QFont::PreferNoShaping);
    formats.append(all);
    return formats;
}

} // namespace dunmoss
