#include "editor/KeptCharAttributes.h"
#include "editor/LaidOutLines.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <gtest/gtest.h>
#include <random>

using namespace dunmoss;

namespace {

// The attributes Qt works out from scratch for a block of this text.
std::vector<unsigned char> workedOutAnew(const QString& text) {
    QTextDocument document;
    document.setPlainText(text);
    const QTextBlock block = document.firstBlock();
    block.layout()->nextCursorPosition(0); // asks for them
    return KeptCharAttributes::heldBy(block);
}

// Lets go of what the block's layout worked out, as an edit of its text does.
void dropWorkedOut(const QTextBlock& block) {
    block.layout()->setFormats(block.layout()->formats());
}

} // namespace

// Random edits anywhere in long lines of many kinds of text: after each, the attributes given to
// the block are the ones Qt works out for the whole new text, whether they were mended around
// the edit or worked out anew where the text there reaches further.
TEST(KeptCharAttributes, MendedAroundAnEditTheyAreTheOnesQtWorksOutForTheWholeText) {
    if (!LaidOutLines::canKeep())
        GTEST_SKIP() << "built or running without the verified Qt text engine";
    std::mt19937 random(7);
    const auto pick = [&](const QStringList& from) { return from[int(random() % from.size())]; };
    const QList<QStringList> kinds{
        {QStringLiteral("word "), QStringLiteral("(call); "), QStringLiteral("x\ty "),
         QStringLiteral("1,000.50% "), QStringLiteral("\"quoted\" "), QStringLiteral("(     a"),
         QString(90, u' ')},
        {QStringLiteral("汉字"), QStringLiteral("文本，"), QStringLiteral("テキスト。"),
         QStringLiteral("한국어 "), QStringLiteral("「引用」")},
        {QStringLiteral("e\u0301a "), QStringLiteral("o\u0308"),
         QStringLiteral("\u0915\u094d\u0937 ")},
        {QStringLiteral("\U0001F1E9\U0001F1EA"), QStringLiteral("\U0001F1EB"),
         QStringLiteral("\U0001F1F7\U0001F1FA\U0001F1F8\U0001F1EA\U0001F1EE\U0001F1F9"),
         QStringLiteral("\U0001F468\u200D\U0001F469 "), QStringLiteral("\U0001F44D\U0001F3FD"),
         QStringLiteral("ab ")},
        {QStringLiteral("ภาษาไทย"), QStringLiteral("สวัสดี "), QStringLiteral("ok ")},
        {QStringLiteral("שלום "), QStringLiteral("مرحبا "), QStringLiteral("abc ")},
    };
    for (qsizetype k = 0; k < kinds.size(); ++k) {
        QString text;
        while (text.size() < 20'000)
            text += pick(kinds[k]);
        QTextDocument document;
        document.setPlainText(text);
        const QTextBlock block = document.firstBlock();
        block.layout()->nextCursorPosition(0);
        KeptCharAttributes kept;
        kept.keepFrom(block);
        int mended = 0;
        for (int edit = 0; edit < 60; ++edit) {
            const int length = block.length() - 1;
            const int position = int(random() % (length + 1));
            const int removed =
                std::min(int(random() % 5 == 0 ? random() % 100 : random() % 3), length - position);
            QString added;
            for (int n = int(random() % 3); n > 0; --n)
                added += pick(kinds[k]);
            QTextCursor cursor(&document);
            cursor.setPosition(position);
            cursor.setPosition(position + removed, QTextCursor::KeepAnchor);
            cursor.insertText(added);
            dropWorkedOut(block);
            mended += kept.giveTo(block, position, removed, int(added.size()));
            ASSERT_EQ(KeptCharAttributes::heldBy(block), workedOutAnew(block.text()))
                << "kind " << k << ", edit " << edit << " at " << position;
        }
        // Most edits are mended rather than worked out anew.
        EXPECT_GT(mended, 30) << "kind " << k;
    }
}

// Kept attributes that are not for the text before the edit are never mended: another block's,
// or its own from before an edit they did not hear of.
TEST(KeptCharAttributes, AttributesForAnotherTextAreWorkedOutAnew) {
    if (!LaidOutLines::canKeep())
        GTEST_SKIP() << "built or running without the verified Qt text engine";
    QTextDocument document;
    document.setPlainText(QString(3'000, u'a') + QStringLiteral(" b\n") + QString(3'000, u'c'));
    const QTextBlock first = document.firstBlock();
    const QTextBlock second = first.next();
    first.layout()->nextCursorPosition(0);
    KeptCharAttributes kept;
    kept.keepFrom(first);

    dropWorkedOut(second);
    EXPECT_FALSE(kept.giveTo(second, 0, 0, 0));
    EXPECT_EQ(KeptCharAttributes::heldBy(second), workedOutAnew(second.text()));

    kept.keepFrom(first);
    QTextCursor cursor(&document);
    cursor.setPosition(10);
    cursor.insertText(QStringLiteral("x "));
    cursor.insertText(QStringLiteral("y "));
    dropWorkedOut(first);
    // Told of the second edit only: the kept ones are two characters short of the text before it.
    EXPECT_FALSE(kept.giveTo(first, 12, 0, 2));
    EXPECT_EQ(KeptCharAttributes::heldBy(first), workedOutAnew(first.text()));
}
