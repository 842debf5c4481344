#include "session/SessionRestore.h"

#include "platform/Localization.h"
#include "session/SessionStore.h"
#include "text/EditorTab.h"
#include "window/EditorWindowModel.h"
#include "window/WindowNotices.h"

#include <QSet>
#include <algorithm>
#include <cmath>

namespace dunmoss {

namespace {

double clampedFontSize(double size) {
    if (std::isnan(size))
        return 14;
    return std::clamp(size, SessionRestore::kMinimumFontSize, SessionRestore::kMaximumFontSize);
}

} // namespace

void SessionRestore::restoreSession() {
    if (m_model.state().decisions.didRestoreSession)
        return;
    m_model.update([](EditorWindowState& state) { state.decisions.didRestoreSession = true; });

    const std::optional<RestoredSession> snapshot = m_store.readRecoverySnapshot();
    const std::optional<RestoredSession> saved = m_store.loadSavedSession();
    const std::optional<RestoredSession> chosen = newerSession(snapshot, saved);

    const SessionCorruption& corruption = sessionCorruption();
    // Told on the message bar: keys typed right after the launch belong to the text.
    if (corruption.recoverySnapshotWasCorrupt || corruption.savedSessionWasCorrupt)
        m_model.presentNotice(QString::fromLatin1(kSessionRestoreNoticeCause),
                              localizedString(QStringLiteral("session.corrupt-snapshot.notice")));
    if (const std::optional<QString> notice = takeSessionSaveFailedNotice(m_model.defaults()))
        m_model.presentNotice(QString::fromLatin1(kPreviousSessionSaveNoticeCause), *notice);

    if (!chosen)
        return;
    QList<EditorTab> tabs;
    QSet<QUuid> seen;
    for (const SessionTab& stored : chosen->tabs) {
        EditorTab tab = makeTabFromSessionTab(stored);
        // Tabs are found by identifier: a repeated one (only in a hand-edited record) gets a
        // new identifier rather than losing its draft.
        if (seen.contains(tab.id))
            tab.id = QUuid::createUuid();
        seen.insert(tab.id);
        tabs.append(tab);
    }
    if (tabs.isEmpty())
        return;

    QSet<QUuid> kept;
    for (const EditorTab& tab : tabs)
        kept.insert(tab.id);
    for (const EditorTab& old : m_model.state().tabs)
        if (!kept.contains(old.id))
            m_model.forgetTab(old.id);

    m_model.settings().setFontSize(clampedFontSize(chosen->fontSize));
    m_model.update([&](EditorWindowState& state) {
        state.tabs = tabs;
        state.activeTabID = tabs.first().id;
        for (const EditorTab& tab : tabs)
            if (tab.id == chosen->activeTabID) {
                state.activeTabID = tab.id;
                break;
            }
        state.panels.showWelcome =
            tabs.size() == 1 && tabs.first().isUntitled() && tabs.first().document.text.isEmpty();
    });
}

} // namespace dunmoss
