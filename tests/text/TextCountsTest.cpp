#include "text/TextCounts.h"
#include "text/StatusStatistics.h"

#include <QRandomGenerator>
#include <QString>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

// Pieces whose clusters depend on their neighbours: line feeds, a CR, surrogate pairs, combining
// marks, an emoji joined by ZWJ, regional indicators, Hangul jamo, an Indic conjunct.
const QStringList kPieces{
    QStringLiteral("a"),
    QStringLiteral("word "),
    QStringLiteral("\n"),
    QStringLiteral("\n\n"),
    QStringLiteral("\r"),
    QStringLiteral("\u0301"),
    QStringLiteral("e\u0301\u0308"),
    QString::fromUtf16(u"\U0001F600"),
    QString::fromUtf16(u"\U0001F468\u200D\U0001F469\u200D\U0001F467"),
    QString::fromUtf16(u"\U0001F1EB\U0001F1F7"),
    QStringLiteral("\u1100\u1161\u11A8"),
    QStringLiteral("\u0915\u094D\u0937"),
    QStringLiteral("\u4E2D\u6587"),
    QStringLiteral("tab\tend\n"),
};

QString randomText(QRandomGenerator& random, int pieces) {
    QString text;
    for (int i = 0; i < pieces; ++i)
        text += kPieces.at(random.bounded(int(kPieces.size())));
    return text;
}

// Checks the counts against a full recount, and the status statistics drawn from them against
// those of a pass over the text, at a few carets and selections.
void expectCountsOfWholeText(const TextCounts& counts, const QString& text,
                             QRandomGenerator& random) {
    ASSERT_EQ(counts.length(), text.size());
    const LineStartIndex whole(text);
    ASSERT_EQ(counts.lines().starts(), whole.starts()) << qPrintable(text);
    ASSERT_EQ(counts.clusterCount(), graphemeClusterCount(text)) << qPrintable(text);
    for (int i = 0; i < 4; ++i) {
        const qsizetype location = random.bounded(int(text.size()) + 1);
        const qsizetype length = i % 2 ? random.bounded(int(text.size() - location) + 1) : 0;
        const TextRange selection{location, length};
        ASSERT_EQ(computeStatusTextStatistics(text, selection, counts),
                  computeStatusTextStatistics(text, selection))
            << "caret " << location << " length " << length;
    }
}

} // namespace

// Random edits of every size (typing, deleting, pasting many lines, replacing the whole text),
// undone and redone in reverse, keep the counts equal to a recount of the whole text.
TEST(TextCounts, EqualAFullRecountAfterRandomEditsUndoAndRedo) {
    QRandomGenerator random(20261207);
    for (int round = 0; round < 40; ++round) {
        QString text = randomText(random, random.bounded(0, 60));
        TextCounts counts(text);
        struct Step {
            qsizetype position;
            QString removed;
            QString inserted;
        };
        QList<Step> steps;
        for (int edit = 0; edit < 30; ++edit) {
            // Positions fall anywhere, inside surrogate pairs and clusters too.
            const qsizetype position = random.bounded(int(text.size()) + 1);
            qsizetype length =
                random.bounded(int(std::min<qsizetype>(text.size() - position, 8)) + 1);
            QString inserted = randomText(random, random.bounded(0, 4));
            const int kind = random.bounded(20);
            if (kind == 0) // a paste of many lines
                inserted = randomText(random, 200);
            else if (kind == 1) // all replaced, as Replace All or a tool does
                length = text.size() - position;
            const Step step{position, text.mid(position, length), inserted};
            text.replace(position, length, inserted);
            counts.applyEdit(text, position, step.removed, inserted.size());
            steps.append(step);
            expectCountsOfWholeText(counts, text, random);
        }
        // Undo every step, then redo them all.
        for (auto it = steps.crbegin(); it != steps.crend(); ++it) {
            text.replace(it->position, it->inserted.size(), it->removed);
            counts.applyEdit(text, it->position, it->inserted, it->removed.size());
            expectCountsOfWholeText(counts, text, random);
        }
        for (const Step& step : steps) {
            text.replace(step.position, step.removed.size(), step.inserted);
            counts.applyEdit(text, step.position, step.removed, step.inserted.size());
        }
        expectCountsOfWholeText(counts, text, random);
    }
}

// A long text of many lines, edited far from its start and across chunks of the index.
TEST(TextCounts, FollowEditsAcrossThousandsOfLines) {
    QRandomGenerator random(7);
    QString text;
    for (int i = 0; i < 5000; ++i)
        text += QStringLiteral("line %1 caf\u00e9\n").arg(i);
    TextCounts counts(text);
    for (int edit = 0; edit < 200; ++edit) {
        const qsizetype position = random.bounded(int(text.size()) + 1);
        const qsizetype length =
            random.bounded(int(std::min<qsizetype>(text.size() - position, 3000)) + 1);
        const QString removed = text.mid(position, length);
        // Now and then a paste of more lines than a chunk of the index holds.
        const QString inserted = randomText(random, edit % 10 ? random.bounded(0, 300) : 6000);
        text.replace(position, length, inserted);
        counts.applyEdit(text, position, removed, inserted.size());
        ASSERT_EQ(counts.lines().lineCount(), text.count(u'\n') + 1);
        if (edit % 10 == 0) {
            ASSERT_EQ(counts.lines().starts(), LineStartIndex(text).starts());
        }
    }
    expectCountsOfWholeText(counts, text, random);
    for (qsizetype line = 1; line <= counts.lines().lineCount(); line += 97)
        EXPECT_EQ(counts.lines().lineNumberOfCharacter(counts.lines().lineStart(line)), line);
}

// An edit that does not fit the text counted (a caller out of step) recounts rather than
// corrupting the counts.
TEST(TextCounts, RecountsAnEditThatDoesNotFit) {
    TextCounts counts(QStringLiteral("ab\ncd"));
    const QString text = QStringLiteral("x\ny\nz");
    counts.applyEdit(text, 1, QStringLiteral("abc"), 1);
    EXPECT_EQ(counts.length(), text.size());
    EXPECT_EQ(counts.lines().lineCount(), 3);
    EXPECT_EQ(counts.clusterCount(), 5);
}
