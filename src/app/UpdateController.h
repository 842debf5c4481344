#pragma once

#include <QString>
#include <functional>
#include <memory>

namespace dunmoss {

// The program's own updater. No update source is configured for this build and nothing runs in
// the background: starting it schedules no network work. A check the user asks for shows its own
// dialog with the running version and says plainly that it could not look for a newer one; it
// never claims the program is up to date.
class SelfUpdater {
public:
    struct CheckReport {
        QString title;
        QString message;
    };
    using Presenter = std::function<void(const CheckReport&)>;

    // Created started, as the application asks for it at launch.
    SelfUpdater();

    bool isStarted() const { return m_started; }
    int checkCount() const { return m_checks; }
    // A user-initiated check: its result goes to the presenter (a dialog by default).
    void checkForUpdates();
    // What a check reports for the running version.
    static CheckReport checkReport(const QString& version);

    // Replaces the dialog (tests).
    void setPresenter(Presenter presenter) { m_presenter = std::move(presenter); }

private:
    bool m_started = false;
    int m_checks = 0;
    Presenter m_presenter;
};

// The one place the application reaches the updater: created on first use and kept for the life
// of the process. The application asks for it at launch (except under automated interface
// testing), which starts it; the menu's "Check for Updates" asks it to check now.
class DirectUpdateController {
public:
    static DirectUpdateController& shared();

    SelfUpdater& updaterController();
    bool hasUpdaterController() const { return bool(m_updater); }
    void checkForUpdates() { updaterController().checkForUpdates(); }

    // Back to the launch state (tests).
    void reset() { m_updater.reset(); }

private:
    std::unique_ptr<SelfUpdater> m_updater;
};

} // namespace dunmoss
