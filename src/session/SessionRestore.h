#pragma once

namespace dunmoss {

class EditorWindowModel;
class SessionStore;

// Brings the stored session back into a window, once per window: the newer of the recovery
// file and the settings record (the file wins a tie). Undecodable copies and a failed save of
// the last run are reported through the error alert; the window keeps its first tab when
// nothing can be restored. Writes nothing back.
class SessionRestore {
public:
    static constexpr double kMinimumFontSize = 10;
    static constexpr double kMaximumFontSize = 28;

    SessionRestore(EditorWindowModel& model, SessionStore& store)
        : m_model(model), m_store(store) {}

    void restoreSession();

private:
    EditorWindowModel& m_model;
    SessionStore& m_store;
};

} // namespace dunmoss
