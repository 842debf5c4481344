#include "app/SettingsWindow.h"

#include "app/AppSettingsView.h"
#include "app/ApplicationRelaunch.h"
#include "app/DunmossNotepadApp.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <algorithm>

namespace dunmoss {

namespace {

QPointer<AppSettingsView>& window() {
    static QPointer<AppSettingsView> view;
    return view;
}

// Centred on the window it was asked from and wholly within that screen's available area. The
// window manager's frame is not known before the first showing: the other window's frame stands
// in for it, as the same manager draws both.
void placeOver(QWidget& view, const QWidget* over) {
    QScreen* screen = over ? over->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    QMargins frame;
    if (over) {
        const QRect outer = over->frameGeometry();
        const QRect inner = over->geometry();
        frame = QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                         outer.right() - inner.right(), outer.bottom() - inner.bottom());
    }
    QRect rect(QPoint(0, 0), view.size().grownBy(frame));
    rect.moveCenter(over ? over->frameGeometry().center() : available.center());
    const auto within = [](int start, int length, int areaStart, int areaLength) {
        return std::max(areaStart, std::min(start, areaStart + areaLength - length));
    };
    // A window placed by the program keeps its frame's corner where it is put.
    view.move(within(rect.left(), rect.width(), available.left(), available.width()),
              within(rect.top(), rect.height(), available.top(), available.height()));
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
    // Shown again after it was closed, it comes up over the window that asked; while open it
    // stays where the person put it.
    if (!view->isVisible()) {
        QWidget* asking = QApplication::activeWindow();
        placeOver(*view, asking && asking != view ? asking : nullptr);
    }
    view->show();
    view->raise();
    view->activateWindow();
    // A new window has just asked.
    if (existed)
        view->refreshFileAssociationStatus();
    return *view;
}

} // namespace dunmoss
