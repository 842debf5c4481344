#include "tools/MarkdownBlocks.h"

#include <gtest/gtest.h>

namespace dunmoss {
namespace {

using Kind = MarkdownPreviewBlock::Kind;

MarkdownPreviewBlock block(Kind kind, const char* text, int level = 0) {
    return {kind, level, QString::fromUtf8(text)};
}

QList<MarkdownPreviewBlock> parse(const char* text) {
    return parseMarkdownBlocks(QString::fromUtf8(text));
}

TEST(MarkdownBlocks, HeadingsNeedOneToSixMarksAndAText) {
    EXPECT_EQ(parse("# Word\n#Word\n  ## Word  \n####### Word\n#\n#   "),
              (QList<MarkdownPreviewBlock>{
                  block(Kind::Heading, "Word", 1), block(Kind::Heading, "Word", 1),
                  block(Kind::Heading, "Word", 2), block(Kind::Paragraph, "####### Word"),
                  block(Kind::Paragraph, "#"), block(Kind::Paragraph, "#")}));
}

TEST(MarkdownBlocks, BulletsNeedTheirMarkAndOneSpaceEverythingElseIsAParagraph) {
    EXPECT_EQ(parse("- a\n* b\n-c\n+ d\n-  e\n- \n    - f\n1. g\n> h"),
              (QList<MarkdownPreviewBlock>{
                  block(Kind::Bullet, "a"), block(Kind::Bullet, "b"), block(Kind::Paragraph, "-c"),
                  block(Kind::Paragraph, "+ d"), block(Kind::Bullet, " e"),
                  block(Kind::Paragraph, "-"), block(Kind::Bullet, "f"),
                  block(Kind::Paragraph, "1. g"), block(Kind::Paragraph, "> h")}));
}

TEST(MarkdownBlocks, FencesKeepTheirLinesAsTheyStand) {
    EXPECT_EQ(parse("```swift\n  let a\n\n\tb \n```\ntext\n```\n```"),
              (QList<MarkdownPreviewBlock>{block(Kind::Code, "  let a\n\n\tb "),
                                           block(Kind::Paragraph, "text"), block(Kind::Code, "")}));
    // Indented fences and four backticks count; an unclosed fence takes the rest.
    EXPECT_EQ(parse("   ````\nx\n\ny"), (QList<MarkdownPreviewBlock>{block(Kind::Code, "x\n\ny")}));
    EXPECT_EQ(parse("a\n```"), (QList<MarkdownPreviewBlock>{block(Kind::Paragraph, "a")}));
}

TEST(MarkdownBlocks, EveryLineBreakEndsALineAndBlankTextGivesNothing) {
    EXPECT_TRUE(parse("").isEmpty());
    EXPECT_TRUE(parse(" \n\t\n\u3000").isEmpty());
    EXPECT_EQ(
        parse("a\rb\u2028c\u0085# d\x0b- e"),
        (QList<MarkdownPreviewBlock>{block(Kind::Paragraph, "a"), block(Kind::Paragraph, "b"),
                                     block(Kind::Paragraph, "c"), block(Kind::Heading, "d", 1),
                                     block(Kind::Bullet, "e")}));
    // Breaks end lines in ill-formed text too: beside a NUL and a lone surrogate.
    const QString odd = QStringLiteral("a\r") + QChar(0) + QChar(0xDC00) + QStringLiteral("\nb");
    EXPECT_EQ(parseMarkdownBlocks(odd),
              (QList<MarkdownPreviewBlock>{block(Kind::Paragraph, "a"),
                                           {Kind::Paragraph, 0, odd.sliced(2, 2)},
                                           block(Kind::Paragraph, "b")}));
}

} // namespace
} // namespace dunmoss
