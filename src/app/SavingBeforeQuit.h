#pragma once

#include <QObject>
#include <functional>

namespace dunmoss {

class Defaults;

// Before a quit closes the windows, every window writes what it keeps (see ClosingSave: its
// saves under way, then its session and recovery copy, once more for what was typed meanwhile
// once the window is sealed), and the quit waits until they and the settings are on disk. The
// waits run off the window's thread, so the windows keep painting and say they are saving, and
// what is typed meanwhile is kept. Main thread only.
class SavingBeforeQuit : public QObject {
    Q_OBJECT
public:
    explicit SavingBeforeQuit(Defaults& defaults, QObject* parent = nullptr);

    // Runs `then` once everything is on disk. A call while saving does nothing.
    void start(std::function<void()> then);
    bool isSaving() const { return static_cast<bool>(m_then); }

private:
    void windowSaved();
    void settingsSaved();
    void say(bool saving);

    Defaults& m_defaults;
    std::function<void()> m_then;
    int m_windowsLeft = 0;
};

} // namespace dunmoss
