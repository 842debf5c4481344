#pragma once

#include "text/FolderSearchTypes.h"
#include "text/FolderWalk.h"
#include "text/LineAutomaton.h"
#include "text/QueryPrefilter.h"
#include "text/SearchWorkMeter.h"
#include "text/TextSearch.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
#include <QUrl>
#include <exception>
#include <optional>

namespace dunmoss {

// One file's part of a folder search: its matches, or that the expression was too costly for it.
struct FolderFileMatches {
    QList<FolderSearchResult> found;
    std::optional<QUrl> costly;
};

// What a search of one file read: every unit each time one of its own scans read it (line ends,
// the literal, what may come before it, the automaton), and each stretch handed to the
// expression by its length. It grows with the file's size, whatever the shape of its lines.
struct FolderSearchWork {
    qsizetype unitsExamined = 0;
    // Of those, the units of the stretches handed to the expression. Where it may start at most
    // units, each costs it a try.
    qsizetype unitsRunOver = 0;
};

// The first `room` matches in a file's decoded text; a cancelled run ends at once with those
// found before. A run that passes its work bound gives none: the file is listed as not
// searched instead. Throws RegexError for an invalid expression.
FolderFileMatches folderMatchesInText(const QString& query, const TextSearchOptions& options,
                                      QStringView text, const QUrl& url, qsizetype room,
                                      const CancellationCheck& cancelled = {});

// The same for a file's bytes as readSearchableBytes read them: none when screening finds no
// text, else those of its decoded text. A literal that findsInUtf8Bytes takes is looked for in
// the bytes themselves when detection reads them as plain UTF-8, with the same results.
FolderFileMatches folderMatchesInFileBytes(const QString& query, const TextSearchOptions& options,
                                           QByteArray bytes, const QUrl& url, qsizetype room,
                                           const CancellationCheck& cancelled = {});

// A folder run's query, compiled once and shared by the run's file jobs on any thread. It
// finds what folderMatchesInText and folderMatchesInFileBytes find, but runs the expression
// only where its prefilter lets a match be: not at all in a file without the query's literal,
// and only over the lines that hold it when no match can take in a line feed, and of those
// only over the lines its automaton lets through. A plain UTF-8 file where no line can match
// is not even decoded. A cancellation is seen within a few thousand units read, inside any line
// and inside the expression's own run (see IcuRegexMatcher::stopWhen), and no match found after
// it is listed. The expression's work bound is one for the whole file, however many stretches it
// runs over. `work`, when given, counts what the search read as it goes.
class FolderQuery {
public:
    // Never throws: an invalid expression is thrown by the first file searched.
    FolderQuery(const QString& query, const TextSearchOptions& options);

    FolderFileMatches matchesInText(QStringView text, const QUrl& url, qsizetype room,
                                    const CancellationCheck& cancelled = {},
                                    FolderSearchWork* work = nullptr) const;
    FolderFileMatches matchesInFileBytes(QByteArray bytes, const QUrl& url, qsizetype room,
                                         const CancellationCheck& cancelled = {},
                                         FolderSearchWork* work = nullptr) const;

    const QueryPrefilter& prefilter() const { return m_prefilter; }

private:
    bool mayMatchUtf8(QByteArrayView bytes, SearchWorkMeter& meter) const;
    FolderFileMatches expressionMatches(QStringView text, const QUrl& url, qsizetype room,
                                        const CancellationCheck& cancelled, SearchWorkMeter& meter,
                                        qsizetype* unitsRunOver) const;

    QString m_query;
    TextSearchOptions m_options;
    std::optional<IcuRegex> m_regex;
    std::optional<IcuRegex> m_shortLineRegex; // for runs over a few units
    std::exception_ptr m_error;
    QueryPrefilter m_prefilter;
    std::optional<LineAutomaton> m_lines; // when matches stay on their lines
};

} // namespace dunmoss
