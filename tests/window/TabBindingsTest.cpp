#include "WindowFixture.h"
#include "window/TabSelection.h"

#include <limits>

namespace dunmoss::test {
namespace {

TEST(TabSelectionRules, NormalisedRangesDropInvalidAndRepeatedOnes) {
    const QList<TextRange> ranges{{2, 3}, {2, 3}, {0, 1}};
    EXPECT_EQ(normalizedSelectedRanges(ranges, 10), (QList<TextRange>{{2, 3}, {0, 1}}));
    EXPECT_EQ(normalizedSelectedRanges({{8, 5}, {-1, 0}, TextRange::notFound()}, 10),
              (QList<TextRange>{TextRange{0, 0}}));
    // A caret at the very end is inside the text.
    EXPECT_EQ(normalizedSelectedRanges({{10, 0}}, 10), (QList<TextRange>{TextRange{10, 0}}));
    EXPECT_EQ(normalizedSelectedRanges({{2, TextRange::NotFound}}, 10),
              (QList<TextRange>{TextRange{0, 0}}));
}

TEST(TabSelectionRules, LineSelectionCoversTheWholeLineWithoutItsBreak) {
    const QString text = QStringLiteral("abc\ndef");
    EXPECT_EQ(lineSelectionRange(text, 1), (TextRange{0, 3}));
    EXPECT_EQ(lineSelectionRange(text, 2), (TextRange{4, 3}));
    EXPECT_EQ(lineSelectionRange(text, 9), (TextRange{4, 3}));
    EXPECT_EQ(lineSelectionRange(text, 0), (TextRange{0, 3}));
    EXPECT_EQ(lineSelectionRange(text, -4), (TextRange{0, 3}));
    EXPECT_EQ(lineSelectionRange(QStringLiteral("abc\n"), 9), (TextRange{4, 0}));
    EXPECT_EQ(lineSelectionRange(QString(), 3), (TextRange{0, 0}));
    // The extremes of the line number neither wrap around nor run past the text.
    EXPECT_EQ(lineSelectionRange(text, std::numeric_limits<int>::min()), (TextRange{0, 3}));
    EXPECT_EQ(lineSelectionRange(text, std::numeric_limits<int>::max()), (TextRange{4, 3}));
}

TEST(TabSelectionRules, VisualColumnExpandsTabsToTheNextStop) {
    EXPECT_EQ(visualColumnOfPrefix(QString(), 4), 1);
    EXPECT_EQ(visualColumnOfPrefix(QStringLiteral("\t"), 4), 5);
    EXPECT_EQ(visualColumnOfPrefix(QStringLiteral("ab\t"), 4), 5);
    EXPECT_EQ(visualColumnOfPrefix(QStringLiteral("abcd\t"), 4), 9);
    EXPECT_EQ(visualColumnOfPrefix(QStringLiteral("a\tb"), 4), 6);
    EXPECT_EQ(visualColumnOfPrefix(QStringLiteral("a\tb"), 0), 4);
    // One user-perceived character, several UTF-16 units.
    EXPECT_EQ(visualColumnOfPrefix(QStringLiteral("e\u0301\t"), 4), 5);
    EXPECT_EQ(visualColumnOfPrefix(QString::fromUtf8("\xF0\x9F\x98\x80x"), 4), 3);
    // A stored tab width far beyond reason gives a far column, never a wrapped-around one.
    const int huge = std::numeric_limits<int>::max();
    EXPECT_EQ(visualColumnOfPrefix(QStringLiteral("\t"), huge), huge);
    EXPECT_EQ(visualColumnOfPrefix(QStringLiteral("a\tb\t"), huge), huge);
}

using TabBindings = WindowFixture;

TEST_F(TabBindings, TextWritesAreStoredUnlessTheTabIsReadOnly) {
    const QUuid id = tabAt(0).id;
    model->setTabText(id, QStringLiteral("typed"));
    EXPECT_EQ(model->tabText(id), QStringLiteral("typed"));
    EXPECT_EQ(findRefreshes, 1);
    EXPECT_EQ(snapshotRequests, 1);
    EXPECT_EQ(sessionSaves, 0);

    model->update([](EditorWindowState& s) { s.tabs[0].isReadOnly = true; });
    model->setTabText(id, QStringLiteral("ignored"));
    EXPECT_EQ(model->tabText(id), QStringLiteral("typed"));
    EXPECT_EQ(findRefreshes, 1);

    const QUuid gone = QUuid::createUuid();
    model->setTabText(gone, QStringLiteral("x"));
    EXPECT_TRUE(model->tabText(gone).isEmpty());
    EXPECT_EQ(model->tabSelectedRange(gone), (TextRange{0, 0}));
    EXPECT_TRUE(model->tabSelectedRanges(gone).isEmpty());
}

TEST_F(TabBindings, SelectionWritesKeepRangesUnclampedAndIgnoreNotFound) {
    const QUuid id = tabAt(0).id;
    model->update([](EditorWindowState& s) { s.tabs[0].isReadOnly = true; });
    // No clamping and no read-only check: a read-only tab keeps a live selection.
    model->setTabSelectedRange(id, TextRange{40, 2});
    EXPECT_EQ(model->tabSelectedRange(id), (TextRange{40, 2}));
    EXPECT_EQ(model->tabSelectedRanges(id), (QList<TextRange>{TextRange{40, 2}}));
    model->setTabSelectedRange(id, TextRange::notFound());
    EXPECT_EQ(model->tabSelectedRange(id), (TextRange{40, 2}));

    model->setTabSelectedRanges(id, {{5, 1}, TextRange::notFound(), {3, -1}, {5, 1}});
    EXPECT_EQ(model->tabSelectedRanges(id), (QList<TextRange>{{5, 1}, {5, 1}}));
    EXPECT_EQ(model->tabSelectedRange(id), (TextRange{5, 1}));
    model->setTabSelectedRanges(id, {TextRange::notFound()});
    EXPECT_TRUE(model->tabSelectedRanges(id).isEmpty());
    EXPECT_EQ(model->tabSelectedRange(id), (TextRange{0, 0}));
}

TEST_F(TabBindings, SetSelectionClampsToTheText) {
    model->update(
        [](EditorWindowState& s) { s.tabs[0].document.text = QStringLiteral("0123456789"); });
    model->setSelection(100, 5, 0);
    EXPECT_EQ(tabAt(0).selectedRange, (TextRange{10, 0}));
    model->setSelection(3, 50, 0);
    EXPECT_EQ(tabAt(0).selectedRange, (TextRange{3, 7}));
    EXPECT_EQ(tabAt(0).selectedRanges, (QList<TextRange>{TextRange{3, 7}}));
    model->setSelection(-4, 2, 0);
    EXPECT_EQ(tabAt(0).selectedRange, (TextRange{0, 2}));
    model->setSelection(1, 1, 7); // no such tab
    EXPECT_EQ(tabAt(0).selectedRange, (TextRange{0, 2}));

    model->setSelectedRanges({{2, 3}, {2, 3}, {0, 1}}, 0);
    EXPECT_EQ(tabAt(0).selectedRanges, (QList<TextRange>{{2, 3}, {0, 1}}));
    EXPECT_EQ(tabAt(0).selectedRange, (TextRange{2, 3}));
    model->setSelectedRanges({{20, 1}}, 0);
    EXPECT_EQ(tabAt(0).selectedRanges, (QList<TextRange>{TextRange{0, 0}}));
}

TEST_F(TabBindings, EveryChangeIsAnnounced) {
    int changes = 0;
    QObject::connect(model.get(), &EditorWindowModel::changed, [&] { ++changes; });
    model->setTabText(tabAt(0).id, QStringLiteral("a"));
    model->setTabSelectedRange(tabAt(0).id, TextRange{1, 0});
    model->setFindMessage(QStringLiteral("status"));
    EXPECT_EQ(changes, 3);
}

} // namespace
} // namespace dunmoss::test
