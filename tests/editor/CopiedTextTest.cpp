// What a copy puts on the clipboard: the selected characters as plain text, and nothing a paste
// (here or in another program) would wait for the window to build.
#include "editor/ShortcutTextView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QRandomGenerator>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <tuple>

using namespace dunmoss;

namespace {

// The view with Qt's own copy of the selection at hand, whose plain text is the reference.
class CopyingView : public ShortcutTextView {
public:
    QString richCopyText() const {
        const std::unique_ptr<QMimeData> data(QPlainTextEdit::createMimeDataFromSelection());
        return data->text();
    }
};

// Lines of words, tabs, CJK, marks, characters beyond the Basic Multilingual Plane, no-break
// spaces and line separators, as a document holds them.
QString mixedText(QRandomGenerator& random) {
    static const QStringList pieces{
        QStringLiteral("word"),    QStringLiteral("\t"),     QStringLiteral("汉字"),
        QStringLiteral("e\u0301"), QStringLiteral("😀"),      QStringLiteral("\U0001D11E"),
        QStringLiteral("\u00A0"),  QStringLiteral("\u2028"), QStringLiteral(" "),
        QStringLiteral("\n"),      QStringLiteral("\n\n"),   QStringLiteral("end.")};
    QString text;
    for (int i = 0; i < 400; ++i)
        text += pieces.at(random.bounded(pieces.size()));
    return text;
}

// A position that does not split a surrogate pair.
int wholeCharacterPosition(const QString& text, int position) {
    return position > 0 && position < text.size() && text.at(position).isLowSurrogate()
               ? position - 1
               : position;
}

const QMimeData* copyWith(ShortcutTextView& view, int anchor, int position) {
    QTextCursor cursor = view.textCursor();
    cursor.setPosition(anchor);
    cursor.setPosition(position, QTextCursor::KeepAnchor);
    view.setTextCursor(cursor);
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    return QGuiApplication::clipboard()->mimeData();
}

} // namespace

TEST(CopiedText, ACopyOffersOnlyPlainTextHoldingWhatQtsRichCopyGaveAsText) {
    // Cut, a drag and the selection clipboard take the same data.
    QRandomGenerator random(64);
    CopyingView view;
    view.show();
    for (int round = 0; round < 20; ++round) {
        view.setPlainText(mixedText(random));
        const QString shown = view.document()->toRawText();
        const int end = int(shown.size()) - 1;
        int anchor = wholeCharacterPosition(shown, random.bounded(end + 1));
        int position = wholeCharacterPosition(shown, random.bounded(end + 1));
        if (round == 0)
            std::tie(anchor, position) = std::pair{0, end}; // the whole text
        if (anchor == position)
            continue;
        const QMimeData* copied = copyWith(view, anchor, position);
        ASSERT_NE(copied, nullptr);
        EXPECT_EQ(copied->formats(), QStringList{QStringLiteral("text/plain")}) << round;
        EXPECT_EQ(copied->text(), view.richCopyText()) << round;
    }
}
