#include "text/FolderPatterns.h"

#include <QDir>

namespace dunmoss {

namespace {

bool wholeMatch(const IcuRegex& regex, const QString& text) {
    IcuRegexMatcher matcher(regex, text);
    return matcher.findNext();
}

QString lastComponent(const QString& path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// The path below the root with "/" trimmed from both ends; the file name when the file does
// not lie below the root.
QString relativePathBelow(const QString& filePath, const QString& rootPath) {
    const bool below = rootPath == QStringLiteral("/") ? filePath.startsWith(u'/')
                                                       : filePath.startsWith(rootPath) &&
                                                             (filePath.size() == rootPath.size() ||
                                                              filePath.at(rootPath.size()) == u'/');
    if (!below)
        return lastComponent(filePath);
    QStringView rest =
        QStringView(filePath).sliced(rootPath == QStringLiteral("/") ? 0 : rootPath.size());
    while (rest.startsWith(u'/'))
        rest = rest.sliced(1);
    while (rest.endsWith(u'/'))
        rest.chop(1);
    return rest.toString();
}

QList<QStringList> candidatesOf(const QStringList& patterns) {
    QList<QStringList> all;
    all.reserve(patterns.size());
    for (const QString& pattern : patterns)
        all.append(wildcardPatternCandidates(pattern));
    return all;
}

} // namespace

const IcuRegex* WildcardRegexCache::expressionFor(const QString& candidate) {
    if (const auto it = compiled.constFind(candidate); it != compiled.constEnd())
        return &it.value();
    if (failed.contains(candidate))
        return nullptr;
    // \A and \z rather than ^ and $, which would also match before a final line break.
    QString pattern = QStringLiteral("\\A(?:");
    for (const QChar c : candidate) {
        if (c == u'*')
            pattern += QStringLiteral(".*");
        else if (c == u'?')
            pattern += u'.';
        else
            pattern += IcuRegex::escapedPattern(QStringView(&c, 1));
    }
    pattern += QStringLiteral(")\\z");
    try {
        // "*" and "?" stand for any character, a line break in a name included.
        return &compiled
                    .insert(candidate, IcuRegex(pattern, IcuRegex::CaseInsensitive |
                                                             IcuRegex::DotMatchesLineSeparators))
                    .value();
    } catch (const RegexError&) {
        failed.insert(candidate);
        return nullptr;
    }
}

QStringList wildcardPatternCandidates(const QString& pattern) {
    const QString trimmed = pattern.trimmed();
    if (trimmed.isEmpty())
        return {};
    QStringList candidates{trimmed};
    if (trimmed.endsWith(u'/'))
        candidates.append(trimmed + u'*');
    else if (trimmed.startsWith(u'.'))
        candidates.append(u'*' + trimmed);
    else if (!trimmed.contains(u'*') && !trimmed.contains(u'?') && !trimmed.contains(u'/') &&
             !trimmed.contains(u'.'))
        candidates.append(QStringLiteral("*.") + trimmed);
    candidates.removeDuplicates();
    return candidates;
}

QString standardizedFilePath(const QUrl& url) {
    const QString path = url.toLocalFile();
    return path.isEmpty() ? QString() : QDir::cleanPath(path);
}

bool fileMatchesFolderPatterns(const QUrl& fileURL, const QUrl& rootURL, const QStringList& include,
                               const QStringList& exclude, WildcardRegexCache& cache) {
    FolderPatternFilter filter(standardizedFilePath(rootURL), include, exclude, cache);
    return filter.accepts(standardizedFilePath(fileURL));
}

FolderPatternFilter::FolderPatternFilter(const QString& rootPath, const QStringList& include,
                                         const QStringList& exclude, WildcardRegexCache& cache)
    : m_root(QDir::cleanPath(rootPath)), m_hasInclude(!include.isEmpty()),
      m_include(candidatesOf(include)), m_exclude(candidatesOf(exclude)), m_cache(cache) {}

bool FolderPatternFilter::anyMatches(const QList<QStringList>& patterns, const QString& name,
                                     const QString& relative) {
    for (const QStringList& candidates : patterns) {
        for (const QString& candidate : candidates) {
            const IcuRegex* regex = m_cache.expressionFor(candidate);
            if (regex && (wholeMatch(*regex, name) || wholeMatch(*regex, relative)))
                return true;
        }
    }
    return false;
}

bool FolderPatternFilter::accepts(const QString& filePath) {
    if (!m_hasInclude && m_exclude.isEmpty())
        return true;
    const QString path = QDir::cleanPath(filePath);
    const QString name = lastComponent(path);
    const QString relative = relativePathBelow(path, m_root);
    if (m_hasInclude && !anyMatches(m_include, name, relative))
        return false;
    return !anyMatches(m_exclude, name, relative);
}

} // namespace dunmoss
