#pragma once

#include <QUuid>

namespace dunmoss {

class EditorWindowModel;

// Files changed on disk by someone else. The window offers one question at a time, about the
// tab named by `externalChangeTabID`; each Reload or Keep answer passes the question on to the
// next flagged tab in tab order, so several changed files are decided one after the other.
class ExternalChanges {
public:
    explicit ExternalChanges(EditorWindowModel& model) : m_model(model) {}

    // The answers name the tab they were given for; each acts only while that tab exists and
    // is still flagged (or asked about), and then passes the question on.
    // Reload: the tab takes its file's current content. A read that fails shows the error and
    // leaves the tab flagged with its text. Neither answer changes the active tab: the person
    // stays on the document they were in.
    void externalChangeReload(const QUuid& tabID);
    // Keep: the tab keeps the editor's text and accepts the file as it is now as known, so its
    // next save writes over it, or writes it again when it is gone.
    void externalChangeKeep(const QUuid& tabID);
    // The question was put away without an answer; the tab stays flagged.
    void dismissExternalChange();

    // The poll: flags every file-backed tab whose file changed since it was last seen and, when
    // no question is up, asks about the first of them. A tab being written or read again is
    // left for a later poll.
    void checkExternalChanges();

private:
    bool isAskedAbout(const QUuid& tabID) const;
    void passQuestionOn(const QUuid& decided);

    EditorWindowModel& m_model;
};

} // namespace dunmoss
