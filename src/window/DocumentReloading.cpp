#include "window/DocumentReloading.h"

#include "editor/TextStorage.h"
#include "platform/FileStat.h"
#include "platform/Localization.h"
#include "platform/SecurityScopedAccess.h"
#include "text/EditorTab.h"
#include "text/TextFileLoader.h"
#include "text/TextSplice.h"
#include "window/DocumentOpening.h"
#include "window/DocumentSaving.h"
#include "window/DocumentWriteQueue.h"
#include "window/EditorWindowModel.h"
#include "window/SettledRead.h"
#include "window/TabFileRead.h"
#include "window/TabSelection.h"
#include "window/WindowDerivedValues.h"
#include "window/WindowErrors.h"

#include <QFileInfo>
#include <QScopeGuard>
#include <QTextDocument>

namespace dunmoss {

namespace {

// A change of at least this many characters is shown through a document filled on the pool
// thread; a smaller one is written into the document the view shows, which keeps its layout.
constexpr qsizetype kRefilledChangeLength = 64 * 1024;

bool sameContent(const PlainTextDocument& a, const PlainTextDocument& b) {
    return a.encoding == b.encoding && a.lineEnding == b.lineEnding && a.text == b.text;
}

QString fileName(const QUrl& url) {
    const QString name = QFileInfo(url.toLocalFile()).fileName();
    return name.isEmpty() ? url.toString() : name;
}

// One tab's file read again: decoded on the pool thread, put into the tab on the window's.
class TabReread final : public QueuedRead {
public:
    TabReread(EditorWindowModel& model, const EditorTab& tab,
              std::optional<TextFileEncoding> encoding, DocumentReloading::Outcome outcome)
        : m_model(model), m_tabID(tab.id), m_url(*tab.fileURL), m_encoding(encoding),
          m_folderAccess(model.opening().folderNeedingAccess(m_url)), m_before(tab.document),
          m_outcome(std::move(outcome)) {
        // The font, tab stops and width its view gave the document it shows. Keys and clicks
        // given from now on wait for the file's text and then land on it, in order.
        if (model.textStorageRegistry().contains(m_tabID)) {
            const std::shared_ptr<TextStorage> storage =
                model.textStorageRegistry().textStorage(m_tabID);
            m_look = storage->look();
            storage->holdInput(this);
            m_heldInput = storage;
        }
    }

    void read() override {
        try {
            std::optional<SecurityScopedAccess> folder;
            if (m_folderAccess)
                folder.emplace(*m_folderAccess);
            const SecurityScopedAccess file(m_url);
            m_settled = settleBeforeReading(m_url.toLocalFile());
            // Looked at before the bytes are read: a change after this look is news later.
            m_statusRead = statPath(m_url.toLocalFile());
            m_loaded = loadTextFile(m_url, m_encoding);
        } catch (...) {
            m_failure = std::current_exception();
            return;
        }
        const QString& text = m_loaded->document.text;
        if (!worthPreparingDocument(text, m_look ? m_look->width : 0))
            return;
        const TextSplice splice = spliceBetween(m_before.text, text);
        if (std::max(splice.removed.size(), splice.inserted.size()) >= kRefilledChangeLength) {
            m_document = TextStorage::prepareDocument(text, m_look);
            m_counts.emplace(text);
        }
    }

    QList<QTextDocument*> documents() const override {
        return m_document ? QList<QTextDocument*>{m_document.get()} : QList<QTextDocument*>{};
    }

    QString progressMessage() const override {
        return localizedString(QStringLiteral("document.reloading.format")).arg(fileName(m_url));
    }

    QUuid tabID() const override { return m_tabID; }
    QUrl fileURL() const override { return m_url; }

    void apply() override {
        // Kept alive through a change of storage, so the held input reaches the new one.
        const std::shared_ptr<TextStorage> held = m_heldInput.lock();
        const auto release = qScopeGuard([&] {
            if (held)
                held->releaseInput(true, this);
        });
        const EditorTab* tab = m_model.tab(m_tabID);
        if (!tab)
            return; // closed meanwhile: nothing to put the text into
        tellSettledRead(m_model, m_tabID, m_settled);
        if (m_failure) {
            try {
                std::rethrow_exception(m_failure);
            } catch (const std::exception& error) {
                if (m_outcome.failed)
                    m_outcome.failed(error);
            } catch (...) {
            }
            return;
        }
        // Edits typed (or a Save As) since the read was asked for are not thrown away; a second
        // reload of the same file finds the text already there.
        if (tab->fileURL != m_url || (!sameContent(tab->document, m_before) &&
                                      !sameContent(tab->document, m_loaded->document))) {
            m_model.setFindMessage(
                localizedString(QStringLiteral("command.reload.edited-meanwhile.format"))
                    .arg(fileName(m_url)));
            return;
        }
        putIntoTab(*tab);
        if (m_outcome.applied)
            m_outcome.applied();
    }

private:
    void putIntoTab(const EditorTab& tab) {
        const int index = *m_model.tabIndex(m_tabID);
        const TextRange old = tab.selectedRange;
        const TextRange clamped =
            clampedSelection(old.location, old.length, m_loaded->document.text.size());
        // Another read of the tab still waiting holds the keys given meanwhile in the storage
        // shown now: it stays, taking the text written into it.
        const bool refilled = m_document != nullptr && !m_model.opening().isRereading(m_tabID);
        if (refilled) {
            // The views showing the tab take the new storage; the old one goes with them.
            TextStorageRegistry& storages = m_model.textStorageRegistry();
            storages.removeTextStorage(m_tabID);
            storages.adoptTextStorage(m_tabID, std::make_shared<TextStorage>(
                                                   m_loaded->document.text, std::move(m_document),
                                                   std::exchange(m_counts, std::nullopt)));
        }
        // The tab's own last write no longer says what its file holds.
        m_model.saving().writes().forgetOwnWrites(m_tabID);
        m_model.update([&](EditorWindowState& state) {
            applyLoadedDocument(state.tabs[index], *m_loaded);
            // What is known of the file is what was read, not what it may hold by now.
            if (m_statusRead)
                takeKnownFileStatus(state.tabs[index], m_statusRead);
            // The tab shows its file as it is now: a question about a change of it is answered.
            if (state.decisions.externalChangeTabID == m_tabID)
                state.decisions.externalChangeTabID = m_model.nextExternallyChangedTabID(m_tabID);
        });
        // The editor view shows the new text; the history of the old one no longer applies to it.
        if (!refilled)
            m_model.syncTextStorage(m_tabID);
        m_model.clearTabUndoStack(m_tabID);
        m_model.setSelection(clamped.location, clamped.length, index);
    }

    EditorWindowModel& m_model;
    const QUuid m_tabID;
    const QUrl m_url;
    const std::optional<TextFileEncoding> m_encoding;
    const std::optional<QUrl> m_folderAccess;
    // The tab's text when the read was asked for.
    const PlainTextDocument m_before;
    std::optional<TextStorage::Look> m_look;
    DocumentReloading::Outcome m_outcome;
    SettledRead m_settled;
    std::optional<LoadedPlainTextDocument> m_loaded;
    std::optional<FileStatus> m_statusRead;
    std::exception_ptr m_failure;
    std::unique_ptr<QTextDocument> m_document;
    std::optional<TextCounts> m_counts;
    std::weak_ptr<TextStorage> m_heldInput;
};

} // namespace

void DocumentReloading::requestReloadKeyboardTab() {
    const EditorTab& tab = keyboardTab(m_model.state());
    if (!tab.fileURL) {
        m_model.setFindMessage(localizedString(QStringLiteral("command.reload.no-file")));
        return;
    }
    if (!tabIsModified(tab)) {
        reloadKeyboardTab();
        return;
    }
    const QUuid tabID = tab.id;
    m_model.update([&](EditorWindowState& state) {
        state.decisions.showReloadConfirmation = true;
        state.decisions.reloadConfirmationTabID = tabID;
    });
}

void DocumentReloading::rereadTab(const QUuid& tabID, std::optional<TextFileEncoding> encoding,
                                  Outcome outcome) {
    const EditorTab* tab = m_model.tab(tabID);
    if (!tab || !tab->fileURL)
        return;
    m_model.opening().enqueue(
        std::make_unique<TabReread>(m_model, *tab, encoding, std::move(outcome)));
}

void DocumentReloading::reloadKeyboardTab() {
    reloadTab(keyboardTab(m_model.state()).id);
}

void DocumentReloading::reloadTab(const QUuid& tabID) {
    const EditorTab* tab = m_model.tab(tabID);
    if (!tab)
        return;
    if (!tab->fileURL) {
        m_model.setFindMessage(localizedString(QStringLiteral("command.reload.no-file")));
        return;
    }
    EditorWindowModel& model = m_model;
    const QUrl url = *tab->fileURL;
    rereadTab(tabID, std::nullopt,
              {[&model, tabID, url] {
                   model.recordRecentFile(url);
                   model.setPassingMessage(localizedString(QStringLiteral("command.reload.done")));
                   model.refreshFindResultsAfterReplacingTab(tabID);
                   model.persistSession();
               },
               [&model](const std::exception& error) {
                   model.setErrorMessage(errorDisplayText(error));
               }});
}

void DocumentReloading::reopenWithEncoding(TextFileEncoding encoding) {
    const EditorTab& tab = keyboardTab(m_model.state());
    if (!tab.fileURL) {
        m_model.setFindMessage(localizedString(QStringLiteral("command.reload.no-file")));
        return;
    }
    if (tabIsModified(tab)) {
        m_model.setFindMessage(localizedString(QStringLiteral("encoding.reopen.unsaved")));
        return;
    }
    EditorWindowModel& model = m_model;
    rereadTab(tab.id, encoding,
              {[&model, tabID = tab.id] {
                   model.setPassingMessage(localizedString(QStringLiteral("encoding.reopen.done")));
                   model.refreshFindResultsAfterReplacingTab(tabID);
                   model.persistSession();
               },
               [&model](const std::exception& error) {
                   model.setErrorMessage(errorDisplayText(error));
               }});
}

} // namespace dunmoss
