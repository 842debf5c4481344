#pragma once

// What the run-skipping tests compare: a pattern's matches with skipping, and the same pattern
// behind an empty alternative, which is never skipped.
#include "platform/IcuRegex.h"

#include <QFile>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <ostream>
#include <vector>

namespace dunmoss::test {

inline const IcuRegex::Options kBothCases[] = {IcuRegex::Options(IcuRegex::NoOptions),
                                               IcuRegex::Options(IcuRegex::CaseInsensitive)};

// The matches, or the error's name when the run stopped.
struct Found {
    std::vector<TextRange> ranges;
    QString error;
    friend bool operator==(const Found&, const Found&) = default;
};

inline void PrintTo(const Found& found, std::ostream* out) {
    for (const TextRange& r : found.ranges)
        *out << '[' << r.location << ", " << r.end() << ") ";
    *out << found.error.toStdString();
}

inline Found matchesIn(const IcuRegex& regex, const QString& text, TextRange region,
                       bool transparentBounds = false, bool anchoringBounds = true) {
    Found found;
    try {
        IcuRegexMatcher matcher(regex, text, region, transparentBounds, anchoringBounds);
        while (matcher.findNext())
            found.ranges.push_back(matcher.range());
    } catch (const RegexError& error) {
        found.error = error.icuMessage();
    }
    return found;
}

// The pattern as written and behind an empty alternative, which no analysis reads.
inline IcuRegex unskipped(const QString& pattern, IcuRegex::Options options,
                          RegexWorkBound bound = {}) {
    return IcuRegex(QStringLiteral("(?:") + pattern + QStringLiteral(")|(?!)"), options, bound);
}

// Compares the skipped and the unskipped run over each text, whole and inside a region. With a
// work bound, a run that stops on either side is not compared: the two stop at different places.
inline void expectSameMatchesAsUnskipped(const IcuRegex& skipped, const IcuRegex& plain,
                                         const QString& pattern, IcuRegex::Options options,
                                         const QStringList& texts, RegexWorkBound bound = {}) {
    for (const QString& text : texts) {
        const qsizetype inset = std::min<qsizetype>(7, text.size() / 2);
        for (const TextRange region :
             {TextRange{0, text.size()}, TextRange{inset, text.size() - 2 * inset}}) {
            const Found ours = matchesIn(skipped, text, region);
            const Found theirs = matchesIn(plain, text, region);
            if (bound.isBounded() && (!ours.error.isEmpty() || !theirs.error.isEmpty()))
                continue;
            EXPECT_EQ(ours, theirs)
                << pattern.toStdString() << " case-insensitive "
                << bool(options & IcuRegex::CaseInsensitive) << " region " << region.location;
        }
    }
}

// Over a long run, ignoring case: the skipped run finds `expected` within the bound, which
// stops the unskipped run.
inline void expectSkippedWithinTheBoundAndUnskippedNot(const QString& pattern, const QString& text,
                                                       const std::vector<TextRange>& expected,
                                                       RegexWorkBound bound) {
    const IcuRegex skipped(pattern, IcuRegex::CaseInsensitive, bound);
    EXPECT_EQ(skipped.matchRanges(text), expected) << pattern.toStdString();
    try {
        unskipped(pattern, IcuRegex::CaseInsensitive, bound).matchRanges(text);
        ADD_FAILURE() << "the unskipped run stayed within the bound: " << pattern.toStdString();
    } catch (const RegexError& error) {
        EXPECT_TRUE(error.isTimeout());
    }
}

// Runs of the alphabet's characters broken by characters of two units, often just before a run
// (where a skip begins) and in runs of their own: emoji, joined emoji, flags, skin tones,
// mathematical letters and digits ("\w" and "\d" take them), an ideograph outside the
// BMP, and halves of a pair standing alone.
inline QString supplementaryRichText(QRandomGenerator& random, QStringView alphabet,
                                     qsizetype length = 300) {
    const QString pieces[] = {
        QStringLiteral("\U0001F600"),
        QStringLiteral("\U0001D400"),
        QStringLiteral("\U0001D7D9"),
        QStringLiteral("\U0001D4B3"),
        QStringLiteral("\U00020BB7"),
        QStringLiteral("\U0001F469\u200D\U0001F4BB"),
        QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467"),
        QStringLiteral("\U0001F3F3\uFE0F\u200D\U0001F308"),
        QStringLiteral("\U0001F1E9\U0001F1EA"),
        QStringLiteral("\U0001F44D\U0001F3FD"),
        QString(QChar(char16_t(0xD83D))),
        QString(QChar(char16_t(0xDE00))),
    };
    QString text;
    while (text.size() < length) {
        if (random.bounded(3) == 0) {
            const QString& piece = pieces[random.bounded(int(std::size(pieces)))];
            text.append(piece.repeated(random.bounded(4) == 0 ? random.bounded(2, 6) : 1));
        } else {
            const QChar c = alphabet[random.bounded(int(alphabet.size()))];
            text.append(QString(random.bounded(1, 40), c));
        }
    }
    return text;
}

inline QString realText(const QString& relativePath) {
    QFile file(QStringLiteral(DUNMOSS_SOURCE_DIR "/") + relativePath);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << relativePath.toStdString();
    return QString::fromUtf8(file.readAll());
}

} // namespace dunmoss::test
