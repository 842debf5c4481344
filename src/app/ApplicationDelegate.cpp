#include "app/ApplicationDelegate.h"

#include "app/ApplicationActions.h"
#include "app/EditorWindowPresence.h"
#include "app/UpdateController.h"
#include "platform/NotificationBus.h"
#include "text/EditorTheme.h"

#include <QPointer>
#include <QTimer>

namespace dunmoss {

ApplicationDelegate::ApplicationDelegate(const QStringList& arguments,
                                         std::function<void()> openFallbackWindow,
                                         NotificationBus& bus, QObject* parent)
    : QObject(parent), m_arguments(arguments), m_openFallbackWindow(std::move(openFallbackWindow)),
      m_bus(bus) {}

void ApplicationDelegate::applicationDidFinishLaunching() {
    if (!arrayContainsString(m_arguments, QString::fromLatin1(kUiTestingArgument)))
        DirectUpdateController::shared().updaterController();
    checkForUpdatesAction() = [] { DirectUpdateController::shared().checkForUpdates(); };
    const QPointer<ApplicationDelegate> self = this;
    fallbackWindowAction() = [self] {
        if (self && self->m_openFallbackWindow)
            self->m_openFallbackWindow();
    };
    runFallbackCheck(0);
}

void ApplicationDelegate::runFallbackCheck(int index) {
    if (index >= int(std::size(kFallbackCheckDelaysMs))) {
        emit launchChecksFinished();
        return;
    }
    QTimer::singleShot(kFallbackCheckDelaysMs[index], this, [this, index] {
        ++m_checksRun;
        if (!hasEditorWindow() && m_openFallbackWindow)
            m_openFallbackWindow();
        runFallbackCheck(index + 1);
    });
}

bool ApplicationDelegate::applicationShouldHandleReopen() {
    QTimer::singleShot(0, this, [] {
        if (!hasVisibleEditorWindow())
            showMainWindow();
    });
    return true;
}

void ApplicationDelegate::openURLs(const QList<QUrl>& urls) {
    QTimer::singleShot(0, this, [this, urls] {
        if (hasEditorWindow() || !editorWindows().isEmpty()) {
            showMainWindow();
        } else if (fallbackWindowAction()) {
            fallbackWindowAction()();
        }
        // The request is kept until a window takes it, so a window still starting (or one only
        // asked for) opens it once it is ready.
        m_bus.postOpenURLRequest(urls);
    });
}

void ApplicationDelegate::openURLsAtLaunch(const QList<QUrl>& urls) {
    if (!urls.isEmpty())
        m_bus.postOpenURLRequest(urls);
}

void ApplicationDelegate::applicationWillTerminate() {
    m_bus.postApplicationWillTerminate();
}

} // namespace dunmoss
