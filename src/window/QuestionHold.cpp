#include "window/QuestionHold.h"

#include "window/EditorWindowModel.h"

namespace dunmoss {

std::shared_ptr<QuestionHold> QuestionHold::open(EditorWindowModel& model) {
    return std::shared_ptr<QuestionHold>(new QuestionHold(model));
}

QuestionHold::QuestionHold(EditorWindowModel& model) : m_model(&model) {
    model.update([](EditorWindowState& state) { ++state.decisions.openQuestions; });
}

QuestionHold::~QuestionHold() {
    close();
}

void QuestionHold::close() {
    if (!std::exchange(m_open, false) || !m_model)
        return;
    m_model->update([](EditorWindowState& state) { --state.decisions.openQuestions; });
}

} // namespace dunmoss
