#pragma once

#include "platform/IcuRegex.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace dunmoss {

// Compiled wildcard expressions of one folder run, used by that run's thread only. A candidate
// whose expression failed is never tried again.
class WildcardRegexCache {
public:
    QHash<QString, IcuRegex> compiled;
    QSet<QString> failed;

    // The expression of a wildcard text: "*" matches any run of characters (including "/"),
    // "?" any one, everything else itself, case-insensitively, over the whole text. Nothing
    // when it cannot be compiled.
    const IcuRegex* expressionFor(const QString& candidate);
};

// The wildcard texts tried for one include or exclude pattern: the trimmed pattern, plus
// "src/*" for "src/", "*.md" for ".md" and "*.md" for "md" (a word without "*", "?", "/" or
// "."). A blank pattern gives none, so it never matches.
QStringList wildcardPatternCandidates(const QString& pattern);

// The standardised (cleaned, absolute) local path of a file URL, without percent encoding.
QString standardizedFilePath(const QUrl& url);

// Whether a file takes part in a folder run: with an include list, some candidate of some
// include pattern must match the file's name or its path relative to the root; then no
// candidate of any exclude pattern may match either.
bool fileMatchesFolderPatterns(const QUrl& fileURL, const QUrl& rootURL, const QStringList& include,
                               const QStringList& exclude, WildcardRegexCache& cache);

// The patterns of a run, split into candidates once; matching takes plain paths.
class FolderPatternFilter {
public:
    // The cache must outlive the filter.
    FolderPatternFilter(const QString& rootPath, const QStringList& include,
                        const QStringList& exclude, WildcardRegexCache& cache);

    bool accepts(const QString& filePath);

private:
    bool anyMatches(const QList<QStringList>& patterns, const QString& name,
                    const QString& relative);

    QString m_root;
    bool m_hasInclude = false;
    QList<QStringList> m_include;
    QList<QStringList> m_exclude;
    WildcardRegexCache& m_cache;
};

} // namespace dunmoss
