#pragma once

#include "editor/TextStorage.h"
#include "text/EditorLanguage.h"

#include <QHash>

namespace dunmoss {

class EditorWindowModel;
struct EditorTab;

// How the views of a window will show a document they do not show yet: the window's font size,
// wrapping and tab widths, and the width its shown view wraps at. Taken on the window's thread
// and used where a tab's document is filled beforehand (on any thread), so that the view taking
// the document lays none of it out again for its font, tab stops or wrapping.
class ExpectedLook {
public:
    ExpectedLook() = default;
    // The window's settings now; on the window's thread.
    static ExpectedLook of(EditorWindowModel& model);

    // The look of the tab's document (its language decides the tab width); on any thread, but
    // a copy is used by one thread at a time.
    TextStorage::Look forTab(const EditorTab& tab) const;
    // The same at another font size (a restored session's own): fonts measured on the thread
    // that asks.
    ExpectedLook atFontSize(qreal fontSize) const;

private:
    qreal m_fontSize = 14;
    bool m_wordWrap = true;
    qreal m_width = 0;
    int m_globalTabWidth = 4;
    QHash<EditorLanguage, int> m_tabWidths;
    // The looks made so far, by tab width: their fonts are measured once.
    mutable QHash<int, TextStorage::Look> m_made;
};

} // namespace dunmoss
