#pragma once

#include "platform/TextRange.h"
#include "text/TextSearch.h"
#include "window/EditorWindowModel.h"
#include "window/SearchCenterTypes.h"

#include <QObject>
#include <QUuid>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace dunmoss {

class MainThreadMailbox;

// Finds the active tab's matches for a find-bar step (next, previous, replace, replace all, find
// all, mark all, select all, find in open documents) on a pool thread, so an expression that
// backtracks without end never holds the window up. The window waits a moment for the ranges and
// goes on with the step at once when they come in time, as almost every search does; a slower
// search hands them over when it ends. Such late ranges are dropped when another step started, or
// the active tab, its text, the query or the options changed meanwhile (any tab's text when
// searching them all, the replacement when replacing all); an edit that drops them stops their
// search at once.
class FindStepRunner : public QObject, public WindowAttachment {
    Q_OBJECT
public:
    // What a step needs: the ranges of every non-empty match, or the matches with their lines
    // and previews, listing at most `listLimit`.
    struct Request {
        bool withLines = false;
        std::optional<qsizetype> listLimit;
        // The active tab's text with every match replaced instead.
        bool replacesAll = false;
        // The matches of every open tab instead.
        bool inAllTabs = false;
    };
    // What was asked for, or why the search failed.
    struct Outcome {
        QList<TextRange> ranges;
        TextSearchMatches matches;
        TextReplaceAllResult replaced;
        QList<OpenDocumentSearchResult> openDocuments;
        std::exception_ptr error;
    };
    using Step = std::function<void(const Outcome&)>;

    // The window's runner, attached on first use.
    static FindStepRunner& of(EditorWindowModel& model);

    explicit FindStepRunner(EditorWindowModel& model);
    ~FindStepRunner() override;

    // Searches the active tab with the window's query and options, then runs `step` with the
    // outcome on the main thread, now or later (or never, when dropped as above).
    void run(Step step, Request request);
    // The ranges alone.
    void run(Step step);
    // True while a step waits for its search.
    bool isPending() const { return m_pending; }

    static constexpr int kWaitMilliseconds = 20;
    // How long run() waits before handing the step over; tests that need the steps at once
    // raise it.
    int waitMilliseconds = kWaitMilliseconds;

private:
    struct Search;
    struct Key {
        QUuid tabID;
        QString text;
        QString query;
        TextSearchOptions options;
        QString replacement;
        QList<std::pair<QUuid, QString>> tabs;
        friend bool operator==(const Key&, const Key&) = default;
    };
    Key currentKey(const Request& request) const;
    // Stops and drops the pending search once an edit or a change of tab, query or options
    // means its outcome would be dropped anyway.
    void dropIfOutdated();
    void finish(quint64 generation, const Key& key, const std::shared_ptr<Search>& search,
                const Step& step);

    EditorWindowModel& m_model;
    std::shared_ptr<MainThreadMailbox> m_mailbox;
    quint64 m_generation = 0;
    bool m_pending = false;
    std::shared_ptr<std::atomic<bool>> m_stop;
    // The pending search's key and what it was asked, to tell when it became outdated.
    Key m_pendingKey;
    Request m_pendingRequest;
};

} // namespace dunmoss
