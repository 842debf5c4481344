#pragma once

#include "text/EditorLanguage.h"
#include "text/TextEncoding.h"

#include <optional>

namespace dunmoss {

class EditorWindowModel;

// The small operations the header bar and the menu run on the document and the window's
// display: encoding, line ending and language of the tab whose pane has the keyboard, the font
// size, the find bar and the command palette. Each refuses what a read-only tab must not do with a
// status message; none asks a question.
class HeaderActions {
public:
    static constexpr double kMinimumFontSize = 10.0;
    static constexpr double kMaximumFontSize = 28.0;

    explicit HeaderActions(EditorWindowModel& model) : m_model(model) {}

    // The text is untouched: the tab counts as modified while the value differs from the saved
    // one, and the next save writes it.
    void setEncoding(TextFileEncoding encoding);
    void setLineEnding(TextLineEnding lineEnding);
    // Nothing returns the tab to the language its file name suggests.
    void setLanguageOverride(std::optional<EditorLanguage> language);
    // One point up or down, within 10 and 28; the setting is shared by every window.
    void increaseFont();
    void decreaseFont();
    // Shows the find bar; the keyboard focus moves to its query field on the next turn of the
    // event loop, once the bar exists.
    void openFindBar();
    void dismissQuickOpen();

private:
    EditorWindowModel& m_model;
};

} // namespace dunmoss
