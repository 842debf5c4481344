#pragma once

#include "platform/TextRange.h"
#include "text/TextSearch.h"
#include "window/EditorWindowModel.h"
#include "window/SearchCenterTypes.h"

#include <QObject>
#include <QTimer>
#include <QUuid>
#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace dunmoss {

class MainThreadMailbox;
class TextStorage;

// Finds the matches for a find-bar command (next, previous, replace, replace all, find all, mark
// all, select all, find in open documents) on a pool thread, so an expression that backtracks
// without end never holds the window up. The command acts on the tab whose pane has the keyboard
// when it is given, with the query, options and replacement of that moment. The window never
// waits for the search: for a short quiet moment, which almost every search needs no more than,
// keys and clicks in the tab's editors wait and a newer command waits behind them, as if the
// command had ended at once; a slower search then shows that it runs in the bar's status and
// hands its matches over when it ends.
//
// A command given is never dropped without a word. While one that changes the text or the
// selection runs, keys and clicks in its tab's editors wait and follow it once it is done (see
// TextStorage::holdInput). When its tab's text changes another way meanwhile, it searches that
// text again; when its tab closes, the window's status says that it stopped. Only a newer command
// of the bar stops a running one that has said it runs, and the status then says so.
class FindStepRunner : public QObject, public WindowAttachment {
    Q_OBJECT
public:
    // What a command needs: the ranges of every non-empty match, or the matches with their lines
    // and previews, listing at most `listLimit`.
    struct Request {
        bool withLines = false;
        std::optional<qsizetype> listLimit;
        // The tab's text with every match replaced instead.
        bool replacesAll = false;
        // The matches of every open tab instead.
        bool inAllTabs = false;
        // Changes the tab's text or selection: input in its editors waits for it.
        bool holdsInput = false;
        // The command's name (a localisation key) and what the status says while it runs.
        const char* titleKey = "find.next";
        const char* progressKey = "find.searching";
    };
    // What was searched and found, or why the search failed.
    struct Outcome {
        QUuid tabID;
        QString query;
        TextSearchOptions options;
        QString replacement;
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

    // Searches the keyboard tab with the window's query and options, then runs `step` with the
    // outcome on the main thread, now or later. A command still running is stopped first.
    void run(Step step, Request request);
    // The ranges alone.
    void run(Step step);
    // True while a command waits for its search.
    bool isPending() const { return m_pending; }
    // The program is about to end (a signal): the running command, and any given while it ran,
    // ends now, so that the keys held for it are in the text before the last save. A search
    // still running at `deadline` is stopped and its command dropped; the keys are applied in
    // the order given either way.
    void endBeforeQuit(std::chrono::steady_clock::time_point deadline);

    static constexpr int kQuietMilliseconds = 20;
    // How long a command runs before the status says so and a newer command stops it; 0 says
    // so at once.
    int quietMilliseconds = kQuietMilliseconds;
    // How long run() blocks for the matches before handing the step over; 0 in the program,
    // where the window never waits for a search. Tests that need the steps at once raise it.
    int waitMilliseconds = 0;
    // Testing hook, empty in the program: called on the worker before each search.
    std::function<void()> beforeSearch;

private:
    struct Search;
    struct Key {
        QUuid tabID;
        QString text;
        QString query;
        TextSearchOptions options;
        QString replacement;
        QList<std::pair<QUuid, QString>> tabs;
    };
    // A command as it was given: its key holds the query, options and replacement of then.
    struct Command {
        Key key;
        Request request;
        Step step;
    };
    void give(Command command);
    // The searched texts of the key as the tabs hold them now, the rest as asked.
    Key keyWithCurrentTexts(const Key& asked) const;
    bool textsChanged() const;
    // Searches again once a tab's text changed under the search, or stops when its tab closed.
    void followChanges();
    void start(Key key);
    // Searches the key's texts on a pool thread for the running command.
    std::shared_ptr<Search> launch(Key key);
    // The quiet moment is over: the status says the command runs, and input and commands that
    // waited for it go on unless the command holds them.
    void announce();
    void finish(quint64 generation, const std::shared_ptr<Search>& search);
    void complete(const Outcome& found);
    // Stops the running command, which a newer one replaces: its held input goes first.
    void supersede();
    // Stops the running command's search and forgets what was to follow it; the held input is
    // left to the caller.
    void stopRunning();
    void report(const QString& text);
    // Holds the input of the command's tab while it runs; `evenIfItChangesNothing` for its quiet
    // moment.
    void holdInput(bool evenIfItChangesNothing = false);
    void releaseInput(bool replay = true);

    EditorWindowModel& m_model;
    std::shared_ptr<MainThreadMailbox> m_mailbox;
    quint64 m_generation = 0;
    bool m_pending = false;
    // The running command said that it runs: a newer one stops it rather than waiting.
    bool m_announced = false;
    QTimer m_quiet;
    // Shared by every command waiting in held input for the running command's quiet moment; one
    // dropped with the input it waited in stops counting.
    std::shared_ptr<int> m_waitingCommand = std::make_shared<int>(0);
    bool commandsWait() const { return m_waitingCommand.use_count() > 1; }
    std::shared_ptr<std::atomic<bool>> m_stop;
    // The running command's search.
    std::shared_ptr<Search> m_search;
    // The running command: what it searches, what it asked for and what follows.
    Key m_key;
    Request m_request;
    Step m_step;
    // The storage whose input waits for the running command.
    std::weak_ptr<TextStorage> m_heldStorage;
    // The name of the command the running one replaced, said when it ends.
    const char* m_supersededTitle = nullptr;
};

} // namespace dunmoss
