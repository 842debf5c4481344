#include "text/CodeCompletion.h"

#include "platform/IcuRegex.h"
#include "text/CompletionVocabulary.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace dunmoss {

namespace {

bool containsIgnoringCase(const QString& candidate, const QString& prefix) {
    return candidate.contains(prefix, Qt::CaseInsensitive);
}

bool isTokenBoundary(QChar c) {
    return c.isSpace() || c == u'"' || c == u'\'' || c == u'`' || c == u'<' || c == u'>';
}

QString homeFolder() {
    return QDir::homePath();
}

// The identifiers of three or more ASCII characters, once per occurrence, in text order.
void appendIdentifiers(const QString& text, QStringList& candidates) {
    forEachCompletionIdentifier(text, TextRange{0, text.size()}, [&candidates](QStringView word) {
        candidates.append(word.toString());
    });
}

} // namespace

bool offersCompletion(const QString& candidate, const QString& prefix) {
    if (!prefix.isEmpty() && !containsIgnoringCase(candidate, prefix))
        return false;
    return candidate.compare(prefix, Qt::CaseInsensitive) != 0;
}

bool isCompletionPrefixMatch(const QString& candidate, const QString& prefix) {
    return !prefix.isEmpty() && containsIgnoringCase(candidate, prefix) &&
           candidate.toLower().startsWith(prefix.toLower());
}

QCollator caseInsensitiveCollator() {
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

bool forEachCompletionIdentifier(const QString& text, TextRange region,
                                 const std::function<void(QStringView)>& take,
                                 const std::function<bool()>& cancelled) {
    // Never destroyed: a pass on a pool thread may still be reading it while the program ends.
    static const IcuRegex& identifier =
        *new IcuRegex(QStringLiteral(R"re(\b[A-Za-z_][A-Za-z0-9_]{2,}\b)re"));
    try {
        // Transparent bounds: a word the region's edge cuts is no word of the text.
        std::optional<IcuRegexMatcher> matcher;
        if (region == TextRange{0, text.size()})
            matcher.emplace(identifier, text);
        else
            matcher.emplace(identifier, text, region, true, false);
        if (cancelled)
            matcher->stopWhen(cancelled);
        while (matcher->findNext())
            take(matcher->matchedText());
    } catch (const RegexError& error) {
        return !error.isCancelled();
    }
    return true;
}

QStringList leadingCompletions(const QString& text, EditorLanguage language,
                               TextRange selectedRange, const std::optional<QUrl>& fileURL) {
    QStringList candidates =
        pathCompletions(text, selectedRange.location, selectedRange.length, fileURL);
    candidates += completionApiList(language);
    candidates += completionKeywordList(language);
    return candidates;
}

bool completionOrder(const QString& a, const QString& b, const QString& prefix) {
    const bool aFirst = isCompletionPrefixMatch(a, prefix);
    if (aFirst != isCompletionPrefixMatch(b, prefix))
        return aFirst;
    static const QCollator collator = caseInsensitiveCollator();
    return collator.compare(a, b) < 0;
}

QStringList wordCompletions(const QString& text, EditorLanguage language,
                            const QString& partialWord, TextRange selectedRange,
                            const std::optional<QUrl>& fileURL) {
    const QString prefix = partialWord.trimmed();
    QStringList candidates = leadingCompletions(text, language, selectedRange, fileURL);
    appendIdentifiers(text, candidates);

    QStringList kept;
    QSet<QString> seen;
    for (const QString& candidate : std::as_const(candidates)) {
        if (!offersCompletion(candidate, prefix))
            continue;
        if (seen.contains(candidate))
            continue;
        seen.insert(candidate);
        kept.append(candidate);
    }

    // The prefix test runs once per candidate rather than once per comparison.
    struct Ranked {
        bool prefixMatch;
        QString candidate;
    };
    std::vector<Ranked> ranked;
    ranked.reserve(size_t(kept.size()));
    for (const QString& candidate : std::as_const(kept))
        ranked.push_back({isCompletionPrefixMatch(candidate, prefix), candidate});
    const QCollator collator = caseInsensitiveCollator();
    std::stable_sort(ranked.begin(), ranked.end(), [&collator](const Ranked& a, const Ranked& b) {
        if (a.prefixMatch != b.prefixMatch)
            return a.prefixMatch;
        return collator.compare(a.candidate, b.candidate) < 0;
    });
    QStringList result;
    for (size_t i = 0; i < ranked.size() && result.size() < kCompletionLimit; ++i)
        result.append(ranked[i].candidate);
    return result;
}

std::optional<PathCompletionContext> pathCompletionContext(const QString& text, qsizetype caret,
                                                           const std::optional<QUrl>& fileURL) {
    const qsizetype end = std::clamp<qsizetype>(caret, 0, text.size());
    qsizetype start = end;
    while (start > 0 && !isTokenBoundary(text.at(start - 1)))
        --start;
    const QString token = text.mid(start, end - start);
    if (!token.contains(u'/') && !token.startsWith(u'.'))
        return std::nullopt;

    const QString base = fileURL && fileURL->isLocalFile()
                             ? QFileInfo(fileURL->toLocalFile()).absolutePath()
                             : homeFolder();
    const qsizetype slash = token.lastIndexOf(u'/');
    const QString folderPart = slash < 0 ? QString() : token.left(slash + 1);
    PathCompletionContext context;
    context.namePrefix = slash < 0 ? token : token.mid(slash + 1);
    context.directoryPath = folderPart.startsWith(u'/') ? QDir::cleanPath(folderPart)
                                                        : QDir::cleanPath(base + u'/' + folderPart);
    return context;
}

QStringList pathCompletions(const QString& text, qsizetype selectionLocation,
                            qsizetype selectionLength, const std::optional<QUrl>& fileURL) {
    if (selectionLength != 0)
        return {};
    const std::optional<PathCompletionContext> context =
        pathCompletionContext(text, selectionLocation, fileURL);
    if (!context)
        return {};
    const QDir folder(context->directoryPath);
    if (!folder.exists())
        return {};
    QStringList names;
    const QFileInfoList entries =
        folder.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::NoSort);
    for (const QFileInfo& entry : entries) {
        QString name = entry.fileName();
        if (!context->namePrefix.isEmpty() && !containsIgnoringCase(name, context->namePrefix))
            continue;
        if (entry.isDir())
            name += u'/';
        names.append(name);
    }
    return names;
}

std::optional<QString> identifierBeforeIndex(qsizetype index, QStringView text) {
    qsizetype i = std::min(index, text.size());
    if (i <= 0)
        return std::nullopt;
    while (i > 0 && (text.at(i - 1).isSpace() || text.at(i - 1).isSurrogate()))
        --i;
    if (i == 0)
        return std::nullopt;
    const qsizetype end = i;
    while (i > 0) {
        const QChar c = text.at(i - 1);
        if (c.isSurrogate() || !(c.isLetterOrNumber() || c == u'_'))
            break;
        --i;
    }
    if (i == end)
        return std::nullopt;
    return text.sliced(i, end - i).toString();
}

std::optional<QString> callNameBeforeCaret(QStringView text, qsizetype caret) {
    int depth = 0;
    for (qsizetype i = std::clamp<qsizetype>(caret, 0, text.size()) - 1; i >= 0; --i) {
        const QChar c = text.at(i);
        if (c == u')') {
            ++depth;
        } else if (c == u'(') {
            if (depth == 0)
                return identifierBeforeIndex(i, text);
            --depth;
        } else if (c == u'\n' || c == u'\r') {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

QString parameterHint(const QString& text, EditorLanguage language, TextRange selectedRange) {
    if (selectedRange.length != 0)
        return {};
    const std::optional<QString> name = callNameBeforeCaret(text, selectedRange.location);
    if (!name)
        return {};
    return parameterHintTable(language).value(*name);
}

} // namespace dunmoss
