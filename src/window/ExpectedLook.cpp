#include "window/ExpectedLook.h"

#include "editor/EditorLook.h"
#include "editor/TextStorageRegistry.h"
#include "text/EditorTab.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

namespace dunmoss {

ExpectedLook ExpectedLook::of(EditorWindowModel& model) {
    ExpectedLook look;
    look.m_fontSize = model.settings().fontSize();
    look.m_wordWrap = model.settings().wordWrapEnabled();
    // A new tab is most likely shown where the shown one is, at its width.
    if (const std::optional<TextStorage::Look> shown = model.textStorageRegistry().shownLook())
        look.m_width = shown->width;
    look.m_globalTabWidth = tabWidthForTab(model.state(), -1, model.defaults());
    for (EditorLanguage language : allEditorLanguages())
        look.m_tabWidths.insert(language, tabWidthForLanguage(language, model.defaults()));
    // Made here, where the view will measure its font too: most often one or two tab widths.
    for (int tabWidth : std::as_const(look.m_tabWidths))
        if (!look.m_made.contains(tabWidth))
            look.m_made.insert(
                tabWidth, editorLook(look.m_fontSize, tabWidth, look.m_wordWrap, look.m_width));
    return look;
}

TextStorage::Look ExpectedLook::forTab(const EditorTab& tab) const {
    const int tabWidth = m_tabWidths.value(effectiveLanguage(tab), m_globalTabWidth);
    auto made = m_made.constFind(tabWidth);
    if (made == m_made.constEnd())
        made = m_made.insert(tabWidth, editorLook(m_fontSize, tabWidth, m_wordWrap, m_width));
    return *made;
}

ExpectedLook ExpectedLook::atFontSize(qreal fontSize) const {
    ExpectedLook look = *this;
    if (fontSize != m_fontSize) {
        look.m_fontSize = fontSize;
        // Lines broken at this width in another font would not fit.
        look.m_width = 0;
        look.m_made.clear();
    }
    return look;
}

} // namespace dunmoss
