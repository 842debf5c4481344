#include "text/WhitespaceMarks.h"

#include <algorithm>

namespace dunmoss {

int leadingIndentColumns(QStringView line, int tabWidth) {
    const int tab = std::max(tabWidth, 1);
    int columns = 0;
    for (const QChar c : line) {
        if (c == u' ')
            columns += 1;
        else if (c == u'\t')
            columns += tab;
        else
            break;
    }
    return columns;
}

std::optional<QChar> invisibleCharacterMark(QChar character) {
    switch (character.unicode()) {
    case u'\t':
        return QChar(0x2192);
    case u'\n':
    case u'\r':
        return QChar(0x21B5);
    case u' ':
        return QChar(0x00B7);
    default:
        return std::nullopt;
    }
}

bool containsSpaceOrTab(QStringView text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c == u' ' || c == u'\t'; });
}

} // namespace dunmoss
