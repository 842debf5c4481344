#include "chrome/WindowLevel.h"

#include "chrome/EditorWindowView.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace dunmoss {

namespace {

constexpr int kLevelFollowUpMs = 150;

void setStaysOnTop(QWidget* window, bool onTop) {
    Qt::WindowFlags flags = window->windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, onTop);
    if (QWindow* handle = window->windowHandle()) {
        // Told to the window system directly: QWidget::setWindowFlags would hide a shown window.
        window->overrideWindowFlags(flags);
        handle->setFlags(flags);
    } else if (flags != window->windowFlags()) {
        window->setWindowFlags(flags);
    }
}

void followUp(QWidget* window, bool fallbackValue, const AlwaysOnTopReader& current) {
    const QPointer<QWidget> target = window;
    const auto check = [target, fallbackValue, current] {
        if (target)
            setStaysOnTop(target, current ? current() : fallbackValue);
    };
    QTimer::singleShot(0, window, check);
    QTimer::singleShot(kLevelFollowUpMs, window, check);
}

} // namespace

bool isEditorWindowCandidate(const QWidget* window) {
    if (!window || !window->isWindow())
        return false;
    const Qt::WindowType type = window->windowType();
    return type == Qt::Window;
}

void applyWindowLevel(QWidget* window, bool isAlwaysOnTop, AlwaysOnTopReader current) {
    if (!window)
        return;
    window->setObjectName(QString::fromLatin1(kEditorWindowIdentifier));
    if (!isEditorWindowCandidate(window))
        return;
    setStaysOnTop(window, isAlwaysOnTop);
    if (!isAlwaysOnTop)
        followUp(window, false, current);
}

QList<QWidget*> editorWindowsForLevel() {
    QList<QWidget*> windows;
    const QString identifier = QString::fromLatin1(kEditorWindowIdentifier);
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == identifier && isEditorWindowCandidate(widget) &&
            !windows.contains(widget))
            windows.append(widget);
    return windows;
}

void applyAlwaysOnTopToEditorWindows(bool enabled, bool bringToFront,
                                     const AlwaysOnTopReader& current) {
    const QList<QWidget*> windows = editorWindowsForLevel();
    if (windows.isEmpty())
        return;
    for (QWidget* window : windows) {
        setStaysOnTop(window, enabled);
        followUp(window, enabled, current);
    }
    if (!(enabled && bringToFront))
        return;
    QWidget* front = QApplication::activeWindow();
    if (!windows.contains(front))
        front = windows.first();
    front->raise();
    front->activateWindow();
}

} // namespace dunmoss
