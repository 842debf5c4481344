#include "window/DocumentOpening.h"

#include "editor/TextStorage.h"
#include "platform/Localization.h"
#include "platform/MainThreadMailbox.h"
#include "platform/SecurityScopedAccess.h"
#include "text/EditorTab.h"
#include "window/EditorWindowModel.h"
#include "window/ExpectedLook.h"
#include "window/LaunchReadAhead.h"
#include "window/TabFileRead.h"
#include "window/TabSelection.h"
#include "window/WindowErrors.h"
#include "window/WindowFilePanels.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QScopeGuard>
#include <QTextDocument>
#include <QThreadPool>
#include <algorithm>

namespace dunmoss {

namespace {

bool isInsideFolder(const QUrl& file, const QUrl& folder) {
    const QString filePath = QDir::cleanPath(file.toLocalFile());
    const QString folderPath = QDir::cleanPath(folder.toLocalFile());
    if (filePath.isEmpty() || folderPath.isEmpty())
        return false;
    if (filePath == folderPath)
        return true;
    const QString prefix =
        folderPath.endsWith(QLatin1Char('/')) ? folderPath : folderPath + QLatin1Char('/');
    return filePath.startsWith(prefix);
}

QString fileName(const QUrl& url) {
    const QString name = QFileInfo(url.toLocalFile()).fileName();
    return name.isEmpty() ? url.toString() : name;
}

} // namespace

// One file of a batch as the pool thread left it: its new tab with the text ready, or why it
// cannot be opened, or that a tab already showed it when the batch began (then it is not read).
struct DocumentOpening::Loaded {
    FileLocationKey key;
    bool openAtStart = false;
    std::optional<EditorTab> tab;
    std::unique_ptr<QTextDocument> document;
    std::optional<TextCounts> counts;
    std::optional<QString> failure;
    SettledRead settled;
    // With the first file only: the keys of the tabs the index did not know at the start.
    QList<std::tuple<QUuid, QUrl, FileLocationKey>> tabKeys;
};

struct DocumentOpening::Batch {
    quint64 id = 0;
    QList<OpenRequest> requests;
    QList<std::optional<QUrl>> folderAccess;
    std::vector<std::shared_ptr<Loaded>> results;
    qsizetype next = 0;
    OpenOutcome outcome;
    std::function<void(const OpenOutcome&)> done;
    QElapsedTimer waiting;
    QString messageAtStart;
    // A batch of other work has no requests: its work, once read, and its progress text.
    bool isWork = false;
    std::shared_ptr<QueuedRead> work;
    QString progressMessage;
    QUuid tabID;
};

DocumentOpening::DocumentOpening(EditorWindowModel& model)
    : m_model(model), m_mailbox(MainThreadMailbox::make(this)) {
    m_progress.setInterval(100);
    connect(&m_progress, &QTimer::timeout, this, &DocumentOpening::showProgress);
}

DocumentOpening::~DocumentOpening() {
    m_mailbox->close();
}

void DocumentOpening::openDocument(const QUrl& url, std::optional<int> line,
                                   std::optional<TextRange> selection, bool persist,
                                   std::function<void()> shown) {
    QPointer<EditorWindowModel> model(&m_model);
    openDocuments({OpenRequest{url, line, selection}},
                  [model, persist, shown = std::move(shown)](const OpenOutcome& outcome) {
                      if (!model || outcome.shown == 0)
                          return;
                      model->setFindMessage(outcome.fallbacks.isEmpty()
                                                ? QString()
                                                : fallbackDecodingWarning(outcome.fallbacks));
                      if (persist)
                          model->persistSession();
                      if (shown)
                          shown();
                  });
}

void DocumentOpening::openDocuments(const QList<OpenRequest>& requests,
                                    std::function<void(const OpenOutcome&)> done) {
    auto batch = std::make_unique<Batch>();
    batch->id = m_nextBatchID++;
    batch->requests = requests;
    for (const OpenRequest& request : requests)
        batch->folderAccess.append(folderNeedingAccess(request.url));
    batch->results.resize(size_t(requests.size()));
    batch->done = std::move(done);
    batch->waiting.start();
    batch->messageAtStart = m_model.state().findMessage;
    load(*batch);
    m_batches.push_back(std::move(batch));
    if (!m_progress.isActive())
        m_progress.start();
    if (requests.isEmpty() && !m_applyScheduled) {
        m_applyScheduled = true;
        QMetaObject::invokeMethod(this, &DocumentOpening::applyReady, Qt::QueuedConnection);
    }
}

void DocumentOpening::enqueue(std::unique_ptr<QueuedRead> work) {
    auto batch = std::make_unique<Batch>();
    batch->id = m_nextBatchID++;
    batch->isWork = true;
    batch->progressMessage = work->progressMessage();
    batch->tabID = work->tabID();
    batch->waiting.start();
    batch->messageAtStart = m_model.state().findMessage;
    const QUrl url = work->fileURL();
    QThreadPool::globalInstance()->start(
        [this, mailbox = m_mailbox, id = batch->id, url,
         hook = url.isEmpty() ? nullptr : beforeRead,
         work = std::shared_ptr<QueuedRead>(std::move(work))]() mutable {
            if (hook)
                hook(url);
            work->read();
            // As with a file's document: no reference stays here once the work is posted.
            const QList<QTextDocument*> documents = work->documents();
            mailbox->post(
                [this, id, work = std::move(work)]() mutable { receiveWork(id, std::move(work)); },
                [documents](QThread* thread) {
                    for (QTextDocument* document : documents)
                        document->moveToThread(thread);
                });
        });
    m_batches.push_back(std::move(batch));
    if (!m_progress.isActive())
        m_progress.start();
}

bool DocumentOpening::isRereading(const QUuid& tabID) const {
    return !tabID.isNull() &&
           std::any_of(m_batches.begin(), m_batches.end(),
                       [&](const std::unique_ptr<Batch>& batch) { return batch->tabID == tabID; });
}

bool DocumentOpening::rereadQueuedUpTo(quint64 batchID) const {
    return std::any_of(m_batches.begin(), m_batches.end(),
                       [&](const std::unique_ptr<Batch>& batch) {
                           return !batch->tabID.isNull() && batch->id <= batchID;
                       });
}

void DocumentOpening::whenRereadsApplied(std::function<void()> then) {
    // Rereads asked for later are not waited for: a window that still takes keys may ask again.
    const quint64 last = m_nextBatchID - 1;
    if (!rereadQueuedUpTo(last))
        then();
    else
        m_rereadWaiters.emplace_back(last, std::move(then));
}

void DocumentOpening::runRereadWaiters() {
    std::vector<std::function<void()>> ready;
    std::erase_if(m_rereadWaiters, [&](std::pair<quint64, std::function<void()>>& waiter) {
        if (rereadQueuedUpTo(waiter.first))
            return false;
        ready.push_back(std::move(waiter.second));
        return true;
    });
    for (const std::function<void()>& then : ready)
        then();
}

std::optional<QUrl> DocumentOpening::folderNeedingAccess(const QUrl& url) const {
    const WorkspaceState& workspace = m_model.state().workspace;
    if (workspace.workspaceRootURL && !workspace.activeWorkspaceAccessURL &&
        isInsideFolder(url, *workspace.workspaceRootURL))
        return *workspace.workspaceRootURL;
    return std::nullopt;
}

void DocumentOpening::read(Loaded& out, const QUrl& url, const std::optional<QUrl>& folderAccess,
                           const ExpectedLook* look) {
    TabFileRead read = readFileForTab(url, folderAccess, false);
    if (read.tab)
        prepareTabDocument(read, look ? std::optional(look->forTab(*read.tab)) : std::nullopt);
    out.tab = std::move(read.tab);
    out.document = std::move(read.document);
    out.counts = std::move(read.counts);
    out.failure = std::move(read.failure);
    out.settled = std::move(read.settled);
}

void DocumentOpening::load(Batch& batch) {
    QList<std::pair<QUuid, QUrl>> unknownTabs = m_index.tabsWithoutKey(m_model.state().tabs);
    QList<QUrl> urls;
    for (const OpenRequest& request : batch.requests)
        urls.append(request.url);
    const ExpectedLook look = ExpectedLook::of(m_model);
    QThreadPool::globalInstance()->start([this, mailbox = m_mailbox, id = batch.id, urls,
                                          access = batch.folderAccess, look, index = m_index,
                                          unknownTabs = std::move(unknownTabs),
                                          hook = beforeRead]() mutable {
        QList<std::tuple<QUuid, QUrl, FileLocationKey>> tabKeys;
        for (const auto& [tabID, url] : unknownTabs) {
            const FileLocationKey key = FileLocationKey::of(url);
            index.insert(tabID, url, key);
            tabKeys.append({tabID, url, key});
        }
        for (qsizetype i = 0; i < urls.size(); ++i) {
            auto loaded = std::make_shared<Loaded>();
            if (i == 0)
                loaded->tabKeys = std::move(tabKeys);
            const QUrl& url = urls.at(i);
            if (url.isLocalFile()) {
                loaded->key = FileLocationKey::of(url);
                loaded->openAtStart = index.find(loaded->key).has_value();
            }
            // A read begun at launch is waited for: taken, or dropped when a tab already
            // shows the file.
            std::optional<TabFileRead> ahead = LaunchReadAhead::take(url);
            if (!loaded->openAtStart) {
                if (ahead) {
                    loaded->tab = std::move(ahead->tab);
                    loaded->document = std::move(ahead->document);
                    loaded->settled = std::move(ahead->settled);
                    // Filled before the window knew its settings.
                    if (loaded->document && loaded->tab)
                        TextStorage::restyleDocument(*loaded->document, look.forTab(*loaded->tab));
                } else {
                    if (hook)
                        hook(url);
                    read(*loaded, url, access.at(i), &look);
                }
                // A second request for the same file in the batch brings this tab forward.
                if (loaded->tab)
                    index.insert(loaded->tab->id, url, loaded->key);
            }
            // The document goes over to the window's thread with the result, and no reference
            // to it stays here; when the window is gone it dies here, where it was made.
            QTextDocument* document = loaded->document.get();
            const bool delivered = mailbox->post(
                [this, id, i, loaded = std::move(loaded)]() mutable {
                    receive(id, int(i), std::move(loaded));
                },
                [document](QThread* thread) {
                    if (document)
                        document->moveToThread(thread);
                });
            if (!delivered)
                return;
        }
    });
}

void DocumentOpening::receive(quint64 batchID, int index, std::shared_ptr<Loaded> loaded) {
    for (const std::unique_ptr<Batch>& batch : m_batches) {
        if (batch->id != batchID)
            continue;
        for (const auto& [tabID, url, key] : loaded->tabKeys)
            m_index.insert(tabID, url, key);
        batch->results[size_t(index)] = std::move(loaded);
        break;
    }
    scheduleApply();
}

void DocumentOpening::receiveWork(quint64 batchID, std::shared_ptr<QueuedRead> work) {
    for (const std::unique_ptr<Batch>& batch : m_batches)
        if (batch->id == batchID) {
            batch->work = std::move(work);
            break;
        }
    scheduleApply();
}

void DocumentOpening::scheduleApply() {
    if (!m_applyScheduled) {
        m_applyScheduled = true;
        QMetaObject::invokeMethod(this, &DocumentOpening::applyReady, Qt::QueuedConnection);
    }
}

void DocumentOpening::recordRecentFiles() {
    if (!m_recentThisTurn.isEmpty())
        m_model.recordRecentFiles(std::exchange(m_recentThisTurn, {}));
}

void DocumentOpening::applyReady() {
    m_applyScheduled = false;
    // The files shown in one turn go to the recent files together, stored once.
    const auto record = qScopeGuard([this] { recordRecentFiles(); });
    QElapsedTimer budget;
    budget.start();
    bool synced = false;
    int applied = 0;
    while (!m_batches.empty()) {
        Batch& batch = *m_batches.front();
        if (batch.isWork) {
            if (!batch.work)
                return; // still being read
            if (budget.elapsed() >= kApplyBudgetMilliseconds) {
                m_applyScheduled = true;
                QMetaObject::invokeMethod(this, &DocumentOpening::applyReady, Qt::QueuedConnection);
                return;
            }
            ++applied;
        } else if (batch.next < batch.requests.size()) {
            if (!batch.results[size_t(batch.next)])
                return; // its file is still being read
            if (budget.elapsed() >= kApplyBudgetMilliseconds || applied == kApplyFilesPerTurn) {
                m_applyScheduled = true;
                QMetaObject::invokeMethod(this, &DocumentOpening::applyReady, Qt::QueuedConnection);
                return;
            }
            if (!synced) {
                // Tabs may have been closed, or saved under another name, since the last turn.
                m_index.sync(m_model.state().tabs);
                synced = true;
            }
            applyOne(batch, int(batch.next++));
            ++applied;
            continue;
        }
        const std::unique_ptr<Batch> finished = std::move(m_batches.front());
        m_batches.pop_front();
        recordRecentFiles();
        if (m_batches.empty()) {
            m_progress.stop();
            // The status line shows again what it showed before the progress, unless something
            // else has been said since.
            if (m_progressMessage && m_model.state().findMessage == *m_progressMessage)
                m_model.setFindMessage(m_messageBeforeProgress);
            m_progressMessage.reset();
        }
        if (finished->work)
            finished->work->apply();
        if (finished->done)
            finished->done(finished->outcome);
        // In a turn of their own: the keys replayed by the apply have reached the tab by then.
        if (!finished->tabID.isNull() && !m_rereadWaiters.empty())
            QMetaObject::invokeMethod(this, &DocumentOpening::runRereadWaiters,
                                      Qt::QueuedConnection);
    }
}

void DocumentOpening::applyOne(Batch& batch, int index) {
    const OpenRequest& request = batch.requests.at(index);
    Loaded& loaded = *batch.results[size_t(index)];
    // The welcome panel stays until the first file's turn, so the window goes from it straight
    // to the file (or to the report of why it cannot be opened).
    if (m_model.state().panels.showWelcome)
        m_model.update([](EditorWindowState& state) { state.panels.showWelcome = false; });
    if (loaded.failure) {
        m_model.presentError(*loaded.failure);
        return;
    }
    std::optional<QUuid> existing = m_index.find(loaded.key);
    if (!existing && !loaded.tab) {
        // Open when the batch began, closed since: read it now.
        read(loaded, request.url, folderNeedingAccess(request.url));
        if (loaded.failure) {
            m_model.presentError(*loaded.failure);
            return;
        }
    }
    if (existing) {
        m_model.setActiveTabID(*existing);
    } else {
        EditorTab tab = std::move(*loaded.tab);
        loaded.tab.reset();
        if (loaded.document)
            m_model.textStorageRegistry().adoptTextStorage(
                tab.id, std::make_shared<TextStorage>(tab.document.text, std::move(loaded.document),
                                                      std::exchange(loaded.counts, std::nullopt)));
        if (tab.document.decodedViaFallback)
            batch.outcome.fallbacks.append(request.url);
        const QUuid id = tab.id;
        appendTabsReplacingPristineTab({tab}, id);
        m_index.insert(id, request.url, loaded.key);
        tellSettledRead(m_model, id, std::exchange(loaded.settled, {}));
    }
    m_recentThisTurn.append(request.url);
    ++batch.outcome.shown;

    const int active = m_model.activeTabIndex();
    if (request.line) {
        const TextRange range =
            lineSelectionRange(m_model.state().tabs.at(active).document.text, *request.line);
        m_model.setSelection(range.location, range.length, active);
    } else if (request.selection) {
        m_model.setSelection(request.selection->location, request.selection->length, active);
    }
}

void DocumentOpening::showProgress() {
    if (m_batches.empty())
        return;
    const Batch& batch = *m_batches.front();
    if (batch.waiting.elapsed() < kProgressDelayMilliseconds ||
        (!batch.isWork && batch.next >= batch.requests.size()))
        return;
    const QString message = batch.isWork ? batch.progressMessage
                            : batch.requests.size() == 1
                                ? localizedString(QStringLiteral("document.opening.format"))
                                      .arg(fileName(batch.requests.first().url))
                                : localizedString(QStringLiteral("document.opening-many.format"))
                                      .arg(batch.next + 1)
                                      .arg(batch.requests.size());
    const QString& current = m_model.state().findMessage;
    if (current == message)
        return;
    // A result said while the files load stays until the loads are over.
    if (m_progressMessage ? current != *m_progressMessage : current != batch.messageAtStart)
        return;
    // A passing result gives way to the progress for good.
    if (!m_progressMessage)
        m_messageBeforeProgress = m_model.showsPassingMessage() ? QString() : current;
    m_progressMessage = message;
    m_model.setFindMessage(message);
}

void DocumentOpening::openDocumentsFromPanel() {
    QPointer<EditorWindowModel> model(&m_model);
    WindowFilePanels(m_model).chooseFilesToOpen([model](const QList<QUrl>& urls) {
        if (!model || urls.isEmpty())
            return;
        QList<OpenRequest> requests;
        for (const QUrl& url : urls)
            requests.append(OpenRequest{url, std::nullopt, std::nullopt});
        model->opening().openDocuments(requests, [model](const OpenOutcome& outcome) {
            if (!model)
                return;
            if (!outcome.fallbacks.isEmpty())
                model->setFindMessage(fallbackDecodingWarning(outcome.fallbacks));
            model->persistSession();
        });
    });
}

void DocumentOpening::withSecurityScopedAccess(const QUrl& url,
                                               const std::function<void()>& body) const {
    std::unique_ptr<SecurityScopedAccess> folderAccess;
    if (const std::optional<QUrl> folder = folderNeedingAccess(url))
        folderAccess = std::make_unique<SecurityScopedAccess>(*folder);
    SecurityScopedAccess fileAccess(url);
    body();
}

void DocumentOpening::appendTabsReplacingPristineTab(const QList<EditorTab>& tabs,
                                                     std::optional<QUuid> activeTabID) {
    if (tabs.isEmpty())
        return;
    std::optional<QUuid> removed;
    m_model.update([&](EditorWindowState& state) {
        removed = removePristineUntitledTab(state.tabs);
        state.tabs.append(tabs);
        if (activeTabID)
            state.activeTabID = *activeTabID;
    });
    if (removed)
        m_model.forgetTab(*removed);
}

QString fallbackDecodingWarning(const QList<QUrl>& files) {
    QStringList names;
    for (const QUrl& file : files)
        names.append(file.fileName().isEmpty() ? file.toLocalFile() : file.fileName());
    if (names.size() == 1)
        return localizedString(QStringLiteral("encoding.fallback.warning.format"))
            .arg(names.first());
    return localizedString(QStringLiteral("encoding.fallback.warning.many.format"))
        .arg(localizedCount(names.size(), kCountedFiles),
             names.join(localizedString(QStringLiteral("encoding.fallback.name-separator"))));
}

} // namespace dunmoss
