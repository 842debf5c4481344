#include "chrome/EditorWindowView.h"

#include "chrome/DialogHost.h"
#include "chrome/DialogInteraction.h"
#include "chrome/EditorArea.h"
#include "chrome/EditorFocus.h"
#include "chrome/EditorPane.h"
#include "chrome/FindPanels.h"
#include "chrome/HeaderView.h"
#include "chrome/HeaderWiring.h"
#include "chrome/NavigationViews.h"
#include "chrome/PanelsInstaller.h"
#include "chrome/TabStripView.h"
#include "chrome/WindowColorScheme.h"
#include "chrome/WindowLayout.h"
#include "chrome/WindowLevel.h"
#include "editor/CodeEditorView.h"
#include "editor/LiteralText.h"
#include "editor/PaletteFollowing.h"
#include "editor/ShortcutTextView.h"
#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "platform/NotificationBus.h"
#include "search/FindSeams.h"
#include "search/FolderSearchPanel.h"
#include "session/WindowSession.h"
#include "text/EditorTheme.h"
#include "tools/PanelCommands.h"
#include "tools/ToolCommands.h"
#include "window/DocumentSaving.h"
#include "window/DocumentWriteQueue.h"
#include "window/EditorWindowModel.h"
#include "window/IncomingFiles.h"
#include "window/OpenRequestReceiver.h"
#include "window/WindowAlerts.h"
#include "window/WindowCloseQuestion.h"
#include "window/WindowCommandHandlers.h"
#include "window/WindowCommandTable.h"
#include "window/WindowDerivedValues.h"
#include "window/WindowStartUp.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDropEvent>
#include <QEventLoopLocker>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <utility>

namespace dunmoss {

EditorWindowView::EditorWindowView() : EditorWindowView(Options{}) {}

EditorWindowView::EditorWindowView(const Options& options, QWidget* parent)
    : QMainWindow(parent), m_options(options) {
    setObjectName(QString::fromLatin1(kEditorWindowIdentifier));
    setAttribute(Qt::WA_DeleteOnClose);
    m_refreshLater = new LaterThanRepaints([this] { refreshNow(); }, this);
    Defaults& defaults = options.defaults ? *options.defaults : Defaults::standard();
    const QStringList arguments = options.processArguments.isEmpty() ? QCoreApplication::arguments()
                                                                     : options.processArguments;
    m_model = new EditorWindowModel(
        defaults,
        EditorWindowModel::Options{options.isSceneHosted, arguments, options.recoveryDirectory},
        this);
    installFindSeams(*m_model);
    WindowSession::attach(*m_model).closingSave().setSeal(
        [this](bool sealed) { sealForClosing(sealed); });
    m_interaction = std::make_unique<DialogInteraction>(this);
    m_model->setInteraction(m_interaction.get());
    m_commands = std::make_unique<WindowCommandTable>(*m_model);
    WindowCommandHandlers::install(*m_commands, *m_model);
    installToolCommands(*m_commands, *m_model);
    installPanelCommands(*m_commands, *m_model);
    new WindowAlerts(*m_model, m_model);
    m_openRequests = new OpenRequestReceiver(
        *m_model, [this] { return isActiveWindow(); }, NotificationBus::shared(), this);
    connect(&NotificationBus::shared(), &NotificationBus::applicationWillTerminate, m_model,
            &EditorWindowModel::persistSession);
    // Files dropped on any part of the window, the editor views included, open in it.
    setAcceptDrops(true);
    qApp->installEventFilter(this);

    m_layout = new WindowLayout(*m_model, this);
    m_layout->setMinimumSize(kMinimumContentWidth, kMinimumContentHeight);
    setCentralWidget(m_layout);
    installPanels(*m_layout->editorArea(), *m_model, this);
    m_header = new HeaderView(m_layout);
    m_header->setCommands(makeHeaderCommands(*m_model, m_commands->makeWindowCommands()));
    m_layout->setPanel(WindowPanel::Header, m_header);
    m_focus = new EditorFocus(*this, *m_layout->editorArea(), *m_model);

    connect(m_layout->tabStrip(), &TabStripView::selectTabRequested, this, [this](const QUuid& id) {
        m_commands->selectTab(id);
        focusActiveEditor();
    });
    connect(m_layout->tabStrip(), &TabStripView::closeTabRequested, this, [this](const QUuid& id) {
        if (m_commands->requestCloseTab)
            m_commands->requestCloseTab(id);
    });
    connect(m_model, &EditorWindowModel::changed, this, &EditorWindowView::scheduleRefresh);
    // Display settings change in the settings database, possibly from another window.
    connect(&defaults, &Defaults::changed, this, &EditorWindowView::scheduleRefresh);

    // The window floats above others while the always-on-top setting says so; a change of the
    // setting (from any window, the menu or the settings window) reaches every editor window.
    WindowSettings* settings = &m_model->settings();
    // The level's follow-up runs later, when the model may already be gone.
    const QPointer<EditorWindowModel> model = m_model;
    const AlwaysOnTopReader current = [model] {
        return model && model->settings().alwaysOnTopEnabled();
    };
    Defaults* store = &defaults;
    applyWindowLevel(this, current(), current);
    connect(&defaults, &Defaults::changed, this,
            [this, settings, current, arguments, store](const QString& key) {
                if (key != settings->alwaysOnTopKey() || m_closed)
                    return;
                const bool enabled = current();
                applyWindowLevel(this, enabled, current);
                setAlwaysOnTop(enabled, enabled, *store, arguments);
            });
    // Its place in the start-up order comes after the restore (see WindowStartUp).
    m_model->seams().applyAlwaysOnTopToEditorWindows = [arguments, store](bool enabled,
                                                                          bool bringToFront) {
        setAlwaysOnTop(enabled, bringToFront, *store, arguments);
    };
    // After the window's own refresh is connected, so the bar is on screen when it takes focus.
    auto* findPanels = new FindPanels(*m_layout, *m_model, [this] { focusActiveEditor(); });
    // Pressed while the folder panel gave way for lack of room, its shortcut brings it back with
    // the keyboard in its query rather than closing it unseen.
    const QPointer<FolderSearchPanel> folder = findPanels->folderSearch();
    EditorCommands::Command& toggleFolder = m_commands->handlers().toggleFolderSearch;
    toggleFolder = [this, folder, toggle = toggleFolder] {
        if (folder && m_layout && m_layout->bringBack(WindowPanel::FolderSearch))
            folder->queryField()->setFocus(Qt::ShortcutFocusReason);
        else if (toggle)
            toggle();
    };
    new NavigationViews(*this);
    refreshNow();
}

EditorWindowView::~EditorWindowView() {
    m_openRequests->stopListening();
    if (!m_closed) {
        m_closed = true;
        WindowSession::of(*m_model).saveSessionOnDisappear();
        emit closed();
    }
    // The editor views let go of the model's storages and undo stacks before the model goes
    // (child widgets would otherwise be deleted after it), and no dialog is asked for any more.
    delete m_layout;
    m_layout = nullptr;
    m_model->setInteraction(nullptr);
}

void EditorWindowView::addStartUpStep(std::function<void()> step) {
    m_startUpSteps.append(std::move(step));
}

void EditorWindowView::scheduleRefresh() {
    m_refreshLater->request();
}

void EditorWindowView::refreshNow() {
    if (!m_layout)
        return;
    m_layout->refresh([this] { showFind(); });
    m_header->setValues(headerValues(*m_model));
    applyPreferredColorScheme(*this, m_model->settings().themeRawValue());
    setWindowTitle(dunmoss::windowTitle(m_model->state()));
    presentErrorAlert();
    if (m_focus)
        m_focus->settle();
}

void EditorWindowView::focusActiveEditor() {
    // The pane shows the new tab first, so the keys typed next land in its text.
    refreshNow();
    m_focus->focusActiveEditor();
}

void EditorWindowView::showFind() {
    invokeCommand(m_commands->handlers(), &EditorCommands::showFind);
}

void EditorWindowView::presentErrorAlert() {
    const std::optional<QString>& message = m_model->state().errors.errorMessage;
    if (!message) {
        if (m_errorAlert)
            m_errorAlert->close();
        return;
    }
    if (m_errorAlert) {
        // The message on screen was replaced.
        if (m_errorAlert->text() != *message)
            m_errorAlert->setText(*message);
        return;
    }
    // An error about a sheet's input is the sheet's, which keeps the keyboard once it is read.
    QWidget* host = dialogHost(this);
    auto* alert = new QMessageBox(host);
    useParentWindowPalette(alert);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    alert->setIcon(QMessageBox::Warning);
    alert->setWindowTitle(localizedString(QStringLiteral("error.title")));
    alert->setText(*message);
    // Messages quote file names and paths.
    showLiterally(alert);
    alert->addButton(localizedString(QStringLiteral("error.ok")), QMessageBox::AcceptRole);
    m_errorAlert = alert;
    // Dismissing the alert brings up the next queued message, if any; so does its going with
    // the sheet it was raised on.
    auto pending = std::make_shared<bool>(true);
    const auto dismissed = [this, pending, host = QPointer<QWidget>(host)] {
        if (!std::exchange(*pending, false))
            return;
        returnKeyboardTo(host);
        m_errorAlert = nullptr;
        m_model->showNextQueuedError();
    };
    connect(alert, &QMessageBox::finished, this, dismissed);
    // The model goes before the window's child dialogs when the window itself goes.
    connect(alert, &QObject::destroyed, m_model, dismissed);
    alert->open();
}

void EditorWindowView::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_appeared)
        return;
    m_appeared = true;
    emit commandTargetOffered();
    // The start-up never runs inside the show itself.
    QTimer::singleShot(0, this, &EditorWindowView::prepareWindowOnAppear);
}

void EditorWindowView::prepareWindowOnAppear() {
    // Closed before its turn came: the menus and the waiting command belong to the windows
    // still open.
    if (m_closed)
        return;
    dunmoss::prepareWindowOnAppear(*m_model);
    const QList<std::function<void()>> steps = m_startUpSteps;
    for (const auto& step : steps)
        step();
    // After the restore, so that the files handed over are not replaced by the session's tabs.
    m_openRequests->startListening();
    // Keys typed right after the launch land in the text; a sheet or popover a start-up step
    // opened keeps them.
    m_focus->settleSoon();
    emit startUpStepsFinished();
    m_startedUp = true;
    emit startUpCompleted();
}

void EditorWindowView::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_appeared && !m_closed) {
        emit commandTargetOffered();
        // The toolkit gives an activated window's focus back, or to its first control.
        m_focus->settleSoon();
    }
}

void EditorWindowView::closeEvent(QCloseEvent* event) {
    // What the window keeps is written first, off its thread: meanwhile it paints, says so and
    // keeps the keys typed; for the last write it is sealed (see ClosingSave), and it closes
    // again once the disk has taken it. A quit has done that for every window already; a close
    // that needs no answer (a signal) writes what is left in saveSessionOnDisappear.
    const ClosingSave& saving = WindowSession::of(*m_model).closingSave();
    if (!m_closeConfirmed && !saving.isDone() && saving.isNeeded()) {
        event->ignore();
        saveThenClose();
        return;
    }
    // Whether closing loses work is known once the saves under way are written (one given
    // since the window's save).
    if (!m_closeConfirmed && m_model->saving().writes().isWriting()) {
        event->ignore();
        closeWhenWritten();
        return;
    }
    if (!m_closeConfirmed) {
        if (ClosingLoss loss = closingLosesUnsavedWork(*m_model, otherEditorWindowsRemain())) {
            event->ignore();
            // The question needs the window back, taking keys again.
            WindowSession::of(*m_model).closingSave().resume();
            askBeforeClosing(loss.unwrittenCopies);
            return;
        }
    }
    QMainWindow::closeEvent(event);
    if (!event->isAccepted())
        return;
    // From now on the menus must not reach this window, and it no longer counts as an editor
    // window when one has to be brought forward.
    m_closed = true;
    setObjectName(QString());
    m_openRequests->stopListening();
    WindowSession::of(*m_model).saveSessionOnDisappear();
    emit closed();
}

void EditorWindowView::sealForClosing(bool sealed) {
    m_sealed = sealed;
    // A window that takes no keys goes from the screen, as a key typed into it would be lost,
    // and is no editor window to bring forward meanwhile. The toolkit ends the program when its
    // last shown window closes, not a hidden one: until this one goes, it holds the program's
    // end as if it were shown.
    if (sealed) {
        m_quitAfterSealed = std::make_unique<QEventLoopLocker>();
        setObjectName(QString());
        hide();
        emit sealedForClosing();
    } else {
        m_quitAfterSealed.reset();
        if (!m_closed) {
            setObjectName(QString::fromLatin1(kEditorWindowIdentifier));
            show();
        }
    }
}

bool EditorWindowView::otherEditorWindowsRemain() const {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget == this)
            continue;
        // A window sealed for its last write still writes the shared session after this one.
        const auto* other = qobject_cast<const EditorWindowView*>(widget);
        if (widget->objectName() == QLatin1String(kEditorWindowIdentifier) ||
            (other && other->isSealedForClosing()))
            return true;
    }
    return false;
}

void EditorWindowView::closeWithoutAsking() {
    m_closeConfirmed = true;
    close();
}

void EditorWindowView::saveThenClose() {
    // Another click on the close button while saving closes once.
    if (m_savingBeforeClose)
        return;
    m_savingBeforeClose = true;
    const QPointer<EditorWindowView> self = this;
    WindowSession::of(*m_model).closingSave().start(
        localizedString(QStringLiteral("window.close.saving")), [self] {
            // On a later turn: the last outcome may be told from inside a close.
            QTimer::singleShot(0, self, [self] {
                self->m_savingBeforeClose = false;
                self->close();
                if (self->m_closed)
                    emit self->closedAfterQuestion();
            });
        });
}

void EditorWindowView::closeWhenWritten() {
    if (m_closingWhenWritten)
        return;
    m_closingWhenWritten = true;
    const QPointer<EditorWindowView> self = this;
    m_model->saving().writes().whenAllWritten([self] {
        // On a later turn: the last outcome may be told from inside a close.
        QTimer::singleShot(0, self, [self] {
            self->m_closingWhenWritten = false;
            self->close();
            emit self->closedAfterQuestion();
        });
    });
}

void EditorWindowView::askBeforeClosing(const QStringList& unwrittenCopies) {
    if (m_askingBeforeClose)
        return;
    m_askingBeforeClose = true;
    const QPointer<EditorWindowView> self = this;
    dunmoss::askBeforeClosing(
        *m_model,
        [self](bool mayClose) {
            if (!self)
                return;
            self->m_askingBeforeClose = false;
            if (!mayClose) {
                WindowSession::of(self->model()).closingSave().resume();
                emit self->closeDeclined();
                return;
            }
            self->m_closeConfirmed = true;
            // On a later turn: the answer may come while the close that asked is still running.
            QTimer::singleShot(0, self, [self] {
                self->close();
                emit self->closedAfterQuestion();
            });
        },
        unwrittenCopies);
}

bool EditorWindowView::handleFileDrop(const QMimeData& data) {
    const QList<QUrl> urls = IncomingFiles::droppedFileURLs(data);
    const QPointer<EditorWindowModel> model = m_model;
    // After the drop has returned, so the dragging program is not held up.
    if (!urls.isEmpty())
        QTimer::singleShot(0, m_model, [model, urls] {
            if (model)
                IncomingFiles(*model).openDroppedURLs(urls);
        });
    return !urls.isEmpty();
}

namespace {

// What could change a sealed window's text: keys, input methods, clicks and drops.
bool isInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

bool EditorWindowView::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // Input the window system handed over before the window went is refused, not taken.
    if (m_sealed && isInput(type) && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this)
        return true;
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QMainWindow::eventFilter(watched, event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this || m_closed)
        return QMainWindow::eventFilter(watched, event);
    auto* drop = static_cast<QDropEvent*>(event);
    // Text dragged within or into the editor stays the editor's; files and folders are the
    // window's.
    if (!drop->mimeData() || IncomingFiles::droppedFileURLs(*drop->mimeData()).isEmpty())
        return QMainWindow::eventFilter(watched, event);
    if (type == QEvent::Drop) {
        if (handleFileDrop(*drop->mimeData()))
            drop->acceptProposedAction();
        else
            drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    return true;
}

} // namespace dunmoss
