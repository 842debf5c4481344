#include "editor/LiteralText.h"

#include <QLabel>
#include <QMessageBox>
#include <QTextDocument>

namespace dunmoss {

QString literalMnemonicText(const QString& text) {
    QString escaped = text;
    return escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString literalToolTip(const QString& text) {
    // A tooltip is read as markup only when it looks like it.
    if (!Qt::mightBeRichText(text))
        return text;
    return Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap);
}

void showLiterally(QMessageBox* box) {
    box->setTextFormat(Qt::PlainText);
    // The box gives its format to the main text only; the informative text has a label of its own.
    for (QLabel* label : box->findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
}

} // namespace dunmoss
