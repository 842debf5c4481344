#include "editor/LiteralText.h"

#include <QTextDocument>
#include <gtest/gtest.h>

namespace dunmoss {
namespace {

TEST(LiteralText, MenuTextsKeepEveryAmpersand) {
    EXPECT_EQ(literalMnemonicText(QStringLiteral("salt & pepper")),
              QStringLiteral("salt && pepper"));
    EXPECT_EQ(literalMnemonicText(QStringLiteral("&&&")), QStringLiteral("&&&&&&"));
    EXPECT_EQ(literalMnemonicText(QStringLiteral("plain")), QStringLiteral("plain"));
}

TEST(LiteralText, ToolTipsThatLookLikeMarkupShowTheirCharacters) {
    const QString plain = QStringLiteral("/home/me/notes & more.txt");
    EXPECT_EQ(literalToolTip(plain), plain);
    for (const QString& markup :
         {QStringLiteral("/tmp/<h1>BIG<i>x.txt"), QStringLiteral("<b>bold</b> &amp; <br> tags")}) {
        const QString tip = literalToolTip(markup);
        ASSERT_TRUE(Qt::mightBeRichText(tip));
        QTextDocument shown;
        shown.setHtml(tip);
        EXPECT_EQ(shown.toPlainText(), markup);
    }
}

} // namespace
} // namespace dunmoss
