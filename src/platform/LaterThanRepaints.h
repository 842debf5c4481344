#pragma once

#include <QObject>
#include <functional>

namespace dunmoss {

// Runs a function on its object's thread after the events already waiting, the widgets' repaints
// among them, so that what a key changed reaches the screen before the work that only follows
// from it (the window re-reading its model, its chrome). Requests made before it ran are one
// run; deleting the object drops a run still waiting.
class LaterThanRepaints : public QObject {
public:
    explicit LaterThanRepaints(std::function<void()> run, QObject* parent = nullptr);

    void request();
    bool isRequested() const { return m_requested; }

protected:
    bool event(QEvent* event) override;

private:
    std::function<void()> m_run;
    bool m_requested = false;
};

} // namespace dunmoss
