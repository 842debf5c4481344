#include "text/DocumentOutline.h"

#include "platform/IcuCharacterClasses.h"
#include "platform/IcuRegex.h"
#include "text/BlankLedSearch.h"
#include "text/LineStartIndex.h"

#include <QSet>
#include <algorithm>

namespace dunmoss {

namespace {

// Most patterns are line-anchored and begin with blanks: "^\s*" followed by what is kept here.
// Each of these rests begins with a character that is not blank (or with optional parts and
// blanks before one), so it can only match from the first non-blank character after a line
// start; OutlineScan::blankLed relies on that.
const QString kDeclarationRest = QStringLiteral(
    R"re((?:public|private|fileprivate|internal|open)?\s*(actor|class|struct|enum|protocol|extension|func)\s+([A-Za-z_][A-Za-z0-9_]*))re");
const QString kHeadingPattern = QStringLiteral(R"re(^(#{1,6})\s+(.+)$)re");
const QString kDefinitionRest = QStringLiteral(R"re((def|class)\s+([A-Za-z_][A-Za-z0-9_]*))re");
const QString kJsonRest = QStringLiteral(R"re("([^"]+)"\s*:\s*(?:\{|\[))re");
const QString kScriptRest = QStringLiteral(
    R"re((?:export\s+)?(?:async\s+)?(?:function|class)\s+([A-Za-z_$][A-Za-z0-9_$]*))re");
// Written as "\s*=\s*(?:async\s*)?\(?[^=]*\)?\s*=>" after the name, which matches exactly when
// the first "=" after the assignment's is followed by ">"; said that way it cannot backtrack
// over a long stretch without "=" (cubic in its blanks).
const QString kArrowRest =
    QStringLiteral(R"re((?:const|let|var)\s+([A-Za-z_$][A-Za-z0-9_$]*)\s*=[^=]*+=>)re");
const QString kTagRest = QStringLiteral(R"re(<([A-Za-z][A-Za-z0-9:_-]*)(?:\s|>|$))re");
const QString kCssRest = QStringLiteral(R"re(([^@{}\s][^{}]+)\s*\{)re");
const QString kKeyRest = QStringLiteral(R"re(([A-Za-z_][A-Za-z0-9_\.-]+)\s*[:=])re");
const QString kCodeRest =
    QStringLiteral(R"re((?:function|func|def|class)\s+([A-Za-z_][A-Za-z0-9_]*))re");

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
        return run(pattern, false, titleGroup, detailGroup, fixedDetail, regions);
    }

    // The matches of "^\s*" followed by `rest`, the same as matches() gives for that pattern
    // (see BlankLedSearch).
    QList<DocumentOutlineItem> blankLed(const QString& rest, int titleGroup,
                                        std::optional<int> detailGroup,
                                        const std::optional<QString>& fixedDetail,
                                        const QList<TextRange>& regions = {{0, -1}}) {
        return run(rest, true, titleGroup, detailGroup, fixedDetail, regions);
    }

    QList<DocumentOutlineItem> fixed(const QString& rest, const QString& detail,
                                     const QList<TextRange>& regions = {{0, -1}}) {
        return blankLed(rest, 1, std::nullopt, detail, regions);
    }

private:
    QList<DocumentOutlineItem> run(const QString& pattern, bool blankLed, int titleGroup,
                                   std::optional<int> detailGroup,
                                   const std::optional<QString>& fixedDetail,
                                   const QList<TextRange>& regions) {
        QList<DocumentOutlineItem> items;
        try {
            const IcuRegex regex(pattern, IcuRegex::AnchorsMatchLines);
            if (titleGroup > regex.captureGroupCount() ||
                (detailGroup && *detailGroup > regex.captureGroupCount()))
                return items;
            for (TextRange region : regions) {
                if (region.length < 0)
                    region = {0, m_text.size()};
                IcuRegexMatcher matcher(regex, m_text, region, true, false);
                const Collect collect{titleGroup, detailGroup, fixedDetail};
                if (blankLed)
                    collectBlankLed(matcher, collect, items);
                else
                    while (matcher.findNext())
                        append(matcher, matcher.range().location, collect, items);
            }
        } catch (const RegexError&) {
            // A pattern that does not compile, or a run that fails, lists nothing more.
        }
        return items;
    }

    struct Collect {
        int titleGroup;
        std::optional<int> detailGroup;
        const std::optional<QString>& fixedDetail;
    };

    void collectBlankLed(IcuRegexMatcher& matcher, const Collect& collect,
                         QList<DocumentOutlineItem>& items) {
        BlankLedSearch search(matcher, m_text, false);
        for (qsizetype start = search.findNext(); start >= 0; start = search.findNext())
            append(matcher, start, collect, items);
    }

    void append(const IcuRegexMatcher& matcher, qsizetype matchStart, const Collect& collect,
                QList<DocumentOutlineItem>& items) {
        const TextRange title = matcher.group(collect.titleGroup);
        if (title.isNotFound())
            return;
        const qsizetype start = ownLineStart(matchStart, matcher.range().end());
        DocumentOutlineItem item;
        item.id = QUuid::createUuid();
        item.title = m_text.mid(title.location, title.length);
        if (collect.fixedDetail) {
            item.detail = *collect.fixedDetail;
        } else if (collect.detailGroup) {
            const TextRange detail = matcher.group(*collect.detailGroup);
            if (!detail.isNotFound())
                item.detail = m_text.mid(detail.location, detail.length);
        }
        item.line = int(lineOf(start));
        item.range = {start, matcher.range().end() - start};
        items.append(std::move(item));
    }

    // Where the landmark's own line starts: a leading "\s*" that took in blank lines above it
    // would list and select the first of them (selecting it too, so typing would delete it).
    // A match that starts on its landmark's line keeps its start.
    qsizetype ownLineStart(qsizetype start, qsizetype end) {
        qsizetype first = start;
        while (first < end && isIcuWhiteSpace(m_text.at(first)))
            ++first;
        if (first == start)
            return start;
        return std::max(start, m_lines.lineStart(lineOf(first)));
    }

    qsizetype lineOf(qsizetype location) {
        if (!m_indexBuilt) {
            m_lines.reset(m_text);
            m_indexBuilt = true;
        }
        return m_lines.lineNumberOfCharacter(location);
    }

    const QString& m_text;
    LineStartIndex m_lines;
    bool m_indexBuilt = false;
};

QList<DocumentOutlineItem> scriptItems(OutlineScan& scan) {
    return scan.fixed(kScriptRest, QStringLiteral("JS")) +
           scan.fixed(kArrowRest, QStringLiteral("JS"));
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
    return scan.fixed(kJsonRest, QStringLiteral("JSON"));
}

QList<DocumentOutlineItem> extractScriptOutline(const QString& text) {
    OutlineScan scan(text);
    return scriptItems(scan);
}

QList<DocumentOutlineItem> extractTagOutline(const QString& text) {
    OutlineScan scan(text);
    return scan.fixed(kTagRest, QStringLiteral("Tag"));
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
    return scan.fixed(kCssRest, QStringLiteral("CSS"), stretchesEndingInOpeningBraces(text));
}

QList<DocumentOutlineItem> extractKeyOutline(const QString& text) {
    OutlineScan scan(text);
    return scan.fixed(kKeyRest, QStringLiteral("Item"));
}

QList<DocumentOutlineItem> extractCodeOutline(const QString& text) {
    OutlineScan scan(text);
    return scan.fixed(kCodeRest, QStringLiteral("Code"));
}

QList<DocumentOutlineItem> extractAllOutlines(const QString& text) {
    OutlineScan scan(text);
    QList<DocumentOutlineItem> items = scan.blankLed(kDeclarationRest, 2, 1, std::nullopt);
    items += scan.matches(kHeadingPattern, 2, 1, std::nullopt);
    items += scan.fixed(kJsonRest, QStringLiteral("JSON"));
    items += scriptItems(scan);
    items += scan.blankLed(kDefinitionRest, 2, 1, std::nullopt);
    items += scan.fixed(kTagRest, QStringLiteral("Tag"));
    items += scan.fixed(kCodeRest, QStringLiteral("Code"));
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
    case EditorLanguage::Swift: {
        OutlineScan scan(text);
        return scan.blankLed(kDeclarationRest, 2, 1, std::nullopt);
    }
    case EditorLanguage::Markdown:
        return extractOutlineMatches(kHeadingPattern, text, 2, 1);
    case EditorLanguage::Python: {
        OutlineScan scan(text);
        return scan.blankLed(kDefinitionRest, 2, 1, std::nullopt);
    }
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
