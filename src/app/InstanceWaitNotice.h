#pragma once

#include <QWidget>

class QLabel;

namespace dunmoss {

// What a launch shows while it waits for a busy running instance to take its files. The launch
// has no window of its own, and seconds of nothing on screen look like a launch that failed. The
// wait blocks the launch's thread, so the notice is painted whenever the wait reports in.
class InstanceWaitNotice : public QWidget {
    Q_OBJECT
public:
    explicit InstanceWaitNotice(QWidget* parent = nullptr);

    // Shows the notice the first time, then lets it paint and follow the window system.
    void keepShowing();
    QString text() const;

private:
    QLabel* m_label = nullptr;
};

} // namespace dunmoss
