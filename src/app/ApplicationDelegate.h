#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <functional>

namespace dunmoss {

class NotificationBus;

// The application's side of the system's events: launch, reopen (a second launch without
// files), files handed over (the command line, a second launch with files) and termination. It
// makes sure an editor window exists shortly after launch and whenever files arrive, and hands
// the files to the windows as one open request, which the first window able to take it opens.
// Main thread only.
class ApplicationDelegate : public QObject {
    Q_OBJECT
public:
    // The launch checks, each counted from the previous one.
    static constexpr int kFallbackCheckDelaysMs[] = {300, 900, 1800};

    // `openFallbackWindow` builds and shows a fallback editor window.
    ApplicationDelegate(const QStringList& arguments, std::function<void()> openFallbackWindow,
                        NotificationBus& bus, QObject* parent = nullptr);

    // Starts the updater (not under automated interface testing), installs the fallback-window
    // action and the update check, and checks three times that some editor window is there.
    void applicationDidFinishLaunching();
    // Brings a window forward unless one is on screen; always true.
    bool applicationShouldHandleReopen();
    // Makes sure a window exists, then posts one open request with the files, in order.
    void openURLs(const QList<QUrl>& urls);
    // The files named at launch, for the window just opened: posted at once, so that window
    // claims them as its start-up ends instead of after the wait of a window that is not yet
    // active (the window manager may take its time to activate it).
    void openURLsAtLaunch(const QList<QUrl>& urls);
    // Tells every window, which saves its session.
    void applicationWillTerminate();

    int fallbackChecksRun() const { return m_checksRun; }

signals:
    // The three launch checks are over.
    void launchChecksFinished();

private:
    void runFallbackCheck(int index);

    QStringList m_arguments;
    std::function<void()> m_openFallbackWindow;
    NotificationBus& m_bus;
    int m_checksRun = 0;
};

} // namespace dunmoss
