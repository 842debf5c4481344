#pragma once

#include "platform/TextRange.h"
#include "text/SyntaxHighlightRules.h"

#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

namespace dunmoss {

// A fast path for the string and comment passes: alternations of
//   Q(?:\\.|[^Q\\])*Q    a quoted string with backslash escapes,
//   Q[^Q]*Q              a quoted string without escapes,
//   Q(?:QQ|[^Q])*Q       a quoted string where a doubled quote stands for one,
//   O[\s\S]*?C           a block from an opener to the first closer (/* */, <!-- -->, """),
//   O.*                  an opener to the end of its line (//, #, --),
//   O[^X]+XA[^Y]*YB ...  runs up to a character, each followed by a fixed text that starts
//                        with it (Markdown links, bold and inline code),
// where Q is a quote and O, C are fixed texts; runs also in any case where only ASCII letters
// that nothing else folds to are involved (<!DOCTYPE). ICU tries such a pattern at every
// opener; in an unclosed string or block each opener scans on to the same place and fails
// (quadratic). Here every alternative remembers where its last scan ended and what it found,
// which holds for every opener inside the scanned stretch, so each character is looked at a
// bounded number of times. At each position the first alternative that matches wins, as in ICU.
class DelimitedSpanScan {
public:
    // None when the pass has another shape, options or group.
    static std::optional<DelimitedSpanScan> fromPass(const HighlightPass& pass);

    // Calls mark(location, length) for every match inside the range, in text order; the
    // range's ends count as the ends of the text, as in a matcher with opaque bounds.
    template <typename Mark> void forEachMatch(QStringView text, TextRange range, Mark mark) const {
        std::vector<Finder> finders;
        finders.reserve(m_parts.size());
        for (const Part& part : m_parts)
            finders.push_back({&part});
        const qsizetype end = limitOf(text, range);
        const QStringView bounded = text.first(end);
        qsizetype at = range.location;
        while (at < end) {
            Finder* best = nullptr;
            for (Finder& finder : finders) {
                if (!finder.next(bounded, at))
                    continue;
                if (!best || finder.start < best->start)
                    best = &finder;
            }
            if (!best)
                return;
            mark(best->start, best->end - best->start);
            at = best->end;
        }
    }

private:
    enum class Kind { Escaped, Doubled, Block, Line, Runs };
    struct Part {
        Kind kind;
        QString opener;
        QString closer{}; // Block only
        // Runs only: after the opener, each run of other characters than `until` (at least
        // `least` of them) up to the fixed text `then`, which starts with `until`.
        struct Run {
            QChar until;
            int least = 0;
            QString then;
        };
        std::vector<Run> runs{};
        bool anyCase = false; // the opener in any case (Runs only)
    };
    // One alternative's search with what its last scans found.
    struct Finder {
        const Part* part;
        qsizetype start = -1, end = -1; // the match found for openers from `from` on
        bool exhausted = false;
        // The stretch the last scan went through: every opener in [scanStart, scanStop) ends as
        // the scan did (at `scanEnd`, or not at all when it is -1).
        qsizetype scanStart = -1, scanStop = -1, scanEnd = -1;
        // Doubled only: the last run of quotes measured, and what the last scan after a run of
        // quotes found for every run end in [scanStart, scanStop): the end of the first run of
        // odd length (scanEnd), else the start of the last pair at or after `lastPair`.
        qsizetype runStart = -1, runEnd = -1, lastPair = -1;
        // Runs only: for each run, where its last search for `until` began and what it found.
        std::vector<std::pair<qsizetype, qsizetype>> searches{};
        // True when a match starting at or after `from` is known; finds it if need be.
        bool next(QStringView text, qsizetype from);
        qsizetype endFor(QStringView text, qsizetype open);
        qsizetype doubledEndFor(QStringView text, qsizetype open);
        qsizetype runsEndFor(QStringView text, qsizetype open);
        qsizetype quoteRunEnd(QStringView text, qsizetype from);
    };

    static qsizetype limitOf(QStringView text, TextRange range);
    static std::optional<Part> partFrom(const QString& alternative);
    static std::optional<Part> runsFrom(const QString& alternative);
    static bool takesAnyCase(const Part& part);

    std::vector<Part> m_parts;
};

} // namespace dunmoss
