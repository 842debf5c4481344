#pragma once

#include <QPointer>
#include <memory>

namespace dunmoss {

class EditorWindowModel;

// A save panel or a question of the window, open now. While one is, no tab of the window is
// autosaved (see tabAwaitsDecision): the answer acts on the files as the person saw them, not
// as a tick left them meanwhile. Counted open when made and closed once: by close() when the
// answer comes, or when the last holder lets go of it because no answer ever will.
class QuestionHold {
public:
    static std::shared_ptr<QuestionHold> open(EditorWindowModel& model);
    ~QuestionHold();
    QuestionHold(const QuestionHold&) = delete;
    QuestionHold& operator=(const QuestionHold&) = delete;

    void close();

private:
    explicit QuestionHold(EditorWindowModel& model);

    QPointer<EditorWindowModel> m_model;
    bool m_open = true;
};

} // namespace dunmoss
