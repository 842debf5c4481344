#include "window/WindowAlerts.h"

#include "platform/Localization.h"
#include "text/EditorTab.h"
#include "window/DocumentReloading.h"
#include "window/EditorWindowModel.h"
#include "window/TabClosing.h"
#include "window/WindowDerivedValues.h"
#include "window/WindowInteraction.h"

#include <QPointer>

namespace dunmoss {

namespace {

QString text(const char* key) {
    return localizedString(QString::fromLatin1(key));
}

AlertButton button(const char* key, AlertButton::Role role) {
    return AlertButton{text(key), role};
}

} // namespace

WindowAlerts::WindowAlerts(EditorWindowModel& model, QObject* parent)
    : QObject(parent), m_model(model) {
    connect(&model, &EditorWindowModel::changed, this, &WindowAlerts::schedule);
}

void WindowAlerts::schedule() {
    if (m_scheduled)
        return;
    m_scheduled = true;
    QMetaObject::invokeMethod(this, &WindowAlerts::presentPendingAlerts, Qt::QueuedConnection);
}

void WindowAlerts::presentPendingAlerts() {
    m_scheduled = false;
    // Without anyone to ask, the questions stay raised and nothing is decided for the person.
    if (!m_model.interaction())
        return;
    // One dialog at a time: an error on screen is read first; its dismissal changes the state
    // and brings the waiting question up.
    if (m_model.state().errors.errorMessage)
        return;
    const PendingDecisionState& decisions = m_model.state().decisions;
    if (decisions.showDiscardAlert && !m_askingCloseUnsaved)
        askCloseUnsaved();
    if (m_model.state().decisions.showCloseAllAlert && !m_askingCloseAll)
        askCloseAll();
    if (m_model.state().decisions.showReloadConfirmation && !m_askingReload)
        askReload();
}

void WindowAlerts::askCloseUnsaved() {
    m_askingCloseUnsaved = true;
    // The question names the document: the tab asked about need not be the one on screen.
    const std::optional<QUuid> pending = m_model.state().decisions.pendingCloseTabID;
    const EditorTab* tab = pending ? m_model.tab(*pending) : nullptr;
    const QString title = tab ? text("document.close-unsaved.named.format").arg(displayTitle(*tab))
                              : text("document.close-unsaved.title");
    AlertRequest request{title,
                         text("document.close-unsaved.message"),
                         {button("document.close-save", AlertButton::Role::Default),
                          button("document.close-discard", AlertButton::Role::Destructive),
                          button("document.close-cancel", AlertButton::Role::Cancel)}};
    const QPointer<WindowAlerts> self = this;
    m_model.interaction()->showAlert(request, [self](int answer) {
        if (!self)
            return;
        self->m_askingCloseUnsaved = false;
        EditorWindowModel& model = self->m_model;
        model.update([](EditorWindowState& state) { state.decisions.showDiscardAlert = false; });
        TabClosing closing(model);
        if (answer == 0)
            closing.saveAndClosePendingTab();
        else if (answer == 1)
            closing.discardPendingTab();
        else
            closing.keepPendingTab();
    });
}

void WindowAlerts::askCloseAll() {
    m_askingCloseAll = true;
    AlertRequest request{text("document.close-all-unsaved.title"),
                         text("document.close-all-unsaved.message"),
                         {button("command.save-all", AlertButton::Role::Default),
                          button("document.close-discard", AlertButton::Role::Destructive),
                          button("document.close-cancel", AlertButton::Role::Cancel)}};
    const QPointer<WindowAlerts> self = this;
    m_model.interaction()->showAlert(request, [self](int answer) {
        if (!self)
            return;
        self->m_askingCloseAll = false;
        EditorWindowModel& model = self->m_model;
        model.update([](EditorWindowState& state) { state.decisions.showCloseAllAlert = false; });
        if (answer == 0)
            TabClosing(model).saveAllThenCloseAll();
        else if (answer == 1)
            TabClosing(model).discardAllTabs();
    });
}

void WindowAlerts::askReload() {
    // Asked about one tab: when that tab has gone meanwhile, there is nothing left to ask.
    const std::optional<QUuid> tabID = m_model.state().decisions.reloadConfirmationTabID;
    if (!tabID || !m_model.tab(*tabID)) {
        m_model.update([](EditorWindowState& state) {
            state.decisions.showReloadConfirmation = false;
            state.decisions.reloadConfirmationTabID.reset();
        });
        return;
    }
    m_askingReload = true;
    AlertRequest request{text("command.reload.confirm.title"),
                         text("command.reload.confirm.message"),
                         {button("command.reload.confirm.reload", AlertButton::Role::Destructive),
                          button("document.close-cancel", AlertButton::Role::Cancel)}};
    const QPointer<WindowAlerts> self = this;
    m_model.interaction()->showAlert(request, [self, tabID = *tabID](int answer) {
        if (!self)
            return;
        self->m_askingReload = false;
        EditorWindowModel& model = self->m_model;
        model.update([](EditorWindowState& state) {
            state.decisions.showReloadConfirmation = false;
            state.decisions.reloadConfirmationTabID.reset();
        });
        // The tab asked about, whichever is active now; nothing when it was closed meanwhile.
        if (answer == 0)
            DocumentReloading(model).reloadTab(tabID);
    });
}

} // namespace dunmoss
