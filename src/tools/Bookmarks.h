#pragma once

namespace dunmoss {

class EditorWindowModel;

// Bookmarked lines of the tab whose pane has the keyboard: toggling the caret's line, clearing them
// all, and going to the next or previous one with wrap-around. Line numbers are not moved by edits;
// those past the last line are dropped whenever the text changes (see dropBookmarksBeyondLastLine),
// and navigation skips any that remain. Read-only tabs take bookmarks too.
class Bookmarks {
public:
    explicit Bookmarks(EditorWindowModel& model) : m_model(model) {}

    // The 1-based line of that tab's caret.
    int currentLineNumber() const;
    // Adds or removes the caret's line and saves the session.
    void toggleBookmark();
    // Saves the session only when there was something to clear.
    void clearBookmarks();
    // Selects the whole target line (without its line feed); changes nothing else.
    void goToAdjacentBookmark(bool previous);
    void nextBookmark() { goToAdjacentBookmark(false); }
    void previousBookmark() { goToAdjacentBookmark(true); }

private:
    EditorWindowModel& m_model;
};

} // namespace dunmoss
