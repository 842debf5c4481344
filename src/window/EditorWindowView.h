#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>

class QMessageBox;

namespace dunmoss {

class Defaults;
class DialogInteraction;
class EditorMenuBar;
class EditorWindowModel;
class WindowCommandTable;
class WindowLayout;

// One editor window: its menu bar and the window layout around the model that holds its state.
// It keeps nothing but widgets and re-reads the model after every change (coalesced to one
// refresh per turn of the event loop). It writes its commands into the process-wide slot when
// it is first shown, whenever it becomes the active window and at the end of its start-up, and
// withdraws them when it closes. A close that would lose edits (nothing keeps drafts across it)
// asks the person first.
class EditorWindowView : public QMainWindow {
    Q_OBJECT
public:
    struct Options {
        // False for the fallback window the application builds itself.
        bool isSceneHosted = true;
        // Opens another window of the application's window group; a scene-hosted window
        // publishes it as the process-wide open-window action when it is shown.
        std::function<void()> openWindow;
        // The settings database; the standard one when null.
        Defaults* defaults = nullptr;
        // The process arguments (they choose the always-on-top key); the application's when
        // empty.
        QStringList processArguments;
    };

    explicit EditorWindowView(const Options& options, QWidget* parent = nullptr);
    EditorWindowView();
    ~EditorWindowView() override;

    EditorWindowModel& model() const { return *m_model; }
    WindowCommandTable& commandTable() const { return *m_commands; }
    WindowLayout& windowLayout() const { return *m_layout; }
    EditorMenuBar* editorMenuBar() const { return m_menuBar; }

    // Steps of the window's start-up that later parts add (session, workspace, histories...).
    // They run in order on the first turn of the event loop after the window is first shown,
    // before the window takes over a menu command that was waiting for it.
    void addStartUpStep(std::function<void()> step);
    bool hasCompletedStartUp() const { return m_startedUp; }

    // Applies the model's state to the widgets at once (normally coalesced).
    void refreshNow();

signals:
    void startUpCompleted();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void scheduleRefresh();
    void installWindowCommandsOnAppear();
    void prepareWindowOnAppear();
    void presentErrorAlert();
    void showFind();
    // A close that would lose edits asks first; the answer closes the window or keeps it.
    void askBeforeClosing();

    Options m_options;
    EditorWindowModel* m_model = nullptr;
    std::unique_ptr<DialogInteraction> m_interaction;
    std::unique_ptr<WindowCommandTable> m_commands;
    WindowLayout* m_layout = nullptr;
    EditorMenuBar* m_menuBar = nullptr;
    QPointer<QMessageBox> m_errorAlert;
    QList<std::function<void()>> m_startUpSteps;
    bool m_appeared = false;
    bool m_startedUp = false;
    bool m_refreshPending = false;
    bool m_askingBeforeClose = false;
    bool m_closeConfirmed = false;
    bool m_closed = false;
};

} // namespace dunmoss
