#include "EditorTestSupport.h"
#include "editor/CodeEditorCoordinator.h"
#include "editor/LineNumberRulerView.h"
#include "editor/ShortcutTextView.h"

#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

QString lines(int count) {
    QStringList list;
    for (int i = 1; i <= count; ++i)
        list.append(QStringLiteral("line %1").arg(i));
    return list.join(u'\n');
}

struct RulerFixture : ::testing::Test {
    TextStorageRegistry registry;
    FakeTab tab;
    std::unique_ptr<CodeEditorView> view;
    void build(bool wrap = true) {
        CodeEditorProps props = propsFor(tab, registry);
        props.wordWrap = wrap;
        view = std::make_unique<CodeEditorView>(props);
        view->resize(600, 300);
        view->show();
        QCoreApplication::processEvents();
    }
    LineNumberRulerView* ruler() { return view->ruler(); }
    QList<qsizetype> numbers() {
        QList<qsizetype> result;
        for (const auto& label : ruler()->labels(ruler()->rect()))
            result.append(label.number);
        return result;
    }
};

} // namespace

TEST_F(RulerFixture, ThicknessFollowsTheDigitsOfTheLineCount) {
    tab.text = lines(999);
    build();
    EXPECT_EQ(ruler()->lineNumberDigitCount(), 3);
    EXPECT_EQ(ruler()->requiredThickness(), 56);
    EXPECT_EQ(ruler()->width(), 56);
    QTest::keyClick(view->textView(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(view->textView(), Qt::Key_Return);
    EXPECT_EQ(ruler()->lineNumberDigitCount(), 4);
    EXPECT_EQ(ruler()->ruleThickness(), 62);
    EXPECT_EQ(ruler()->width(), 62);
    EXPECT_EQ(LineNumberRulerView::thicknessForDigits(5, 7), 70);
    // The viewport gives the ruler its room.
    EXPECT_EQ(view->textView()->viewport()->geometry().left(), 62);
}

TEST_F(RulerFixture, LargeFontSizesKeepEveryDigitOfTheLastLine) {
    // Line 1000 lost its first digit from 20 points, line 100 from 22.
    for (const auto& [count, size] :
         {std::pair{1000, 20.0}, std::pair{100, 22.0}, std::pair{100000, 40.0}}) {
        tab.text = lines(count);
        CodeEditorProps props = propsFor(tab, registry);
        props.wordWrap = false;
        props.fontSize = size;
        view = std::make_unique<CodeEditorView>(props);
        view->resize(600, 300);
        view->show();
        QTest::keyClick(view->textView(), Qt::Key_End, Qt::ControlModifier);
        QCoreApplication::processEvents();
        const auto labels = ruler()->labels(ruler()->rect());
        ASSERT_FALSE(labels.isEmpty());
        const auto& last = labels.back();
        ASSERT_EQ(last.number, count);
        const QFontMetricsF metrics(ruler()->labelFont());
        EXPECT_GE(last.rect.width(), metrics.horizontalAdvance(QString::number(count)))
            << count << " lines at " << size << " points";
        EXPECT_GE(last.rect.left(), 0);
        EXPECT_LE(last.rect.right(), ruler()->width());
    }
}

TEST_F(RulerFixture, LabelsIncludeTheEmptyLineAfterAFinalLineFeed) {
    tab.text = QStringLiteral("one\ntwo\n");
    build();
    EXPECT_EQ(numbers(), (QList<qsizetype>{1, 2, 3}));
    const auto labels = ruler()->labels(ruler()->rect());
    EXPECT_EQ(labels[0].rect.left(), 14);
    EXPECT_EQ(labels[0].rect.right(), ruler()->ruleThickness() - 8);
    EXPECT_LT(labels[0].rect.top(), labels[1].rect.top());
}

TEST_F(RulerFixture, EmptyTextShowsOneAndTheBookmarkDotFollowsTheSet) {
    build();
    auto labels = ruler()->labels(ruler()->rect());
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0].number, 1);
    EXPECT_EQ(labels[0].rect.left(), 4);
    EXPECT_EQ(labels[0].rect.right(), ruler()->ruleThickness() - 8);

    tab.text = QStringLiteral("a\nb\nc");
    CodeEditorProps props = propsFor(tab, registry);
    props.bookmarkedLines = {1, 3, 40};
    view->update(props);
    labels = ruler()->labels(ruler()->rect());
    ASSERT_EQ(labels.size(), 3);
    EXPECT_TRUE(labels[0].bookmarked);
    EXPECT_FALSE(labels[1].bookmarked);
    EXPECT_TRUE(labels[2].bookmarked);
}

TEST_F(RulerFixture, AScrolledViewLabelsItsFirstLineWithItsTrueNumber) {
    tab.text = lines(2000);
    build(false);
    QScrollBar* bar = view->textView()->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    QCoreApplication::processEvents();
    const QList<qsizetype> shown = numbers();
    ASSERT_FALSE(shown.isEmpty());
    const QTextBlock first = view->textView()->firstVisibleTextBlock();
    EXPECT_EQ(shown.first(), first.blockNumber() + 1);
    EXPECT_GT(shown.first(), 500);
    EXPECT_EQ(ruler()->firstVisibleLineNumber(), first.blockNumber() + 1);
    for (int i = 1; i < shown.size(); ++i)
        EXPECT_EQ(shown[i], shown[i - 1] + 1);
}

TEST_F(RulerFixture, WrappedLinesAndFileSeparatorsKeepOneNumberPerLine) {
    tab.text = QString(400, u'w') + QStringLiteral("\nshort") + QChar(0x2029) +
               QStringLiteral("same line\nlast");
    build(true);
    EXPECT_GT(view->textView()->document()->firstBlock().layout()->lineCount(), 1);
    EXPECT_EQ(numbers(), (QList<qsizetype>{1, 2, 3}));
}

TEST_F(RulerFixture, TheTopFragmentShowsItsLineWhenThatLineStartsAboveTheView) {
    // A long wrapped line scrolled into its middle.
    tab.text = QStringLiteral("first\n") + QString(6000, u'w') + QStringLiteral("\nlast");
    build(true);
    QScrollBar* bar = view->textView()->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    QCoreApplication::processEvents();
    ASSERT_EQ(view->textView()->firstVisibleTextBlock().blockNumber(), 1);
    auto labels = ruler()->labels(ruler()->rect());
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0].number, 2);
    EXPECT_TRUE(labels[0].rect.intersects(ruler()->rect()));
    EXPECT_EQ(ruler()->firstVisibleLineNumber(), 2);

    // Unwrapped blocks split by the file's U+2029: the one at the top belongs to line 2, and
    // the following ones of the same line stay unlabelled.
    QStringList pieces;
    for (int i = 0; i < 300; ++i)
        pieces.append(QStringLiteral("piece %1").arg(i));
    tab.text = QStringLiteral("first\n") + pieces.join(QChar(0x2029)) + QStringLiteral("\nlast");
    build(false);
    bar = view->textView()->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    QCoreApplication::processEvents();
    ASSERT_GT(view->textView()->firstVisibleTextBlock().blockNumber(), 1);
    labels = ruler()->labels(ruler()->rect());
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0].number, 2);
    EXPECT_EQ(ruler()->firstVisibleLineNumber(), 2);
}

TEST_F(RulerFixture, ABandRepaintLabelsItsLinesWhereTheWholeViewHasThem) {
    // Wrapped lines of several heights, scrolled: the labels of a band are those of the whole
    // view that fall in it, at the same places.
    QStringList list;
    for (int i = 1; i <= 400; ++i)
        list.append(QString(i % 7 * 40, u'w') + QString::number(i));
    tab.text = list.join(u'\n');
    build(true);
    QScrollBar* bar = view->textView()->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    QCoreApplication::processEvents();
    const auto all = ruler()->labels(ruler()->rect());
    ASSERT_GT(all.size(), 4);
    const QRect band(0, int(all[3].rect.top()), ruler()->width(), 2);
    const auto some = ruler()->labels(band);
    ASSERT_FALSE(some.isEmpty());
    EXPECT_LT(some.size(), all.size());
    for (const auto& label : some) {
        const auto same = std::find_if(all.begin(), all.end(),
                                       [&](const auto& one) { return one.number == label.number; });
        ASSERT_NE(same, all.end()) << label.number;
        EXPECT_EQ(same->rect, label.rect);
    }
    EXPECT_TRUE(std::any_of(some.begin(), some.end(),
                            [&](const auto& one) { return one.number == all[3].number; }));
}

TEST(LineNumberRuler, WithoutATextViewTheDigitCountIsTwo) {
    LineNumberRulerView ruler(nullptr, EditorTheme::Midnight, 14, {});
    EXPECT_EQ(ruler.lineNumberDigitCount(), 2);
    EXPECT_EQ(ruler.requiredThickness(), 56);
    EXPECT_EQ(ruler.backgroundColor(), QColor::fromRgbF(0.055f, 0.065f, 0.085f));
}
