#include "editor/EditorLook.h"

#include "editor/EditorFont.h"

#include <QFontMetricsF>
#include <QTextDocument>
#include <algorithm>

namespace dunmoss {

TextStorage::Look editorLook(qreal fontSize, int tabWidth, bool wordWrap, qreal width) {
    // The options every document starts with, which the view changes only in these two.
    static const QTextOption base = QTextDocument().defaultTextOption();
    const QFont font = editorFont(fontSize);
    QTextOption option = base;
    // What the plain-text view sets for its own wrapping at the widget's width, or none.
    option.setWrapMode(wordWrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    option.setTabStopDistance(tabStopDistance(font, tabWidth));
    return {font, option, wordWrap ? width : 0};
}

qreal tabStopDistance(const QFont& font, int tabWidth) {
    const qreal space = QFontMetricsF(font).horizontalAdvance(QLatin1Char(' '));
    return std::max(space, 1.0) * std::max(tabWidth, 1);
}

} // namespace dunmoss
