#include "app/SettingsWindow.h"

#include "app/AppSettingsView.h"
#include "app/ApplicationRelaunch.h"
#include "app/DunmossNotepadApp.h"

#include <QCoreApplication>
#include <QPointer>

namespace dunmoss {

namespace {

QPointer<AppSettingsView>& window() {
    static QPointer<AppSettingsView> view;
    return view;
}

} // namespace

AppSettingsView* settingsWindow() {
    return window();
}

AppSettingsView& showSettingsWindow(Defaults& defaults) {
    const bool existed = window();
    if (!existed) {
        window() = new AppSettingsView(defaults, QCoreApplication::arguments(),
                                       new DefaultTextEditorAssociation,
                                       [] { return relaunchApplication(processRelaunchSteps()); });
        window()->setLocale(DunmossNotepadApp::sceneLocale(storedLanguagePreference(defaults)));
    }
    AppSettingsView* view = window();
    view->show();
    view->raise();
    view->activateWindow();
    // A new window has just asked.
    if (existed)
        view->refreshFileAssociationStatus();
    return *view;
}

} // namespace dunmoss
