#include "window/SaveOverOpenTab.h"

#include "platform/Localization.h"
#include "text/EditorTab.h"
#include "window/DocumentSaving.h"
#include "window/DocumentWriteQueue.h"
#include "window/EditorWindowModel.h"
#include "window/QuestionHold.h"
#include "window/TabClosing.h"
#include "window/WindowDerivedValues.h"
#include "window/WindowInteraction.h"

#include <QPointer>
#include <QSet>

namespace dunmoss {

namespace {

QString text(const char* key) {
    return localizedString(QLatin1String(key));
}

bool standsFor(const EditorTab& tab, const QUrl& destination) {
    return tab.fileURL && isSameFileLocation(tab.fileURL, destination);
}

} // namespace

bool SaveOverOpenTab::holds(const EditorTab& tab, const QUrl& destination) const {
    return standsFor(tab, destination) ||
           isSameFileLocation(m_model.saving().writes().pendingDestination(tab.id), destination);
}

void SaveOverOpenTab::write(const QUuid& savedTabID, const QUrl& destination, Write write,
                            std::function<void(bool)> done) {
    QList<QUuid> others;
    QSet<QUuid> unsaved;
    for (const EditorTab& tab : m_model.state().tabs)
        if (tab.id != savedTabID && holds(tab, destination)) {
            others.append(tab.id);
            if (tabIsModified(tab))
                unsaved.insert(tab.id);
        }
    if (others.isEmpty()) {
        write(std::move(done));
        return;
    }
    QPointer<EditorWindowModel> model(&m_model);
    // The other tabs let the file go before the write is handed over: a save of theirs queued
    // behind it would otherwise write over it.
    auto proceed = [model, others, unsaved, destination, write, done] {
        if (!model) {
            if (done)
                done(false);
            return;
        }
        SaveOverOpenTab(*model).letGo(others, unsaved, destination);
        write(done);
    };
    if (unsaved.isEmpty()) {
        proceed();
        return;
    }
    // Nobody to ask: nothing is decided for the person, and nothing is written.
    if (!m_model.interaction()) {
        if (done)
            done(false);
        return;
    }
    const AlertRequest request{
        text(lkey("document.save-over-open.title.format")).arg(destination.fileName()),
        text(lkey("document.save-over-open.message")),
        {{text(lkey("document.save-over-open.replace")), AlertButton::Role::Destructive},
         {text(lkey("document.close-cancel")), AlertButton::Role::Cancel}}};
    m_model.interaction()->showAlert(
        request, [hold = QuestionHold::open(m_model), model, proceed, done](int answer) {
            hold->close();
            if (model && answer == 0)
                proceed();
            else if (done)
                done(false);
        });
}

void SaveOverOpenTab::letGo(const QList<QUuid>& tabIDs, const QSet<QUuid>& unsaved,
                            const QUrl& destination) {
    for (const QUuid& id : tabIDs) {
        const EditorTab* tab = m_model.tab(id);
        if (!tab || !holds(*tab, destination))
            continue;
        // Its writes elsewhere (a Save As of its own on its way) still give it their file.
        m_model.saving().untieWrites(id, destination);
        if (!standsFor(*tab, destination))
            continue;
        // What the person was told stands: a tab asked about as unsaved keeps its text, even
        // when its file took that text meanwhile, for the file is about to be replaced.
        if (!tabIsModified(*tab) && !unsaved.contains(id)) {
            TabClosing(m_model).closeTab(id);
            continue;
        }
        const int index = *m_model.tabIndex(id);
        m_model.update([&](EditorWindowState& state) {
            EditorTab& kept = state.tabs[index];
            // Its colouring stays what its file's name made it.
            kept.languageOverride = effectiveLanguage(kept);
            kept.fileURL.reset();
            kept.savedSnapshot.clear();
            takeKnownFileStatus(kept, std::nullopt);
            kept.hasExternalChanges = false;
            kept.isLargeFilePreview = false;
            kept.originalByteCount.reset();
            if (state.decisions.externalChangeTabID == id)
                state.decisions.externalChangeTabID.reset();
        });
        m_model.persistSession();
    }
}

} // namespace dunmoss
