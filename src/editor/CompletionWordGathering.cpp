#include "editor/CompletionWordGathering.h"

#include "editor/TextStorage.h"
#include "platform/MainThreadMailbox.h"
#include "platform/ReleaseAside.h"
#include "platform/WorkPools.h"

#include <QThreadPool>

namespace dunmoss {

namespace {

// Typing this long apart is a pause: keys typed faster than it start no pass over a long text,
// which would be overtaken by the next key anyway.
constexpr int kPauseMs = 120;

} // namespace

CompletionWordGathering::CompletionWordGathering(QObject* parent)
    : QObject(parent), m_words(std::make_shared<const CompletionWords>()),
      m_mailbox(MainThreadMailbox::make(this)) {
    m_pause.setSingleShot(true);
    m_pause.setInterval(kPauseMs);
    connect(&m_pause, &QTimer::timeout, this, &CompletionWordGathering::startGathering);
}

CompletionWordGathering::~CompletionWordGathering() {
    m_requests.next();
    m_mailbox->close();
}

CompletionWordGathering::Words
CompletionWordGathering::wordsFor(const std::shared_ptr<TextStorage>& storage) {
    if (m_storage.lock() != storage || !m_gatheredAny) {
        if (m_storage.lock() != storage) {
            // Another document: nothing gathered before is of it, and what is under way is not.
            m_requests.next();
            m_inFlight = false;
            m_gatheredAny = false;
            m_storage = storage;
            forgetGatheredText();
        }
        m_pause.stop();
        replaceWords(std::make_shared<const CompletionWords>());
        m_revision = 0;
        if (storage && storage->length() > kAtOnceLimit) {
            if (!m_inFlight)
                startGathering();
            return {m_words, false};
        }
    }
    if (!storage)
        return {m_words, true};
    const quint64 revision = storage->revision();
    if (m_gatheredAny && m_revision == revision)
        return {m_words, true};
    if (storage->length() <= kAtOnceLimit) {
        m_requests.next();
        m_inFlight = false;
        m_pause.stop();
        replaceWords(std::make_shared<const CompletionWords>(
            CompletionWords::gather(storage->text()).value_or(CompletionWords())));
        forgetGatheredText();
        m_revision = revision;
        m_gatheredAny = true;
        return {m_words, true};
    }
    // Another pass once the one under way is done and the typing pauses.
    m_wanted = true;
    if (!m_inFlight)
        m_pause.start();
    return {m_words, false};
}

void CompletionWordGathering::replaceWords(std::shared_ptr<const CompletionWords> words) {
    std::shared_ptr<const CompletionWords> old = std::exchange(m_words, std::move(words));
    // Freeing a few hundred thousand words would hold the window's thread for milliseconds.
    if (old && old->words().size() > 10'000)
        fileWorkPool().start([old = std::move(old)]() mutable { old.reset(); });
}

void CompletionWordGathering::forgetGatheredText() {
    if (std::optional<QString> text = std::exchange(m_gatheredText, std::nullopt))
        releaseAside(std::move(*text));
}

void CompletionWordGathering::startGathering() {
    const std::shared_ptr<TextStorage> storage = m_storage.lock();
    if (!storage || m_inFlight || (m_gatheredAny && m_revision == storage->revision()))
        return;
    m_wanted = false;
    m_inFlight = true;
    const LatestRequest::Ticket ticket = m_requests.next();
    const quint64 revision = storage->revision();
    std::optional<QString> before = m_gatheredAny ? m_gatheredText : std::nullopt;
    // The job holds the text as it is now; the next key then edits a spare copy made on a pool
    // thread rather than copying the whole text itself.
    fileWorkPool().start([mailbox = m_mailbox, text = storage->text(), before = std::move(before),
                          revision, ticket, superseded = m_requests.supersededCheck(ticket), this] {
        std::shared_ptr<const CompletionWords> shared;
        // Keys that changed no word (a letter typed and taken back, a space, a comma) need no
        // pass over the whole text.
        if (!before || !CompletionWords::sameIdentifiers(*before, text, superseded)) {
            std::optional<CompletionWords> words = CompletionWords::gather(text, superseded);
            if (!words)
                return;
            shared = std::make_shared<const CompletionWords>(std::move(*words));
        } else if (superseded()) {
            return;
        }
        mailbox->post([this, text, shared = std::move(shared), revision, ticket]() mutable {
            // Checked again now: another document supersedes these.
            if (!m_requests.isLatest(ticket)) {
                // Freeing a few hundred thousand words would hold the window's thread.
                releaseAside(std::make_pair(std::move(shared), std::move(text)));
                return;
            }
            land(revision, std::move(text), std::move(shared));
        });
    });
    storage->keepSpareIfHeldElsewhere();
}

void CompletionWordGathering::land(quint64 revision, QString text,
                                   std::shared_ptr<const CompletionWords> words) {
    m_inFlight = false;
    if (words)
        replaceWords(std::move(words));
    forgetGatheredText();
    m_gatheredText = std::move(text);
    m_revision = revision;
    m_gatheredAny = true;
    if (m_wanted)
        m_pause.start();
    emit gathered();
}

} // namespace dunmoss
