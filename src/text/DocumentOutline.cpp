#include "text/DocumentOutline.h"

#include "platform/IcuRegex.h"
#include "text/LineStartIndex.h"

#include <QSet>
#include <algorithm>

namespace dunmoss {

namespace {

const QString kDeclarationPattern = QStringLiteral(
    R"re(^\s*(?:public|private|fileprivate|internal|open)?\s*(actor|class|struct|enum|protocol|extension|func)\s+([A-Za-z_][A-Za-z0-9_]*))re");
const QString kHeadingPattern = QStringLiteral(R"re(^(#{1,6})\s+(.+)$)re");
const QString kDefinitionPattern =
    QStringLiteral(R"re(^\s*(def|class)\s+([A-Za-z_][A-Za-z0-9_]*))re");
const QString kJsonPattern = QStringLiteral(R"re(^\s*"([^"]+)"\s*:\s*(?:\{|\[))re");
const QString kScriptPattern = QStringLiteral(
    R"re(^\s*(?:export\s+)?(?:async\s+)?(?:function|class)\s+([A-Za-z_$][A-Za-z0-9_$]*))re");
const QString kArrowPattern = QStringLiteral(
    R"re(^\s*(?:const|let|var)\s+([A-Za-z_$][A-Za-z0-9_$]*)\s*=\s*(?:async\s*)?\(?[^=]*\)?\s*=>)re");
const QString kTagPattern = QStringLiteral(R"re(^\s*<([A-Za-z][A-Za-z0-9:_-]*)(?:\s|>|$))re");
const QString kCssPattern = QStringLiteral(R"re(^\s*([^@{}\s][^{}]+)\s*\{)re");
const QString kKeyPattern = QStringLiteral(R"re(^\s*([A-Za-z_][A-Za-z0-9_\.-]+)\s*[:=])re");
const QString kCodePattern =
    QStringLiteral(R"re(^\s*(?:function|func|def|class)\s+([A-Za-z_][A-Za-z0-9_]*))re");

// Line numbers come from one table of line starts per text, searched by bisection.
class OutlineScan {
public:
    explicit OutlineScan(const QString& text) : m_text(text) {}

    // Regions (none: the whole text) limit where matches are found; the text around them stays
    // visible, so "^" and "\s" keep their meaning.
    QList<DocumentOutlineItem> matches(const QString& pattern, int titleGroup,
                                       std::optional<int> detailGroup,
                                       const std::optional<QString>& fixedDetail,
                                       const QList<TextRange>& regions = {{0, -1}}) {
        QList<DocumentOutlineItem> items;
        try {
            const IcuRegex regex(pattern, IcuRegex::AnchorsMatchLines);
            if (titleGroup > regex.captureGroupCount() ||
                (detailGroup && *detailGroup > regex.captureGroupCount()))
                return items;
            for (const TextRange& region : regions)
                collect(regex, region, titleGroup, detailGroup, fixedDetail, items);
        } catch (const RegexError&) {
            // A pattern that does not compile, or a run that fails, lists nothing more.
        }
        return items;
    }

    QList<DocumentOutlineItem> fixed(const QString& pattern, const QString& detail,
                                     const QList<TextRange>& regions = {{0, -1}}) {
        return matches(pattern, 1, std::nullopt, detail, regions);
    }

private:
    void collect(const IcuRegex& regex, TextRange region, int titleGroup,
                 std::optional<int> detailGroup, const std::optional<QString>& fixedDetail,
                 QList<DocumentOutlineItem>& items) {
        if (region.length < 0)
            region = {0, m_text.size()};
        IcuRegexMatcher matcher(regex, m_text, region, true, false);
        while (matcher.findNext()) {
            const TextRange title = matcher.group(titleGroup);
            if (title.isNotFound())
                continue;
            const TextRange match = matcher.range();
            DocumentOutlineItem item;
            item.id = QUuid::createUuid();
            item.title = m_text.mid(title.location, title.length);
            if (fixedDetail) {
                item.detail = *fixedDetail;
            } else if (detailGroup) {
                const TextRange detail = matcher.group(*detailGroup);
                if (!detail.isNotFound())
                    item.detail = m_text.mid(detail.location, detail.length);
            }
            item.line = int(lineOf(match.location));
            item.range = match;
            items.append(std::move(item));
        }
    }

    qsizetype lineOf(qsizetype location) {
        if (!m_indexBuilt) {
            m_lines.bringUpToDate(m_text);
            m_indexBuilt = true;
        }
        return m_lines.lineNumberOfCharacter(location);
    }

    const QString& m_text;
    LineStartIndex m_lines;
    bool m_indexBuilt = false;
};

QList<DocumentOutlineItem> scriptItems(OutlineScan& scan) {
    return scan.fixed(kScriptPattern, QStringLiteral("JS")) +
           scan.fixed(kArrowPattern, QStringLiteral("JS"));
}

} // namespace

QList<DocumentOutlineItem> extractOutlineMatches(const QString& pattern, const QString& text,
                                                 int titleGroup, std::optional<int> detailGroup,
                                                 std::optional<QString> fixedDetail) {
    OutlineScan scan(text);
    return scan.matches(pattern, titleGroup, detailGroup, fixedDetail);
}

QList<DocumentOutlineItem> extractJSONOutline(const QString& text) {
    OutlineScan scan(text);
    return scan.fixed(kJsonPattern, QStringLiteral("JSON"));
}

QList<DocumentOutlineItem> extractScriptOutline(const QString& text) {
    OutlineScan scan(text);
    return scriptItems(scan);
}

QList<DocumentOutlineItem> extractTagOutline(const QString& text) {
    OutlineScan scan(text);
    return scan.fixed(kTagPattern, QStringLiteral("Tag"));
}

// A selector match cannot cross a brace and ends at a "{", so it lies between that "{" and the
// brace before it. Searching only those stretches finds the same matches without every line
// start of a brace-free stretch scanning on to its end (quadratic on a long one).
QList<TextRange> stretchesEndingInOpeningBraces(const QString& text) {
    QList<TextRange> stretches;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'{')
            stretches.append({start, i + 1 - start});
        if (c == u'{' || c == u'}')
            start = i + 1;
    }
    return stretches;
}

QList<DocumentOutlineItem> extractCSSOutline(const QString& text) {
    OutlineScan scan(text);
    return scan.fixed(kCssPattern, QStringLiteral("CSS"), stretchesEndingInOpeningBraces(text));
}

QList<DocumentOutlineItem> extractKeyOutline(const QString& text) {
    OutlineScan scan(text);
    return scan.fixed(kKeyPattern, QStringLiteral("Item"));
}

QList<DocumentOutlineItem> extractCodeOutline(const QString& text) {
    OutlineScan scan(text);
    return scan.fixed(kCodePattern, QStringLiteral("Code"));
}

QList<DocumentOutlineItem> extractAllOutlines(const QString& text) {
    OutlineScan scan(text);
    QList<DocumentOutlineItem> items = scan.matches(kDeclarationPattern, 2, 1, std::nullopt);
    items += scan.matches(kHeadingPattern, 2, 1, std::nullopt);
    items += scan.fixed(kJsonPattern, QStringLiteral("JSON"));
    items += scriptItems(scan);
    items += scan.matches(kDefinitionPattern, 2, 1, std::nullopt);
    items += scan.fixed(kTagPattern, QStringLiteral("Tag"));
    items += scan.fixed(kCodePattern, QStringLiteral("Code"));
    std::stable_sort(items.begin(), items.end(),
                     [](const DocumentOutlineItem& a, const DocumentOutlineItem& b) {
                         return a.range.location < b.range.location;
                     });
    QSet<QString> seen;
    QList<DocumentOutlineItem> kept;
    for (DocumentOutlineItem& item : items) {
        const QString key = QString::number(item.line) + u':' + item.title;
        if (seen.contains(key))
            continue;
        seen.insert(key);
        kept.append(std::move(item));
    }
    return kept;
}

QList<DocumentOutlineItem> extractOutline(const QString& text, EditorLanguage language) {
    switch (language) {
    case EditorLanguage::PlainText:
        return extractAllOutlines(text);
    case EditorLanguage::Swift:
        return extractOutlineMatches(kDeclarationPattern, text, 2, 1);
    case EditorLanguage::Markdown:
        return extractOutlineMatches(kHeadingPattern, text, 2, 1);
    case EditorLanguage::Python:
        return extractOutlineMatches(kDefinitionPattern, text, 2, 1);
    case EditorLanguage::Json:
        return extractJSONOutline(text);
    case EditorLanguage::Javascript:
    case EditorLanguage::Typescript:
        return extractScriptOutline(text);
    case EditorLanguage::Html:
    case EditorLanguage::Xml:
        return extractTagOutline(text);
    case EditorLanguage::Css:
        return extractCSSOutline(text);
    case EditorLanguage::Shell:
    case EditorLanguage::Sql:
    case EditorLanguage::Yaml:
        return extractKeyOutline(text);
    case EditorLanguage::Cpp:
    case EditorLanguage::Java:
    case EditorLanguage::Csharp:
    case EditorLanguage::Go:
    case EditorLanguage::Rust:
    case EditorLanguage::Ruby:
    case EditorLanguage::Php:
    case EditorLanguage::Kotlin:
    case EditorLanguage::Code:
        return extractCodeOutline(text);
    }
    return {};
}

} // namespace dunmoss
