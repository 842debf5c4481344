#pragma once

#include "platform/LatestRequest.h"
#include "text/CompletionWords.h"

#include <QObject>
#include <QTimer>
#include <memory>
#include <optional>

namespace dunmoss {

class MainThreadMailbox;
class TextStorage;

// The words of the text a view shows, for its completion list. They are gathered once per
// change of the text: a short text at once, a long one on a pool thread, one pass at a time,
// the first at once and each later one when the typing pauses, so that no key waits for a pass
// over the text. A later pass first compares the text with the one last gathered and keeps the
// words when the change touched none. Meanwhile the words gathered last answer, and `isCurrent`
// says the text has changed since. A pass for a document the view has left counts for nothing.
class CompletionWordGathering : public QObject {
    Q_OBJECT
public:
    // Texts up to this many UTF-16 units are gathered on the spot.
    static constexpr qsizetype kAtOnceLimit = 32'768;

    explicit CompletionWordGathering(QObject* parent = nullptr);
    ~CompletionWordGathering() override;

    struct Words {
        std::shared_ptr<const CompletionWords> gathered; // never null
        bool isCurrent = false;
    };
    // The words last gathered from the storage's text; when they are not those of its text now,
    // a gathering is asked for.
    Words wordsFor(const std::shared_ptr<TextStorage>& storage);

signals:
    // Words of a later text than those answered before have come.
    void gathered();

private:
    void startGathering();
    // A pass of the text at `revision` ended: with new words, or none when it kept the words.
    void land(quint64 revision, QString text, std::shared_ptr<const CompletionWords> words);
    void replaceWords(std::shared_ptr<const CompletionWords> words);
    void forgetGatheredText();

    std::weak_ptr<TextStorage> m_storage;
    quint64 m_revision = 0;
    std::shared_ptr<const CompletionWords> m_words;
    // The text the last pass read, whose words m_words are.
    std::optional<QString> m_gatheredText;
    bool m_gatheredAny = false;
    bool m_inFlight = false;
    // The text changed since the pass under way or the last one began.
    bool m_wanted = false;
    QTimer m_pause;
    LatestRequest m_requests;
    std::shared_ptr<MainThreadMailbox> m_mailbox;
};

} // namespace dunmoss
