#include "window/StorageRefill.h"

#include "editor/TextStorage.h"
#include "platform/MainThreadMailbox.h"
#include "text/EditorTab.h"
#include "text/TextSplice.h"
#include "window/EditorWindowModel.h"
#include "window/TabFileRead.h"

#include <QTextDocument>
#include <QThreadPool>
#include <QTimer>

namespace dunmoss {

struct StorageRefill::Job {
    quint64 ticket = 0;
    std::weak_ptr<TextStorage> storage;
    QString text;
    // Set when a newer change or the window's end makes the fill pointless.
    std::shared_ptr<std::atomic<bool>> dropped = std::make_shared<std::atomic<bool>>(false);
};

StorageRefill::StorageRefill(EditorWindowModel& model)
    : m_model(model), m_mailbox(MainThreadMailbox::make(this)) {}

StorageRefill::~StorageRefill() {
    m_mailbox->close();
    for (const std::shared_ptr<Job>& job : std::as_const(m_jobs))
        job->dropped->store(true);
}

bool StorageRefill::worthRefilling(const TextSplice& splice, const QString& textAfter) {
    return std::max(splice.removed.size(), splice.inserted.size()) >= kRefilledChangeLength &&
           worthPreparingDocument(textAfter, 0, false);
}

bool StorageRefill::write(const QUuid& tabID, const std::shared_ptr<TextStorage>& storage,
                          const QString& text, bool worth) {
    if (!storage->isBehind() && !worth)
        return false;
    if (storage->text() == text) {
        // Back to what the views show (an undo before the fill arrived): nothing to fill.
        cancel(tabID);
        storage->catchUp(text);
        return true;
    }
    start(tabID, storage, text);
    return true;
}

void StorageRefill::start(const QUuid& tabID, const std::shared_ptr<TextStorage>& storage,
                          const QString& text) {
    cancel(tabID);
    auto job = std::make_shared<Job>();
    job->ticket = m_nextTicket++;
    job->storage = storage;
    job->text = text;
    m_jobs.insert(tabID, job);
    storage->markBehind();
    // The font and tab stops its view gave the document it shows.
    const TextStorage::Look look = storage->look();
    QThreadPool::globalInstance()->start([this, mailbox = m_mailbox, tabID, ticket = job->ticket,
                                          text, look, dropped = job->dropped] {
        if (dropped->load())
            return;
        auto document = std::make_shared<std::unique_ptr<QTextDocument>>(
            TextStorage::prepareDocument(text, look));
        if (dropped->load())
            return; // let go here, on the thread that made it
        QTextDocument* raw = document->get();
        mailbox->post(
            [this, tabID, ticket, document] { receive(tabID, ticket, std::move(*document)); },
            [raw](QThread* thread) { raw->moveToThread(thread); });
    });
}

void StorageRefill::cancel(const QUuid& tabID) {
    if (const std::shared_ptr<Job> job = m_jobs.take(tabID))
        job->dropped->store(true);
}

void StorageRefill::receive(const QUuid& tabID, quint64 ticket,
                            std::unique_ptr<QTextDocument> document) {
    const auto found = m_jobs.constFind(tabID);
    if (found == m_jobs.constEnd() || (*found)->ticket != ticket)
        return;
    const std::shared_ptr<Job> job = m_jobs.take(tabID);
    const std::shared_ptr<TextStorage> storage = job->storage.lock();
    const EditorTab* tab = m_model.tab(tabID);
    const auto& storages = m_model.textStorageRegistry().storages();
    if (!storage || !tab || storages.value(tabID) != storage || !storage->isBehind())
        return; // closed, or brought in line meanwhile
    if (tab->document.text != job->text) {
        // Changed by a way that starts no fill of its own: fill again with the text it holds.
        start(tabID, storage, tab->document.text);
        return;
    }
    storage->takeRefilledDocument(job->text, std::move(document));
    storage->requestSelection(tab->selectedRanges.isEmpty() ? QList<TextRange>{tab->selectedRange}
                                                            : tab->selectedRanges);
}

} // namespace dunmoss
