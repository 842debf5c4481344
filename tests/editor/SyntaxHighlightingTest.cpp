#include "EditorTestSupport.h"
#include "editor/CodeEditorCoordinator.h"
#include "editor/CompletionPopup.h"
#include "editor/PassSyntaxHighlighting.h"
#include "editor/ShortcutTextView.h"
#include "editor/SyntaxColors.h"

#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

struct ColouredView {
    TextStorageRegistry registry;
    FakeTab tab;
    std::unique_ptr<CodeEditorView> view;

    ColouredView(const QString& text, EditorLanguage language,
                 EditorTheme theme = EditorTheme::Light) {
        tab.text = text;
        CodeEditorProps props = propsFor(tab, registry);
        props.language = language;
        props.theme = theme;
        view = std::make_unique<CodeEditorView>(props);
        view->resize(600, 300);
        view->show();
        QCoreApplication::processEvents();
    }

    PassSyntaxHighlighting& engine() {
        return dynamic_cast<PassSyntaxHighlighting&>(view->coordinator().highlighting());
    }
    QTextDocument* document() { return view->textView()->document(); }

    // The format at a position of the text, or none when the layout has no range there.
    std::optional<QTextCharFormat> formatAt(qsizetype position) {
        const QTextBlock block = document()->findBlock(int(position));
        const int offset = int(position - block.position());
        for (const QTextLayout::FormatRange& range : block.layout()->formats())
            if (range.start <= offset && offset < range.start + range.length)
                return range.format;
        return std::nullopt;
    }
    QColor colourAt(qsizetype position) {
        const auto format = formatAt(position);
        return format && format->hasProperty(QTextFormat::ForegroundBrush)
                   ? format->foreground().color()
                   : QColor();
    }
    // Types the keys, then lets the window draw them and colour a short text.
    void typeAt(qsizetype position, const QString& text) {
        typeWithoutATurn(position, text);
        drawTheKeys();
    }
    void drawTheKeys() {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !engine().waitsForTheEditsRepaint(); }));
    }
    // The keys only, as handled before the window draws them.
    void typeWithoutATurn(qsizetype position, const QString& text) {
        QTextCursor cursor = view->textView()->textCursor();
        cursor.setPosition(int(position));
        view->textView()->setTextCursor(cursor);
        QTest::keyClicks(view->textView(), text);
    }
};

QColor role(SyntaxColorRole r, EditorTheme theme = EditorTheme::Light) {
    return syntaxRoleColor(r, theme, QGuiApplication::palette());
}

// Lines of plain code with a keyword at each line start, to the given length.
QString longText(qsizetype length) {
    QString text;
    const QString line = QStringLiteral("return value + 1;\n");
    while (text.size() + line.size() <= length)
        text += line;
    text += QString(length - text.size(), u' ');
    return text;
}

} // namespace

TEST(SyntaxHighlighting, AViewColoursThroughTheLayoutAcrossLinesWithoutAnUndoStep) {
    ColouredView v(QStringLiteral("struct Point {}\n/* one\ntwo */ let x = 1"),
                   EditorLanguage::Swift);
    EXPECT_EQ(v.colourAt(0), role(SyntaxColorRole::Keyword));
    const auto point = v.formatAt(7);
    ASSERT_TRUE(point);
    EXPECT_EQ(point->foreground().color(), role(SyntaxColorRole::Declaration));
    EXPECT_EQ(point->fontWeight(), QFont::Bold);
    // The block comment spans two blocks.
    EXPECT_EQ(v.colourAt(v.tab.text.indexOf(u"one")), role(SyntaxColorRole::Comment));
    EXPECT_EQ(v.colourAt(v.tab.text.indexOf(u"two")), role(SyntaxColorRole::Comment));
    EXPECT_EQ(v.colourAt(v.tab.text.indexOf(u"let")), role(SyntaxColorRole::Keyword));
    EXPECT_EQ(v.tab.undo.count(), 0);
    EXPECT_EQ(v.tab.textWrites, 0);
    EXPECT_FALSE(v.view->coordinator().isApplyingHighlighting);

    // Typing recolours once the key is drawn; a theme change recolours with the theme's colours.
    v.typeAt(v.tab.text.size(), QStringLiteral(" // x"));
    EXPECT_EQ(v.colourAt(v.tab.text.size() - 1), role(SyntaxColorRole::Comment));
    EXPECT_EQ(v.tab.undo.count(), 1);
    CodeEditorProps props = propsFor(v.tab, v.registry);
    props.language = EditorLanguage::Swift;
    props.theme = EditorTheme::Midnight;
    v.view->update(props);
    EXPECT_EQ(v.colourAt(0), QColor::fromRgbF(0.74f, 0.58f, 1.0f));
    EXPECT_EQ(v.colourAt(7), role(SyntaxColorRole::Declaration, EditorTheme::Midnight));
    // Plain text loses every colour.
    props.language = EditorLanguage::PlainText;
    v.view->update(props);
    EXPECT_FALSE(v.formatAt(0));
}

TEST(SyntaxHighlighting, AKeyIsDrawnWithItsColoursMovedAndRecolouredRightAfter) {
    ColouredView v(QStringLiteral("let a = 1; b = \"x\""), EditorLanguage::Javascript);
    // A quote typed before "let" turns all up to the next quote into a string. Handled, the key
    // shows the colours it moved: the keyword one on, the name after it plain.
    v.typeWithoutATurn(0, QStringLiteral("\""));
    EXPECT_TRUE(v.engine().hasPendingHighlighting());
    EXPECT_EQ(v.colourAt(1), role(SyntaxColorRole::Keyword));
    EXPECT_EQ(v.colourAt(5), QColor());
    // Drawn, the run follows.
    v.drawTheKeys();
    EXPECT_FALSE(v.engine().hasPendingHighlighting());
    EXPECT_EQ(v.colourAt(5), role(SyntaxColorRole::String));
    EXPECT_EQ(v.colourAt(v.tab.text.indexOf(u'x')), QColor());

    // A switch to another document drops a run still waiting for the key's repaint.
    v.typeWithoutATurn(0, QStringLiteral("y"));
    EXPECT_TRUE(v.engine().hasPendingHighlighting());
    FakeTab other;
    other.text = QStringLiteral("let");
    v.view->update(propsFor(other, v.registry));
    EXPECT_FALSE(v.engine().hasPendingHighlighting());
}

TEST(SyntaxHighlighting, LongTextsWaitForAPauseAndColourOnlyAroundTheVisibleLines) {
    // 63,999 + 1 typed = 64,000: at once. One more: deferred.
    ColouredView v(longText(63'999), EditorLanguage::Javascript);
    const qsizetype last = v.tab.text.lastIndexOf(QStringLiteral("return"));
    EXPECT_EQ(v.colourAt(last), role(SyntaxColorRole::Keyword));
    v.typeAt(0, QStringLiteral(" "));
    EXPECT_EQ(v.tab.text.size(), 64'000);
    EXPECT_FALSE(v.engine().hasPendingHighlighting());
    EXPECT_EQ(v.colourAt(1), role(SyntaxColorRole::Keyword)); // "return" moved one on

    v.typeAt(0, QStringLiteral(" "));
    EXPECT_EQ(v.tab.text.size(), 64'001);
    EXPECT_TRUE(v.engine().hasPendingHighlighting());
    // Meanwhile the colours of the edited line move with its text.
    EXPECT_FALSE(v.formatAt(1));
    EXPECT_EQ(v.colourAt(2), role(SyntaxColorRole::Keyword));
    v.typeAt(5, QStringLiteral("x")); // inside "return": the keyword colour stretches over it
    EXPECT_EQ(v.colourAt(5), role(SyntaxColorRole::Keyword));
    EXPECT_EQ(v.colourAt(8), role(SyntaxColorRole::Keyword));
    QTRY_VERIFY_WITH_TIMEOUT(!v.engine().hasPendingHighlighting(), 2000);
    EXPECT_FALSE(v.formatAt(1));
    EXPECT_FALSE(v.formatAt(5)); // "retxurn" is no keyword
    EXPECT_EQ(v.tab.text.size(), 64'002);

    // Only the visible lines widened by 16,384 units are restyled.
    const TextRange range = v.engine().highlightRange();
    EXPECT_EQ(range.location, 0);
    EXPECT_GT(range.length, 16'384);
    EXPECT_LT(range.length, 20'000);

    // A scroll step starts a deferred run for the newly visible part.
    QScrollBar* bar = v.view->textView()->verticalScrollBar();
    bar->setValue(bar->maximum());
    EXPECT_TRUE(v.engine().hasPendingHighlighting());
    const qsizetype end = v.tab.text.lastIndexOf(QStringLiteral("return"));
    QTRY_VERIFY_WITH_TIMEOUT(!v.engine().hasPendingHighlighting(), 2000);
    EXPECT_EQ(v.colourAt(end), role(SyntaxColorRole::Keyword));
    EXPECT_EQ(v.engine().highlightRange().end(), v.tab.text.size());

    // A switch to another document drops the waiting run.
    v.typeAt(end, QStringLiteral("x"));
    EXPECT_TRUE(v.engine().hasPendingHighlighting());
    FakeTab other;
    other.text = QStringLiteral("let");
    v.view->update(propsFor(other, v.registry));
    EXPECT_FALSE(v.engine().hasPendingHighlighting());
}

TEST(SyntaxHighlighting, KeyboardScrollingColoursTheLinesItBringsIntoView) {
    ColouredView v(longText(200'000), EditorLanguage::Javascript);
    ShortcutTextView* text = v.view->textView();
    text->setFocus();
    const auto keywordColouredAtCaret = [&] {
        const qsizetype caret = text->textCursor().position();
        return v.colourAt(v.tab.text.lastIndexOf(QStringLiteral("return"), caret)) ==
               role(SyntaxColorRole::Keyword);
    };
    QTest::keyClick(text, Qt::Key_End, Qt::ControlModifier);
    QTRY_VERIFY_WITH_TIMEOUT(keywordColouredAtCaret(), 2000);
    EXPECT_EQ(v.engine().highlightRange().end(), v.tab.text.size());
    QTest::keyClick(text, Qt::Key_Home, Qt::ControlModifier);
    QTRY_VERIFY_WITH_TIMEOUT(!v.engine().hasPendingHighlighting(), 2000);

    // Page Down far past the coloured start: the lines reached are coloured after the pause.
    for (int i = 0; i < 300; ++i)
        QTest::keyClick(text, Qt::Key_PageDown);
    ASSERT_GT(text->textCursor().position(), 60'000);
    EXPECT_FALSE(keywordColouredAtCaret());
    EXPECT_TRUE(v.engine().hasPendingHighlighting());
    QTRY_VERIFY_WITH_TIMEOUT(keywordColouredAtCaret(), 2000);
}

TEST(SyntaxHighlighting, AboveOneMillionUnitsTheTextKeepsItsPlainLook) {
    ColouredView big(longText(1'000'001), EditorLanguage::Javascript);
    EXPECT_FALSE(big.formatAt(0));
    ColouredView limit(longText(1'000'000), EditorLanguage::Javascript);
    EXPECT_EQ(limit.colourAt(0), role(SyntaxColorRole::Keyword));
}

TEST(LanguageServices, CompletionAndHintsReachTheView) {
    ColouredView v(QStringLiteral("let total = 1\n"), EditorLanguage::Python);
    v.typeAt(v.tab.text.size(), QStringLiteral("print(a, "));
    QLabel* hint = v.view->parameterHintLabel();
    EXPECT_FALSE(hint->isHidden());
    EXPECT_TRUE(hint->text().endsWith(QStringLiteral(R"(print(*objects, sep=' ', end='\n'))")));
    QTest::keyClick(v.view->textView(), Qt::Key_Return);
    EXPECT_TRUE(hint->isHidden());

    v.typeAt(v.tab.text.size(), QStringLiteral("to"));
    EXPECT_EQ(v.view->coordinator().completions(TextRange{v.tab.text.size() - 2, 2}),
              QStringList{QStringLiteral("total")});
}

namespace {

QList<QList<QTextLayout::FormatRange>> blockFormats(QTextDocument* document) {
    QList<QList<QTextLayout::FormatRange>> formats;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        formats.append(block.layout()->formats());
    return formats;
}

} // namespace

TEST(SyntaxHighlighting, TypingInAShortTextLeavesTheColoursAFreshRunGives) {
    // Colours move with the edited line before the run; the run must still correct them where
    // the edit changed them (a quote that opens a string, a deleted comment opener).
    ColouredView v(QStringLiteral("let a = \"x\" + 1; // note\nif (b) { return 'y' }\n/* c */ 2"),
                   EditorLanguage::Javascript);
    const auto check = [&](const char* step) {
        ColouredView fresh(v.tab.text, EditorLanguage::Javascript);
        EXPECT_EQ(blockFormats(v.document()), blockFormats(fresh.document())) << step;
    };
    v.typeAt(4, QStringLiteral("bc"));
    check("a name grows");
    v.typeAt(0, QStringLiteral("\""));
    check("a quote opens a string");
    v.typeAt(v.tab.text.indexOf(u"return"), QStringLiteral("9 "));
    check("a number before a keyword");
    QTextCursor cursor = v.view->textView()->textCursor();
    cursor.setPosition(int(v.tab.text.indexOf(u"/*") + 1));
    v.view->textView()->setTextCursor(cursor);
    QTest::keyClick(v.view->textView(), Qt::Key_Backspace);
    v.drawTheKeys();
    check("a comment opener is broken");
}
