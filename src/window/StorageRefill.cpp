#include "window/StorageRefill.h"

#include "editor/TextStorage.h"
#include "platform/MainThreadMailbox.h"
#include "text/EditorTab.h"
#include "text/TextSplice.h"
#include "window/EditorWindowModel.h"
#include "window/TabFileRead.h"

#include <QPointer>
#include <QTextDocument>
#include <QThreadPool>
#include <QTimer>

namespace dunmoss {

struct StorageRefill::Job {
    quint64 ticket = 0;
    std::weak_ptr<TextStorage> storage;
    QString text;
    // The further views' documents when the fill began, each filled anew for its own view.
    QList<QPointer<QTextDocument>> mirrors;
    // Set when a newer change or the window's end makes the fill pointless.
    std::shared_ptr<std::atomic<bool>> dropped = std::make_shared<std::atomic<bool>>(false);
    // Keys and clicks in the tab's views wait for the fill.
    bool holdsInput = false;
};

StorageRefill::StorageRefill(EditorWindowModel& model)
    : m_model(model), m_mailbox(MainThreadMailbox::make(this)) {}

StorageRefill::~StorageRefill() {
    m_mailbox->close();
    for (const std::shared_ptr<Job>& job : std::as_const(m_jobs)) {
        job->dropped->store(true);
        // The window goes: nothing is left to type into.
        if (const std::shared_ptr<TextStorage> storage = job->storage.lock();
            storage && job->holdsInput)
            storage->releaseInput(false, job.get());
    }
}

bool StorageRefill::worthRefilling(const TextSplice& splice, const QString& textAfter) {
    return std::max(splice.removed.size(), splice.inserted.size()) >= kRefilledChangeLength &&
           worthPreparingDocument(textAfter, 0, false);
}

bool StorageRefill::write(const QUuid& tabID, const std::shared_ptr<TextStorage>& storage,
                          const QString& text, bool worth, bool holdInput) {
    if (!storage->isBehind() && !worth)
        return false;
    if (storage->text() == text) {
        // Back to what the views show (an undo before the fill arrived): nothing to fill.
        const std::shared_ptr<Job> dropped = cancel(tabID);
        storage->catchUp(text);
        release(dropped);
        return true;
    }
    start(tabID, storage, text, holdInput);
    return true;
}

void StorageRefill::start(const QUuid& tabID, const std::shared_ptr<TextStorage>& storage,
                          const QString& text, bool holdInput) {
    const std::shared_ptr<Job> previous = cancel(tabID);
    auto job = std::make_shared<Job>();
    job->ticket = m_nextTicket++;
    job->storage = storage;
    job->text = text;
    job->holdsInput = holdInput || (previous && previous->holdsInput);
    m_jobs.insert(tabID, job);
    storage->markBehind();
    if (job->holdsInput)
        storage->holdInput(job.get());
    if (previous && previous->holdsInput)
        storage->releaseInput(true, previous.get());
    // The font, tab stops and width each view gave the document it shows: the primary first.
    QList<TextStorage::Look> looks{storage->look()};
    for (QTextDocument* mirror : storage->mirrors()) {
        job->mirrors.append(mirror);
        looks.append(storage->lookOf(mirror));
    }
    QThreadPool::globalInstance()->start([this, mailbox = m_mailbox, tabID, ticket = job->ticket,
                                          text, looks, dropped = job->dropped] {
        auto documents = std::make_shared<Filled>();
        for (const TextStorage::Look& look : looks) {
            if (dropped->load())
                return; // let go here, on the thread that made them
            documents->push_back(TextStorage::prepareDocument(text, look));
        }
        if (dropped->load())
            return;
        // The line starts and characters of the new text, which the ruler and the status bar
        // would otherwise count on the main thread when they first ask.
        auto counts = std::make_shared<TextCounts>(text);
        QList<QTextDocument*> raw;
        for (const std::unique_ptr<QTextDocument>& document : *documents)
            raw.append(document.get());
        mailbox->post(
            [this, tabID, ticket, documents, counts] {
                receive(tabID, ticket, std::move(*documents), std::move(*counts));
            },
            [raw](QThread* thread) {
                for (QTextDocument* document : raw)
                    document->moveToThread(thread);
            });
    });
}

std::shared_ptr<StorageRefill::Job> StorageRefill::cancel(const QUuid& tabID) {
    const std::shared_ptr<Job> job = m_jobs.take(tabID);
    if (job)
        job->dropped->store(true);
    return job;
}

void StorageRefill::release(const std::shared_ptr<Job>& job) {
    if (!job || !job->holdsInput)
        return;
    if (const std::shared_ptr<TextStorage> storage = job->storage.lock())
        storage->releaseInput(true, job.get());
}

void StorageRefill::receive(const QUuid& tabID, quint64 ticket, Filled documents,
                            TextCounts counts) {
    const auto found = m_jobs.constFind(tabID);
    if (found == m_jobs.constEnd() || (*found)->ticket != ticket)
        return;
    const std::shared_ptr<Job> job = m_jobs.take(tabID);
    const std::shared_ptr<TextStorage> storage = job->storage.lock();
    const EditorTab* tab = m_model.tab(tabID);
    const auto& storages = m_model.textStorageRegistry().storages();
    if (!storage || !tab || storages.value(tabID) != storage || !storage->isBehind()) {
        release(job);
        return; // closed, or brought in line meanwhile
    }
    if (tab->document.text != job->text) {
        // Changed by a way that starts no fill of its own: fill again with the text it holds.
        start(tabID, storage, tab->document.text, job->holdsInput);
        release(job);
        return;
    }
    TextStorage::RefilledMirrors mirrors;
    for (qsizetype i = 0; i < job->mirrors.size(); ++i)
        mirrors.emplace_back(job->mirrors.at(i), std::move(documents.at(i + 1)));
    // The storage's text is then held by the tab alone: a key need not copy it.
    storage->takeRefilledDocument(std::exchange(job->text, {}), std::move(documents.front()),
                                  std::move(mirrors), std::move(counts));
    storage->requestSelection(tab->selectedRanges.isEmpty() ? QList<TextRange>{tab->selectedRange}
                                                            : tab->selectedRanges);
    // What was typed meanwhile follows, into the text now shown.
    release(job);
}

} // namespace dunmoss
