#include "editor/ShapingPieces.h"

#include <QFont>
#include <QFontInfo>
#include <QGlyphRun>
#include <QHash>
#include <QMutex>
#include <QRawFont>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>
#include <array>
#include <tuple>

namespace dunmoss {

namespace {

// Marks the ranges added here; Qt draws nothing differently for a user property.
constexpr int kPieceProperty = QTextFormat::UserProperty + 0x5150;

// Whether the character joins the one before it into one cluster (or may be shaped with it):
// no piece ends before it.
bool joinsPrevious(char32_t c) {
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Other_Format:
        return true;
    default:
        break;
    }
    return (c >= 0x1160 && c <= 0x11FF) ||   // conjoining vowels and final consonants
           (c >= 0xD7B0 && c <= 0xD7FF) ||   // the same, extended
           (c >= 0x1F1E6 && c <= 0x1F1FF) || // regional indicators pair up into flags
           (c >= 0x1F3FB && c <= 0x1F3FF);   // emoji skin tones
}

// What a character is to the pieces. Qt shapes each script with the fallback families of its
// own, so each of these scripts is named its own family.
enum class Kind {
    Joining, // continues the piece before it
    Common,  // punctuation and the like: continues the piece before it too
    Other,   // any other script
    Han,
    Hiragana,
    Katakana,
    Hangul,
    Bopomofo,
};
bool isNamed(Kind kind) {
    return kind >= Kind::Han;
}

Kind findKindOf(char32_t c) {
    if (joinsPrevious(c))
        return Kind::Joining;
    switch (QChar::script(c)) {
    case QChar::Script_Common:
    case QChar::Script_Inherited:
        return Kind::Common;
    case QChar::Script_Han:
        // Radicals are drawn from other families than the ideographs on some systems.
        return c >= 0x2E80 && c <= 0x2FDF ? Kind::Other : Kind::Han;
    case QChar::Script_Hiragana:
        return Kind::Hiragana;
    case QChar::Script_Katakana:
        return Kind::Katakana;
    case QChar::Script_Hangul:
        return Kind::Hangul;
    case QChar::Script_Bopomofo:
        return Kind::Bopomofo;
    default:
        return Kind::Other;
    }
}

// Looked up in a table for the first plane: a long line is cut into pieces on every key.
Kind kindOf(char32_t c) {
    static const std::array<Kind, 0x10000> basic = [] {
        std::array<Kind, 0x10000> kinds{};
        for (char32_t u = 0; u < 0x10000; ++u)
            kinds[u] = findKindOf(u);
        return kinds;
    }();
    return c < 0x10000 ? basic[c] : findKindOf(c);
}

char32_t codePointAt(QStringView text, qsizetype i) {
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(c, text[i + 1]);
    return c.unicode();
}

// A probe of one script: its letters, every one in its blocks or a sample of the ideographs and
// syllables, with the punctuation such text uses between them; Latin letters around it.
struct Probe {
    QString text;
    int bodyStart = 0;  // where the script's letters start
    int bodyLength = 0; // up to the Latin letters after them
};

Probe probeOf(Kind kind) {
    Probe probe;
    probe.text = QStringLiteral("Ag é ");
    probe.bodyStart = int(probe.text.size());
    QString punctuation = QStringLiteral("0123456789.,:;!?()-+* ");
    for (char32_t c = 0x3000; c <= 0x303F; ++c)
        if (kindOf(c) == Kind::Common && QChar::isPrint(c))
            punctuation += QChar(char16_t(c));
    for (char32_t c = 0xFF00; c <= 0xFFEF; ++c)
        if (kindOf(c) == Kind::Common && QChar::isPrint(c))
            punctuation += QChar(char16_t(c));
    const auto add = [&](char32_t from, char32_t to, char32_t step) {
        qsizetype added = 0;
        for (char32_t c = from; c <= to; c += step)
            if (kindOf(c) == kind && QChar::isPrint(c)) {
                probe.text += QChar(char16_t(c));
                // Punctuation after the script's letters, where it takes their script.
                if (++added % 8 == 0 && !punctuation.isEmpty())
                    probe.text += punctuation.at((added / 8) % punctuation.size());
            }
    };
    add(0x3000, 0x31FF, 1);
    add(0x3400, 0x4DBF, 331);
    add(0x4E00, 0x9FFF, 97);
    add(0xAC00, 0xD7A3, 149);
    add(0xF900, 0xFAFF, 23);
    add(0xFF00, 0xFFEF, 1);
    probe.text += punctuation;
    probe.text += u' ';
    probe.bodyLength = int(probe.text.size()) - probe.bodyStart;
    probe.text += QStringLiteral("xy");
    return probe;
}

// Every glyph drawn: its family, index and place, in one order whatever runs Qt groups them in.
struct Drawn {
    struct Glyph {
        QString family;
        quint32 index = 0;
        qreal x = 0;
        qreal y = 0;
        bool operator==(const Glyph&) const = default;
        bool operator<(const Glyph& other) const {
            return std::tie(x, y, index, family) <
                   std::tie(other.x, other.y, other.index, other.family);
        }
    };
    QList<Glyph> glyphs;
    qreal ascent = 0;
    qreal descent = 0;
    bool operator==(const Drawn&) const = default;
    // The families drawing any glyph, in the order their first glyph stands in the text.
    QStringList families() const {
        QList<Glyph> byPlace = glyphs;
        std::sort(byPlace.begin(), byPlace.end(),
                  [](const Glyph& a, const Glyph& b) { return a.x < b.x; });
        QStringList found;
        for (const Glyph& glyph : byPlace)
            if (!found.contains(glyph.family))
                found.append(glyph.family);
        return found;
    }
};

Drawn drawn(const QString& text, const QFont& font, const QList<QTextLayout::FormatRange>& ranges) {
    QTextLayout layout(text, font);
    layout.setFormats(ranges);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    Drawn result;
    result.ascent = line.ascent();
    result.descent = line.descent();
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QString family = run.rawFont().familyName();
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size(); ++i)
            result.glyphs.append({family, indexes.at(i), positions.at(i).x(), positions.at(i).y()});
    }
    std::sort(result.glyphs.begin(), result.glyphs.end());
    return result;
}

QTextCharFormat pieceFormat() {
    QTextCharFormat format;
    format.setProperty(kPieceProperty, true);
    return format;
}

std::optional<QStringList> findFamiliesFor(const QFont& font, Kind kind) {
    const Probe probe = probeOf(kind);
    if (probe.bodyLength <= 1)
        return std::nullopt;
    const QString own = QFontInfo(font).family();
    // The families drawing the script's text now besides the font's own; a few at most.
    const Drawn now = drawn(probe.text, font, {});
    QStringList fallbacks = now.families();
    fallbacks.removeAll(own);
    constexpr qsizetype kMostFallbacks = 3;
    if (fallbacks.isEmpty() || fallbacks.size() > kMostFallbacks)
        return std::nullopt;
    QFont bold = font;
    bold.setBold(true);
    const Drawn boldNow = drawn(probe.text, bold, {});
    // Named in the order Qt falls back to them, after the font's own or (where Qt prefers the
    // fallback for the script's text even where the font has a glyph) alone.
    std::sort(fallbacks.begin(), fallbacks.end());
    do {
        for (const QStringList& families : {QStringList{own} + fallbacks, fallbacks}) {
            QTextLayout::FormatRange named;
            named.start = probe.bodyStart;
            named.length = probe.bodyLength;
            named.format = pieceFormat();
            named.format.setFontFamilies(families);
            if (now == drawn(probe.text, font, {named}) &&
                boldNow == drawn(probe.text, bold, {named}))
                return families;
        }
    } while (std::next_permutation(fallbacks.begin(), fallbacks.end()));
    return std::nullopt;
}

// The families named for a font's script, found once (by the font's key and the script).
std::optional<QStringList> familiesFor(const QFont& font, Kind kind) {
    static QMutex mutex;
    static QHash<QString, std::optional<QStringList>> known;
    const QString key = font.key() + u'|' + QString::number(int(kind));
    {
        const QMutexLocker lock(&mutex);
        if (const auto found = known.constFind(key); found != known.constEnd())
            return *found;
    }
    std::optional<QStringList> families = findFamiliesFor(font, kind);
    const QMutexLocker lock(&mutex);
    known.insert(key, families);
    return families;
}

} // namespace

std::optional<QStringList> familiesNamedFor(const QFont& font, char32_t c) {
    const Kind kind = kindOf(c);
    if (!isNamed(kind))
        return std::nullopt;
    return familiesFor(font, kind);
}

bool isShapingPiece(const QTextLayout::FormatRange& range) {
    return range.format.hasProperty(kPieceProperty);
}

QList<QTextLayout::FormatRange> shapingPiecesOf(QStringView text, const QFont& font) {
    QList<QTextLayout::FormatRange> pieces;
    qsizetype start = 0;
    Kind startKind = Kind::Other;
    // The format of each kind of piece, made at its first piece.
    std::array<std::optional<QTextCharFormat>, size_t(Kind::Bopomofo) + 1> formats;
    const auto end = [&](qsizetype at) {
        std::optional<QTextCharFormat>& format = formats[size_t(startKind)];
        if (!format) {
            format = pieceFormat();
            if (isNamed(startKind))
                if (const std::optional<QStringList> named = familiesFor(font, startKind))
                    format->setFontFamilies(*named);
        }
        QTextLayout::FormatRange piece;
        piece.start = int(start);
        piece.length = int(at - start);
        piece.format = *format;
        pieces.append(piece);
        start = at;
    };
    const qsizetype length = text.size();
    for (qsizetype i = 0; i < length; ++i) {
        // The second half of a pair belongs to the first.
        if (text[i].isLowSurrogate())
            continue;
        const Kind kind = kindOf(codePointAt(text, i));
        if (kind == Kind::Joining || kind == Kind::Common)
            continue;
        if (i == start) {
            startKind = kind;
            continue;
        }
        // A piece of letters of one script ends where another script starts, or between two of
        // its own letters once long enough; other text ends one only after a space.
        const bool longEnough = i - start >= kShapingPieceLength;
        if (kind != startKind ||
            (longEnough && (isNamed(kind) || (text[i - 1] == u' ' && kind == Kind::Other)))) {
            end(i);
            startKind = kind;
        }
    }
    if (start < length)
        end(length);
    // One piece that names no family changes nothing.
    if (pieces.size() == 1 && !pieces.first().format.hasProperty(QTextFormat::FontFamilies))
        pieces.clear();
    return pieces;
}

QList<QTextLayout::FormatRange> withShapingPieces(const QTextBlock& block,
                                                  QList<QTextLayout::FormatRange> formats) {
    formats.removeIf(isShapingPiece);
    const int length = block.length() - 1;
    if (length < kShapingPiecesMinimumLength || !block.document())
        return formats;
    // Plain Latin is not shaped at all (PlainShaping.h).
    if (std::any_of(formats.cbegin(), formats.cend(), [](const QTextLayout::FormatRange& range) {
            return range.format.hasProperty(QTextFormat::FontStyleStrategy);
        }))
        return formats;
    formats += shapingPiecesOf(block.text(), block.document()->defaultFont());
    return formats;
}

} // namespace dunmoss
