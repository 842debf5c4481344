#pragma once

namespace dunmoss {

class EditorWindowModel;

// Files changed on disk by someone else. The window offers one question at a time, about the
// tab named by `externalChangeTabID`; each Reload or Keep answer passes the question on to the
// next flagged tab in tab order, so several changed files are decided one after the other.
class ExternalChanges {
public:
    explicit ExternalChanges(EditorWindowModel& model) : m_model(model) {}

    // Reload: the tab takes its file's current content and becomes active. A read that fails
    // shows the error and leaves the tab flagged with its text.
    void externalChangeReload();
    // Keep: the tab keeps the editor's text and accepts the file's current date and size as
    // known (the last known ones stay when the file is gone), so its next save overwrites it.
    void externalChangeKeep();
    // The question was dismissed without an answer.
    void dismissExternalChange();

    // The poll: flags every file-backed tab whose file changed since it was last seen and, when
    // no question is up, asks about the first of them.
    void checkExternalChanges();

private:
    EditorWindowModel& m_model;
};

} // namespace dunmoss
