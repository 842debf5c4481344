#pragma once

#include "platform/LaterThanRepaints.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>

class QEventLoopLocker;
class QMessageBox;
class QMimeData;

namespace dunmoss {

class Defaults;
class DialogInteraction;
class EditorFocus;
class EditorWindowModel;
class HeaderView;
class OpenRequestReceiver;
class WindowCommandTable;
class WindowLayout;

// Every editor window carries this as its object name while it is open, so the application can
// tell its editor windows from the settings window, dialogs and panels.
inline constexpr const char* kEditorWindowIdentifier = "com.dunmoss.notepad.editor-window";

// One editor window: the window layout around the model that holds its state. It keeps nothing
// but widgets and re-reads the model after every change (coalesced to one refresh per turn of
// the event loop). Closing keeps the drafts in the session; only a close that would lose them
// (the session is not saved, no copy of it can be written, or another window will overwrite
// it) asks the person first.
//
// The window knows nothing of the application around it: whoever composes it installs the menu
// bar and hands `commandTable()`'s record to the menus when the signals below say the window
// should be, or no longer be, the one the menus reach.
class EditorWindowView : public QMainWindow {
    Q_OBJECT
public:
    struct Options {
        // False for the fallback window the application builds itself.
        bool isSceneHosted = true;
        // The settings database; the standard one when null.
        Defaults* defaults = nullptr;
        // The process arguments (they choose the always-on-top key); the application's when
        // empty.
        QStringList processArguments;
        // Where the recovery snapshot is kept; the standard folder when empty.
        QString recoveryDirectory;
    };

    // The window's content never gets smaller than this.
    static constexpr int kMinimumContentWidth = 860;
    static constexpr int kMinimumContentHeight = 540;

    explicit EditorWindowView(const Options& options, QWidget* parent = nullptr);
    EditorWindowView();
    ~EditorWindowView() override;

    EditorWindowModel& model() const { return *m_model; }
    WindowCommandTable& commandTable() const { return *m_commands; }
    WindowLayout& windowLayout() const { return *m_layout; }
    HeaderView& header() const { return *m_header; }

    // Steps of the window's start-up that later parts add (session, workspace, histories...).
    // They run in order on the first turn of the event loop after the window is first shown,
    // before the window takes over a menu command that was waiting for it.
    void addStartUpStep(std::function<void()> step);
    bool hasCompletedStartUp() const { return m_startedUp; }

    // Applies the model's state to the widgets at once (normally coalesced).
    void refreshNow();

    // The window's receiver of the system's open requests; it listens from the end of the
    // start-up until the window closes.
    OpenRequestReceiver& openRequests() const { return *m_openRequests; }
    // A drop of files or folders anywhere on the window, the editor included: true when it holds
    // at least one (each then opens on a later turn of the event loop); false refuses it.
    bool handleFileDrop(const QMimeData& data);

    // Shows the model's state at once and hands the keyboard to the text of the active tab (after
    // a click on its tab, or text typed on the welcome panel).
    void focusActiveEditor();

    // Closes the window keeping what can be kept of its session, asking nobody, even while a
    // question about closing it is open (a termination signal).
    void closeWithoutAsking();
    // Taking no input for the last write before it closes; it no longer counts as an editor
    // window meanwhile.
    bool isSealedForClosing() const { return m_sealed && !m_closed; }

signals:
    // The menus should reach this window: on its first show and whenever it becomes the active
    // window, never after it closed.
    void commandTargetOffered();
    // The start-up steps ran (never for a window closed before its start-up): the menus should
    // reach this window, which may now take over a menu command that was waiting for one.
    // Precedes `startUpCompleted`.
    void startUpStepsFinished();
    void startUpCompleted();
    // The window closed, or is being destroyed without having closed: the menus must not reach
    // it any more. Emitted once.
    void closed();
    // The window stopped taking input for the last write before it closes: the menus must not
    // reach it; should it stay after all, it offers itself again when next activated.
    void sealedForClosing();
    // After a close that asked the person first: they kept the window, or let it close (emitted
    // once the window has closed); the latter also after a close that waited for the disk.
    void closeDeclined();
    void closedAfterQuestion();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void scheduleRefresh();
    void prepareWindowOnAppear();
    void presentErrorAlert();
    void showFind();
    // A close that would lose edits asks first, naming the stored copies that could not be
    // written; the answer closes the window or keeps it.
    void askBeforeClosing(const QStringList& unwrittenCopies);
    // Closes again once what the window keeps is written, without holding it meanwhile.
    void saveThenClose();
    // Closes again once the saves under way are written, without holding the window meanwhile.
    void closeWhenWritten();
    // From the last write of a close or quit on, the window takes no input and is hidden; it
    // comes back when it stays after all.
    void sealForClosing(bool sealed);
    // Another editor window stays open and will write the shared session after this one.
    bool otherEditorWindowsRemain() const;

    Options m_options;
    EditorWindowModel* m_model = nullptr;
    std::unique_ptr<DialogInteraction> m_interaction;
    std::unique_ptr<WindowCommandTable> m_commands;
    OpenRequestReceiver* m_openRequests = nullptr;
    WindowLayout* m_layout = nullptr;
    HeaderView* m_header = nullptr;
    EditorFocus* m_focus = nullptr;
    QPointer<QMessageBox> m_errorAlert;
    // The window re-reads its model after the repaints a change brought: a typed letter is on
    // the screen before the window's chrome catches up with it.
    LaterThanRepaints* m_refreshLater = nullptr;
    QList<std::function<void()>> m_startUpSteps;
    bool m_appeared = false;
    bool m_startedUp = false;
    bool m_askingBeforeClose = false;
    bool m_closingWhenWritten = false;
    bool m_savingBeforeClose = false;
    bool m_closeConfirmed = false;
    bool m_closed = false;
    bool m_sealed = false;
    std::unique_ptr<QEventLoopLocker> m_quitAfterSealed;
};

} // namespace dunmoss
