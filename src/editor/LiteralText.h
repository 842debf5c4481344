#pragma once

#include <QString>

class QMessageBox;

namespace dunmoss {

// Names, paths, queries and document text shown by widgets that would otherwise read markup or
// menu mnemonics in them: a file named "<h1>a.txt" shows those characters, "a&b" shows its "&".
// Labels that show such text take Qt::PlainText as their text format.

// The text of a menu entry or button that shows `text` as it is: every "&" doubled.
QString literalMnemonicText(const QString& text);
// A tooltip that shows `text` as it is, also when it looks like markup.
QString literalToolTip(const QString& text);
// Makes the message box show its text and informative text as they are. Call it after setting
// the informative text (its label is made then).
void showLiterally(QMessageBox* box);

} // namespace dunmoss
