#include "editor/ShortcutTextView.h"
#include "editor/TextOverlays.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

QKeyEvent key(int code, Qt::KeyboardModifiers modifiers, const QString& text = {},
              quint32 nativeModifiers = 0) {
    return QKeyEvent(QEvent::KeyPress, code, modifiers, 0, 0, nativeModifiers, text);
}

constexpr quint32 kCapsLock = 0x2;

} // namespace

TEST(ShortcutTextView, FindShortcutNeedsExactlyCtrlF) {
    auto plain = key(Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(ShortcutTextView::isFindShortcut(&plain));
    for (const auto modifiers :
         {Qt::KeyboardModifiers(Qt::ControlModifier | Qt::ShiftModifier),
          Qt::KeyboardModifiers(Qt::ControlModifier | Qt::AltModifier),
          Qt::KeyboardModifiers(Qt::ControlModifier | Qt::MetaModifier),
          Qt::KeyboardModifiers(Qt::ControlModifier | Qt::KeypadModifier),
          Qt::KeyboardModifiers(Qt::NoModifier), Qt::KeyboardModifiers(Qt::MetaModifier)}) {
        auto event = key(Qt::Key_F, modifiers);
        EXPECT_FALSE(ShortcutTextView::isFindShortcut(&event)) << int(modifiers);
    }
    auto capsLock = key(Qt::Key_F, Qt::ControlModifier, {}, kCapsLock);
    EXPECT_FALSE(ShortcutTextView::isFindShortcut(&capsLock));
    auto other = key(Qt::Key_G, Qt::ControlModifier);
    EXPECT_FALSE(ShortcutTextView::isFindShortcut(&other));
}

TEST(ShortcutTextView, CompletionShortcutNeedsExactlyCtrlSpace) {
    auto ctrlSpace = key(Qt::Key_Space, Qt::ControlModifier, QStringLiteral(" "));
    EXPECT_TRUE(ShortcutTextView::isCompletionShortcut(&ctrlSpace));
    auto ctrlAltSpace = key(Qt::Key_Space, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_FALSE(ShortcutTextView::isCompletionShortcut(&ctrlAltSpace));
    auto space = key(Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    EXPECT_FALSE(ShortcutTextView::isCompletionShortcut(&space));
    auto ctrlF = key(Qt::Key_F, Qt::ControlModifier);
    EXPECT_FALSE(ShortcutTextView::isCompletionShortcut(&ctrlF));
    auto escape = key(Qt::Key_Escape, Qt::NoModifier);
    EXPECT_TRUE(ShortcutTextView::isAlternativeCompletionKey(&escape));
    auto ctrlEscape = key(Qt::Key_Escape, Qt::ControlModifier);
    EXPECT_FALSE(ShortcutTextView::isAlternativeCompletionKey(&ctrlEscape));
}

TEST(ShortcutTextView, ThePastedCharactersAreWhatQtsOwnPasteLeavesInTheText) {
    // Line breaks of every kind, a line separator, frame markers and halves of a surrogate pair.
    const char16_t pieces[] = {u'a',   u' ',   u'\n',  u'\r',  0x2029,
                               0x2028, 0xFDD0, 0xFDD1, 0xD83D, 0xDE00};
    QRandomGenerator random(20261209);
    ShortcutTextView view;
    for (int round = 0; round < 300; ++round) {
        QString plain;
        for (int i = random.bounded(24); i > 0; --i)
            plain += QChar(pieces[random.bounded(int(std::size(pieces)))]);
        view.setPlainText(QStringLiteral("ab"));
        view.moveCursor(QTextCursor::End);
        QGuiApplication::clipboard()->setText(plain);
        QTest::keyClick(&view, Qt::Key_V, Qt::ControlModifier);
        // Read back as the text's storage reads the document.
        QTextCursor all(view.document());
        all.select(QTextCursor::Document);
        const QString left = all.selectedText().replace(QChar::ParagraphSeparator, u'\n');
        ASSERT_EQ(left, QStringLiteral("ab") + ShortcutTextView::pastedCharacters(plain))
            << "round " << round;
    }
}

TEST(ShortcutTextView, KeysReachTheirClosuresOrAreSwallowed) {
    ShortcutTextView view;
    int finds = 0;
    int completions = 0;
    QTest::keyClick(&view, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(view.toPlainText(), QString()); // swallowed without a closure
    view.onFindShortcut = [&] { ++finds; };
    view.onCompletionShortcut = [&] { ++completions; };
    QTest::keyClick(&view, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_Space, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_Escape);
    EXPECT_EQ(finds, 1);
    EXPECT_EQ(completions, 2);
    QTest::keyClick(&view, Qt::Key_Space, Qt::ControlModifier | Qt::AltModifier);
    QTest::keyClick(&view, Qt::Key_Space);
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(view.toPlainText().count(u' '), 2);
    QTest::keyClick(&view, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(view.document()->blockCount(), 2); // a real line break, no U+2028
}

TEST(ShortcutTextView, ItsShortcutsWinOverWindowShortcutsWhileItHasFocus) {
    QMainWindow window;
    auto* view = new ShortcutTextView(&window);
    window.setCentralWidget(view);
    int windowFinds = 0;
    int viewFinds = 0;
    auto* action = window.addAction(QStringLiteral("Find"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    QObject::connect(action, &QAction::triggered, [&] { ++windowFinds; });
    view->onFindShortcut = [&] { ++viewFinds; };
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window))
        GTEST_SKIP() << "window shortcuts need an active window";
    view->setFocus();
    QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(viewFinds, 1);
    EXPECT_EQ(windowFinds, 0);
    // Ctrl+Shift+F is not the editor's: it goes on to the window.
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(windowFinds, 1);
}

namespace {

struct OverlayFixture : ::testing::Test {
    ShortcutTextView view;
    QString text;
    void show(const QString& value, int tabWidth = 4) {
        text = value;
        view.textSource = [this] { return &text; };
        QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPixelSize(14);
        view.setFont(font);
        view.tabWidth = tabWidth;
        view.setTabStopDistance(view.spaceWidth() * tabWidth);
        view.setPlainText(value);
        view.resize(500, 400);
        view.show();
        QCoreApplication::processEvents();
    }
    QList<qreal> guideXs(int blockNumber) {
        const QTextBlock block = view.document()->findBlockByNumber(blockNumber);
        const QRectF rect = view.blockRect(block);
        QList<qreal> xs;
        for (const QLineF& line : indentGuideSegments(view, view.viewport()->rect()))
            if (line.y1() >= rect.top() && line.y2() <= rect.bottom() + 0.5)
                xs.append(line.x1());
        return xs;
    }
    qreal xOfPosition(int position) {
        QTextCursor cursor(view.document());
        cursor.setPosition(position);
        return view.cursorRect(cursor).left();
    }
};

} // namespace

TEST_F(OverlayFixture, IndentGuidesStandAtEveryTabStopOfTheLeadingWhitespace) {
    show(QStringLiteral("        eight\n   three\n\tone tab\nnone"));
    const QList<qreal> eight = guideXs(0);
    ASSERT_EQ(eight.size(), 2);
    EXPECT_NEAR(eight[0], xOfPosition(4), 1.0);
    EXPECT_NEAR(eight[1], xOfPosition(8), 1.0);
    EXPECT_TRUE(guideXs(1).isEmpty());
    const int tabLine = int(view.document()->findBlockByNumber(2).position());
    const QList<qreal> tab = guideXs(2);
    ASSERT_EQ(tab.size(), 1);
    EXPECT_NEAR(tab[0], xOfPosition(tabLine + 1), 1.0);
    EXPECT_TRUE(guideXs(3).isEmpty());
}

TEST_F(OverlayFixture, NoGuidesWithoutAnySpaceOrTab) {
    show(QStringLiteral("a\nb"));
    EXPECT_TRUE(indentGuideSegments(view, view.viewport()->rect()).isEmpty());
}

TEST_F(OverlayFixture, InvisibleMarksForSpacesTabsAndLineFeedsOnly) {
    show(QStringLiteral("a b\tc") + QChar(0x00A0) + QStringLiteral("d\nx"));
    EXPECT_TRUE(invisibleMarks(view, view.viewport()->rect()).isEmpty());
    view.showsInvisibleCharacters = true;
    const auto marks = invisibleMarks(view, view.viewport()->rect());
    QString kinds;
    for (const auto& mark : marks)
        kinds.append(mark.mark);
    EXPECT_EQ(kinds, QString(QChar(0x00B7)) + QChar(0x2192) + QChar(0x21B5));
    // The dot is centred in the space's box.
    const qreal spaceCentre = (xOfPosition(1) + xOfPosition(2)) / 2;
    EXPECT_NEAR(marks[0].rect.center().x(), spaceCentre, 1.0);
    EXPECT_EQ(marks[2].position, 7);
}

TEST_F(OverlayFixture, ALongWhitespaceLineGivesOnlyTheOverlaysThatCanShow) {
    // One unwrapped line of 100,000 spaces: guides and marks only across the view's width.
    view.setLineWrapMode(QPlainTextEdit::NoWrap);
    show(QString(100'000, u' ') + QLatin1Char('x'));
    view.showsInvisibleCharacters = true;
    const QRect viewport = view.viewport()->rect();
    const int columnsAcross = int(viewport.width() / view.spaceWidth()) + 2;
    const QList<QLineF> guides = indentGuideSegments(view, viewport);
    EXPECT_FALSE(guides.isEmpty());
    EXPECT_LE(guides.size(), columnsAcross / 4 + 1);
    const auto marks = invisibleMarks(view, viewport);
    EXPECT_FALSE(marks.isEmpty());
    EXPECT_LE(marks.size(), columnsAcross + 4);
    for (const auto& mark : marks)
        EXPECT_TRUE(mark.rect.intersects(QRectF(viewport).adjusted(-12, -12, 12, 12)));
}

TEST_F(OverlayFixture, EachWrappedFragmentGetsTheOverlaysOfWhatShowsOfIt) {
    // Whitespace wrapped over several fragments (Qt lays out very long runs slowly, so a short
    // one).
    show(QString(3000, u' ') + QLatin1Char('x'));
    const QTextBlock block = view.document()->firstBlock();
    const QTextLayout* layout = block.layout();
    ASSERT_GT(layout->lineCount(), 1);
    const QRectF rect = view.blockRect(block);
    const QList<QLineF> guides = indentGuideSegments(view, view.viewport()->rect());
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        const qreal top = rect.top() + line.y();
        const auto inLine = std::count_if(guides.begin(), guides.end(), [&](const QLineF& g) {
            return std::abs(g.y1() - top) < 0.5;
        });
        EXPECT_LE(inLine, line.textLength() / 4) << i;
    }
    // The spaces hanging past the right edge of a fragment get no marks piled up there.
    view.showsInvisibleCharacters = true;
    const int columnsAcross = int(view.viewport()->width() / view.spaceWidth()) + 2;
    EXPECT_LE(invisibleMarks(view, view.viewport()->rect()).size(),
              columnsAcross * layout->lineCount() + 1);
}

TEST_F(OverlayFixture, RightToLeftTextStillGetsEveryMark) {
    const QString hebrew = QStringLiteral("\u05E9\u05DC\u05D5\u05DD");
    show(hebrew + QLatin1Char(' ') + hebrew + QStringLiteral(" abc ") + hebrew);
    view.showsInvisibleCharacters = true;
    EXPECT_EQ(invisibleMarks(view, view.viewport()->rect()).size(), 3);
}

TEST_F(OverlayFixture, OverTheLimitNoMarksButStillGuides) {
    QString big = QStringLiteral("    x ");
    const QString line = QString(99, u'y') + QLatin1Char('\n');
    while (big.size() + line.size() <= 1'000'001)
        big += line;
    big += QString(1'000'001 - big.size(), u'z');
    ASSERT_EQ(big.size(), 1'000'001);
    show(big);
    view.showsInvisibleCharacters = true;
    EXPECT_TRUE(invisibleMarks(view, view.viewport()->rect()).isEmpty());
    EXPECT_FALSE(indentGuideSegments(view, view.viewport()->rect()).isEmpty());
    text.chop(1);
    EXPECT_FALSE(invisibleMarks(view, view.viewport()->rect()).isEmpty());
}

TEST_F(OverlayFixture, EveryMatchSelectedKeepsAllRangesButHandsTheDocumentOnlyThoseOnScreen) {
    QString lines;
    QList<TextRange> ranges;
    for (int i = 0; i < 3000; ++i) {
        ranges.append(TextRange{lines.size() + 4, 6});
        lines += QStringLiteral("the needle here\n");
    }
    show(lines);
    // The first range is the cursor's; a repeat of a further range is dropped.
    QList<TextRange> given = ranges;
    given.insert(2, ranges.at(1));
    view.setSelectedRanges(given);
    EXPECT_EQ(view.selectedRanges(), ranges);
    EXPECT_EQ(view.selectedRange(), ranges.first());

    // Each drawn selection is a cursor the document moves at every edit: only those on screen.
    const auto drawn = [&] {
        QList<TextRange> out;
        for (const QTextEdit::ExtraSelection& s : view.extraSelections())
            out.append(TextRange{s.cursor.selectionStart(),
                                 s.cursor.selectionEnd() - s.cursor.selectionStart()});
        return out;
    };
    const int onScreen = view.viewport()->height() / view.fontMetrics().height();
    EXPECT_GE(drawn().size(), onScreen - 2);
    EXPECT_LE(drawn().size(), onScreen + 2);
    EXPECT_EQ(drawn().first(), ranges.at(1));

    // Scrolling shows the ranges that come on screen.
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
    ASSERT_FALSE(drawn().isEmpty());
    EXPECT_EQ(drawn().last(), ranges.last());
    EXPECT_EQ(view.selectedRanges(), ranges);

    view.clearSecondarySelections();
    EXPECT_TRUE(drawn().isEmpty());
    EXPECT_EQ(view.selectedRanges(), QList<TextRange>{ranges.first()});
}

// The ranges asked for again and again (after every change of the window) always follow the
// caret and the latest selections, whichever moved last.
TEST_F(OverlayFixture, SelectedRangesFollowTheCaretAndEachNewSetOfSelections) {
    show(QStringLiteral("one two one two one two\n"));
    const QList<TextRange> ones{{0, 3}, {8, 3}, {16, 3}};
    view.setSelectedRanges(ones);
    EXPECT_EQ(view.selectedRanges(), ones);
    EXPECT_EQ(view.selectedRanges(), ones);

    // The caret moved by a key: the first range is where it is now, the others stay.
    QTest::keyClick(&view, Qt::Key_Right);
    const QList<TextRange> afterKey = view.selectedRanges();
    ASSERT_EQ(afterKey.size(), 3);
    EXPECT_EQ(afterKey.first(), view.selectedRange());
    EXPECT_NE(afterKey.first(), ones.first());
    EXPECT_EQ(afterKey.mid(1), ones.mid(1));

    // The caret placed on one of the further ranges: that one is not listed twice.
    QTextCursor cursor(view.document());
    cursor.setPosition(8);
    cursor.setPosition(11, QTextCursor::KeepAnchor);
    view.setTextCursor(cursor);
    EXPECT_EQ(view.selectedRanges(), (QList<TextRange>{{8, 3}, {16, 3}}));

    // New selections, then none but the caret's.
    const QList<TextRange> twos{{4, 3}, {12, 3}, {20, 3}};
    view.setSelectedRanges(twos);
    EXPECT_EQ(view.selectedRanges(), twos);
    view.clearSecondarySelections();
    EXPECT_EQ(view.selectedRanges(), QList<TextRange>{twos.first()});
    view.setSelectedRanges(ones);
    EXPECT_EQ(view.selectedRanges(), ones);
    // The same caret's range with other further ones.
    view.setSelectedRanges({ones.first(), {20, 3}});
    EXPECT_EQ(view.selectedRanges(), (QList<TextRange>{ones.first(), {20, 3}}));
}

namespace dunmoss::test {
namespace {

TEST(ShortcutTextViewCatchUp, AClickLandsOnTheLineItPointedAtWhenTheTextCatchesUpFirst) {
    QString before;
    QString after;
    for (int i = 0; i < 300; ++i) {
        before += QStringLiteral("foo %1\n").arg(i);
        after += QStringLiteral("QQ %1\n").arg(i);
    }
    ShortcutTextView view;
    view.resize(600, 400);
    view.setPlainText(before);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    QApplication::processEvents();
    // The tab's text changed behind the view (a Replace All leaves the caret at the start); the
    // click on line 290 as shown brings the view in line first.
    view.setWaitingForText(true);
    view.beforeEdit = [&] {
        view.setPlainText(after);
        view.setWaitingForText(false);
    };
    const QTextBlock line = view.document()->findBlockByNumber(290);
    const QPoint shown(2, int(view.blockRect(line).center().y()));
    ASSERT_TRUE(view.viewport()->rect().contains(shown));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, shown);
    EXPECT_EQ(view.toPlainText(), after);
    EXPECT_EQ(view.textCursor().blockNumber(), 290);
}

} // namespace
} // namespace dunmoss::test

TEST_F(OverlayFixture, VisibleBlocksComeWithTheRectanglesQtGivesEachOfThem) {
    QStringList lines;
    for (int i = 0; i < 300; ++i)
        lines.append(QString(i % 5 * 30, u'x') + QString::number(i));
    show(lines.join(u'\n'));
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum() / 3);
    QCoreApplication::processEvents();
    int visited = 0;
    view.forEachVisibleBlock([&](const QTextBlock& block, const QRectF& rect) {
        EXPECT_EQ(rect, view.blockRect(block)) << block.blockNumber();
        ++visited;
        return true;
    });
    EXPECT_GT(visited, 5);
    // Stopped by the visit.
    visited = 0;
    view.forEachVisibleBlock([&](const QTextBlock&, const QRectF&) { return ++visited < 2; });
    EXPECT_EQ(visited, 2);
}

TEST_F(OverlayFixture, OnlyTheCaretsLineKeepsItsShapedGlyphs) {
    show(QStringLiteral("one\ntwo\nthree\n") + QString(20'000, u'l'));
    QTextDocument* document = view.document();
    const auto cached = [&](int number) {
        return document->findBlockByNumber(number).layout()->cacheEnabled();
    };
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_A);
    EXPECT_TRUE(cached(0));
    QTest::keyClick(&view, Qt::Key_Down);
    QTest::keyClick(&view, Qt::Key_Down);
    EXPECT_FALSE(cached(0));
    EXPECT_TRUE(cached(2));
    // The kept line joins the one above it: the joined line takes over.
    QTest::keyClick(&view, Qt::Key_Home);
    QTest::keyClick(&view, Qt::Key_Backspace);
    EXPECT_EQ(document->blockCount(), 3);
    EXPECT_TRUE(cached(1));
    EXPECT_FALSE(cached(0));
    // A long line keeps nothing.
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    EXPECT_FALSE(cached(2));
    EXPECT_FALSE(cached(1));
    EXPECT_EQ(view.cursorRect().top(), view.cursorRect(view.textCursor()).top());
}

TEST(ShortcutTextViewScroll, AViewNotShownScrollsToTheRangeAtTheSizeItIsShownAt) {
    QString text;
    for (int i = 1; i <= 300; ++i)
        text += QStringLiteral("line %1\n").arg(i);
    ShortcutTextView view;
    view.resize(400, 900);
    view.show();
    view.hide();
    view.setPlainText(text);
    const TextRange caret{text.indexOf(QStringLiteral("line 126\n")), 0};
    view.setSelectedRanges({caret});
    view.scrollRangeToVisible(caret);
    // Shown in less room than it had when it was hidden.
    view.resize(400, 200);
    view.show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(view.viewport()->rect().contains(view.cursorRect().center()))
        << view.cursorRect().y() << " below " << view.viewport()->height();
}
