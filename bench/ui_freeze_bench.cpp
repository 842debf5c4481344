// Scenarios that once froze the window, each driven through the real window with its event loop
// turning. Every scenario reports `longest_stall_ms`, the longest the loop went without turning
// (a 1 ms timer ticking on it), and, where memory is the question, how much the resident set grew.
// One scenario per function; each registers its own cases in registerAll().
#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "chrome/WindowLayout.h"
#include "editor/CodeEditorCoordinator.h"
#include "editor/CodeEditorView.h"
#include "editor/CompletionPopup.h"
#include "editor/ShortcutTextView.h"
#include "search/FindBarStatus.h"
#include "search/FindReplace.h"
#include "search/FindStepRunner.h"
#include "search/SearchCenterPanel.h"
#include "session/SessionFiles.h"
#include "session/SessionStore.h"
#include "session/SessionWriter.h"
#include "session/WindowSession.h"
#include "text/CodeCompletion.h"
#include "text/TextFileLoader.h"
#include "tools/DocumentOutlinePanel.h"
#include "tools/MarkdownPreviewPanel.h"
#include "tools/SplitViews.h"
#include "window/DocumentOpening.h"
#include "window/DocumentReloading.h"
#include "window/DocumentSaving.h"
#include "window/DocumentWriteQueue.h"
#include "window/EditorCommands.h"
#include "window/IncomingFiles.h"
#include "window/TabUndoRegistry.h"
#include "window/WindowCommandTable.h"
#include "window/WindowDerivedValues.h"

#include "KeyTyping.h"
#include "support/BenchWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QCollator>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QSet>
#include <QTimer>
#include <QUndoStack>
#include <benchmark/benchmark.h>
#include <fstream>
#include <functional>
#include <sys/resource.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <vector>

using namespace dunmoss;

namespace {

// The resident set of this process.
double residentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// The CPU time this process has used, all its threads.
double processCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

struct Drive {
    double longestStallMs = 0;
    double elapsedMs = 0;
    bool finished = false;
};

// Runs `action` from inside the event loop, then keeps the loop turning until `done` holds or
// `timeoutMs` passes. A 1 ms timer ticks all the while; the longest wait between two ticks (or
// between the start and the first) is the longest the window could not react.
Drive drive(const std::function<void()>& action, const std::function<bool()>& done, int timeoutMs) {
    Drive result;
    QElapsedTimer clock;
    QEventLoop loop;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    qint64 last = 0;
    bool acted = false;
    QObject::connect(&ticker, &QTimer::timeout, &loop, [&] {
        const qint64 now = clock.nsecsElapsed();
        result.longestStallMs = std::max(result.longestStallMs, (now - last) / 1e6);
        last = now;
        if (acted && done()) {
            result.finished = true;
            loop.quit();
        } else if (clock.elapsed() > timeoutMs) {
            loop.quit();
        }
    });
    QTimer::singleShot(0, &loop, [&] {
        action();
        acted = true;
    });
    clock.start();
    ticker.start();
    loop.exec();
    result.elapsedMs = clock.nsecsElapsed() / 1e6;
    return result;
}

// Keeps the loop turning for a while, so work the window posted or delayed gets done.
Drive settleFor(int ms) {
    return drive([] {}, [] { return false; }, ms);
}

// drive(), then the loop keeps turning a while longer, so the window's refresh and paint after
// the step (which follow the model's change a turn or more later) count too.
Drive driveAndSettle(const std::function<void()>& action, const std::function<bool()>& done,
                     int timeoutMs) {
    Drive result = drive(action, done, timeoutMs);
    const Drive after = settleFor(300);
    result.longestStallMs = std::max(result.longestStallMs, after.longestStallMs);
    return result;
}

EditorTab fileTab(const QTemporaryDir& dir, const QString& name, const QString& text,
                  qsizetype caret) {
    EditorTab tab = untitledTab();
    tab.fileURL = QUrl::fromLocalFile(dir.filePath(name));
    tab.document.text = text;
    tab.savedSnapshot = text;
    tab.selectedRange = {caret, 0};
    tab.selectedRanges = {tab.selectedRange};
    return tab;
}

// Whether the window saves its session after each edit, as it does for the person, or not at
// all, which leaves out what the session's own saving costs.
enum class Session { Saved, NotSaved };

struct Window : bench::BenchWindow {
    Window(const QString& name, const QString& text, qsizetype caret, bool outline = false,
           Session session = Session::Saved)
        : BenchWindow([&](EditorWindowState& s, const QTemporaryDir& dir) {
              const EditorTab tab = fileTab(dir, name, text, caret);
              s.tabs = {tab};
              s.activeTabID = tab.id;
              s.panels.showWelcome = false;
              s.panels.showDocumentOutline = outline;
          }) {
        // A window that has not restored its session never writes one.
        if (session == Session::NotSaved)
            model().update([](EditorWindowState& s) { s.decisions.didRestoreSession = false; });
    }
    // A window showing its lone untitled tab, as a fresh start without a session shows it.
    Window() : BenchWindow([](EditorWindowState&, const QTemporaryDir&) {}) {}

    ShortcutTextView* textView() const {
        auto* found = view->findChild<ShortcutTextView*>();
        found->setFocus();
        return found;
    }
    QUndoStack* undoStack() const {
        return model().undoRegistry().undoStackForTab(activeTab(model().state()).id);
    }
    const QString& text() const { return activeTab(model().state()).document.text; }
};

void report(benchmark::State& state, double longestStallMs, double rssGrowthMb = -1) {
    state.counters["longest_stall_ms"] = longestStallMs;
    if (rssGrowthMb >= 0)
        state.counters["rss_growth_mb"] = rssGrowthMb;
}

// Typing a name into the first of two declarations of a plain-text tab with the outline shown;
// between them a run of blank lines and a line that declares nothing. Each keystroke ends when
// the outline lists the new name.
void outlineAfterBlankLines(benchmark::State& state, int blankLines) {
    const QString text = QStringLiteral("func first\n") + QString(blankLines, u'\n') +
                         QStringLiteral("the end of the notes\nfunc last\n");
    Window window(QStringLiteral("notes.txt"), text, 10, true);
    auto* panel = window.view->findChild<DocumentOutlinePanel*>();
    ShortcutTextView* editor = window.textView();
    QString name = QStringLiteral("first");
    int typed = 0;
    double longest = 0;
    for (auto _ : state) {
        name += QChar(u'a' + typed % 26);
        const Drive d =
            drive([&] { bench::typeOneKey(editor, typed); },
                  [&] { return !panel->items().isEmpty() && panel->items().first().title == name; },
                  600'000);
        if (!d.finished)
            state.SkipWithError("the outline did not follow the typing");
        longest = std::max(longest, d.longestStallMs);
        state.SetIterationTime(d.elapsedMs / 1e3);
    }
    report(state, longest);
}

// A string that holds JSON written as a string: every quote inside it escaped.
QString stringifiedJson(qsizetype length) {
    QString inner;
    for (int i = 0; inner.size() < length - 40; ++i)
        inner +=
            QStringLiteral(R"({\"id\":%1,\"name\":\"item %1\",\"tags\":[\"a\",\"b\"]},)").arg(i);
    return QStringLiteral("{\"payload\": \"[") + inner + QStringLiteral("]\"}\n");
}

// One key typed per iteration, each ending when the window has been idle; the longest stall.
double longestKeystrokeStall(benchmark::State& state, ShortcutTextView* editor) {
    int typed = 0;
    double longest = 0;
    for (auto _ : state) {
        const Drive d = drive([&] { bench::typeOneKey(editor, typed); }, [] { return false; }, 300);
        longest = std::max(longest, d.longestStallMs);
        state.SetIterationTime(d.longestStallMs / 1e3);
    }
    return longest;
}

// Typing into the key of a 62 KB .json file whose one value is stringified JSON: colouring runs
// on the whole text at every keystroke. Each keystroke ends when the window has been idle. The
// same text as plain text (`fileName` "data.txt") is the baseline: laying out its one long line.
void stringifiedJsonKeystroke(benchmark::State& state, const QString& fileName) {
    const QString text = stringifiedJson(62'000);
    Window window(fileName, text, 3);
    const double longest = longestKeystrokeStall(state, window.textView());
    state.counters["length"] = double(text.size());
    report(state, longest);
}

// 64,000 characters that keep a string or block rule from closing: one opener followed by
// escaped quotes, or the same block opener over and over.
QString unclosedText(const QString& head, const QString& piece) {
    QString text = head;
    while (text.size() + piece.size() <= 64'000)
        text += piece;
    return text;
}

// Typing at the start of such a file: colouring runs on the whole text at every keystroke.
void unclosedKeystroke(benchmark::State& state, const QString& fileName, const QString& text) {
    Window window(fileName, text, 0);
    const double longest = longestKeystrokeStall(state, window.textView());
    report(state, longest);
}

// Lines of about 70 characters.
QString codeLines(qsizetype length) {
    const QString line =
        QStringLiteral("    let value = compute(index, offset) + total; // keep it warm\n");
    QString text;
    text.reserve(length + line.size());
    while (text.size() + line.size() <= length)
        text += line;
    return text;
}

// The same lines, each ending with its own number, so that no two are alike.
QString numberedCodeLines(qsizetype length) {
    const QString line = QStringLiteral("    let value = compute(index, offset) + total; // line ");
    QString text;
    text.reserve(length + line.size() + 16);
    for (int number = 1; text.size() + line.size() + 12 <= length; ++number)
        text.append(line).append(QString::number(number)).append(u'\n');
    return text;
}

// Move Line Down pressed `presses` times in a row on the first line of a 5,000,000-character
// text, each press a turn of the event loop as a held key gives. Reports the growth of the
// resident set with all the steps on the undo stack; stops early once it passes 2 GB. With
// `distinct`, no two lines are alike, so every press changes the text.
void moveLineDownRepeatedly(benchmark::State& state, int presses, Session session,
                            bool distinct = false) {
    constexpr double kGrowthCapMb = 2048;
    for (auto _ : state) {
        Window window(QStringLiteral("big.log"),
                      distinct ? numberedCodeLines(5'000'000) : codeLines(5'000'000), 0, false,
                      session);
        const EditorCommands commands = window.view->commandTable().makeWindowCommands();
        settleFor(200);
        const double before = residentMegabytes();
        int pressed = 0;
        bool capped = false;
        double slowestPress = 0;
        std::function<void()> press = [&] {
            QElapsedTimer clock;
            clock.start();
            invokeCommand(commands, &EditorCommands::moveLineDown);
            slowestPress = std::max(slowestPress, clock.nsecsElapsed() / 1e6);
            ++pressed;
            if (residentMegabytes() - before > kGrowthCapMb)
                capped = true;
            else if (pressed < presses)
                QTimer::singleShot(0, press);
        };
        const Drive d = drive(
            press, [&] { return capped || pressed >= presses; }, 1'200'000);
        settleFor(300);
        report(state, d.longestStallMs, residentMegabytes() - before);
        state.counters["presses"] = pressed;
        state.counters["slowest_press_ms"] = slowestPress;
        state.counters["ms_per_press"] = d.elapsedMs / std::max(pressed, 1);
        state.counters["undo_steps"] = window.undoStack()->count();
        state.SetIterationTime(d.elapsedMs / 1e3);
    }
}

// One line tool on a 2,000,000-character text with the caret in its middle, from the window's
// command record; each step ends when the window has been idle for a moment.
void lineToolOn2M(benchmark::State& state, EditorCommandField field, Session session) {
    Window window(QStringLiteral("main.c"), codeLines(2'000'000), 1'000'000, false, session);
    const EditorCommands commands = window.view->commandTable().makeWindowCommands();
    settleFor(200);
    double longest = 0, slowestStep = 0;
    for (auto _ : state) {
        double stepMs = 0;
        const Drive d = drive(
            [&] {
                QElapsedTimer step;
                step.start();
                invokeCommand(commands, field);
                window.view->refreshNow();
                stepMs = step.nsecsElapsed() / 1e6;
            },
            [] { return false; }, 60);
        longest = std::max(longest, d.longestStallMs);
        slowestStep = std::max(slowestStep, stepMs);
        state.SetIterationTime(stepMs / 1e3);
    }
    state.counters["slowest_step_ms"] = slowestStep;
    report(state, longest);
}

// `count` lines of 58 characters, each holding "needle" once.
QString needleLines(qsizetype count) {
    const QString line =
        QStringLiteral("the quick brown fox jumps over a needle in the haystack.\n");
    QString text;
    text.reserve(count * line.size());
    for (qsizetype i = 0; i < count; ++i)
        text += line;
    return text;
}

// Select All on every match, then Replace All, then its undo, each from the find bar's
// operations; each step ends when the window's text and selections show its result.
// With `clone`, a second view of the same tab stands beside it.
void selectAllThenReplaceAll(benchmark::State& state, qsizetype matches, bool clone = false) {
    const QString text = needleLines(matches);
    for (auto _ : state) {
        Window window(QStringLiteral("hay.txt"), text, 0);
        window.textView();
        if (clone) {
            SplitViews(window.model()).cloneActiveView();
            settleFor(300);
        }
        FindReplace find(window.model());
        find.setFindQuery(QStringLiteral("needle"));
        find.setReplaceText(QStringLiteral("pin"));
        const double before = residentMegabytes();
        const Drive select = driveAndSettle(
            [&] { find.selectAllFindMatches(); },
            [&] {
                // Selected, and listed in the search center.
                return window.textView()->selectedRanges().size() == matches &&
                       window.model().state().searchCenter.searchCenterDocumentResults.size() ==
                           matches;
            },
            600'000);
        const Drive replace =
            driveAndSettle([&] { find.replaceAllFindMatches(); },
                           [&] {
                               return window.textView()->document()->characterCount() ==
                                      text.size() - 3 * matches + 1;
                           },
                           900'000);
        const Drive undo = driveAndSettle(
            [&] { window.undoStack()->undo(); },
            [&] { return window.textView()->selectedRanges().size() == matches; }, 900'000);
        if (!select.finished || !replace.finished || !undo.finished || window.text() != text)
            state.SkipWithError("a step did not finish with the expected text");
        state.counters["select_stall_ms"] = select.longestStallMs;
        state.counters["replace_stall_ms"] = replace.longestStallMs;
        state.counters["replace_ms"] = replace.elapsedMs;
        state.counters["undo_stall_ms"] = undo.longestStallMs;
        state.counters["undo_ms"] = undo.elapsedMs;
        state.counters["matches"] = double(matches);
        report(state,
               std::max({select.longestStallMs, replace.longestStallMs, undo.longestStallMs}),
               residentMegabytes() - before);
        state.SetIterationTime((select.elapsedMs + replace.elapsedMs + undo.elapsedMs) / 1e3);
    }
}

// Make Uppercase over the whole of a 4.2 MB text, from the window's command record; ends when
// the view shows the new text.
void uppercaseWholeText(benchmark::State& state) {
    const QString text = codeLines(4'200'000);
    for (auto _ : state) {
        Window window(QStringLiteral("notes.txt"), text, 0, false, Session::NotSaved);
        const EditorCommands commands = window.view->commandTable().makeWindowCommands();
        window.model().setSelection(0, text.size(), 0);
        settleFor(300);
        const Drive d =
            driveAndSettle([&] { invokeCommand(commands, &EditorCommands::uppercaseSelection); },
                           [&] {
                               return window.textView()->document()->firstBlock().text().startsWith(
                                   QStringLiteral("    LET"));
                           },
                           60'000);
        if (!d.finished || !window.text().startsWith(QStringLiteral("    LET")))
            state.SkipWithError("the view did not show the uppercase text");
        report(state, d.longestStallMs);
        state.SetIterationTime(d.elapsedMs / 1e3);
    }
}

// Typing into a text while the find bar holds a query and the search center lists the current
// document's matches; each keystroke is followed by a second of the loop turning, so a search
// that follows the edit later is measured too.
void typingWithSearchCenter(benchmark::State& state, const QString& text, const QString& query,
                            bool isRegex, SearchCenterScope scope) {
    Window window(QStringLiteral("notes.txt"), text, 0);
    window.model().update([&](EditorWindowState& s) {
        s.find.showFindBar = true;
        s.find.findQuery = query;
        s.find.findOptions.isRegex = isRegex;
        s.searchCenter.showSearchCenter = true;
        s.searchCenter.searchCenterScope = scope;
    });
    settleFor(200);
    ShortcutTextView* editor = window.textView();
    int typed = 0;
    double longest = 0;
    QElapsedTimer keystroke;
    double slowestKeyMs = 0;
    for (auto _ : state) {
        const Drive d = drive(
            [&] {
                keystroke.start();
                bench::typeOneKey(editor, typed);
                slowestKeyMs = std::max(slowestKeyMs, keystroke.nsecsElapsed() / 1e6);
            },
            [] { return false; }, 1'000);
        longest = std::max(longest, d.longestStallMs);
        state.SetIterationTime(keystroke.nsecsElapsed() / 1e9);
    }
    const EditorWindowState& s = window.model().state();
    state.counters["listed"] = double(scope == SearchCenterScope::CurrentDocument
                                          ? s.searchCenter.searchCenterDocumentResults.size()
                                          : s.searchCenter.searchCenterOpenDocumentResults.size());
    state.counters["total"] = double(s.find.findResultsTotalCount);
    state.counters["slowest_key_ms"] = slowestKeyMs;
    report(state, longest);
}

// Lines of thirty "a" then one "b": `(a+)+$` backtracks without end on each of them.
QString runawayLines() {
    QString text;
    for (int i = 0; i < 200; ++i)
        text += QString(30, u'a') + QStringLiteral("b\n");
    return text;
}

// A find-bar command with `(a+)+$` over lines it backtracks on without end; the command ends
// when the status line shows why nothing was found.
void runawayCommand(benchmark::State& state, void (*command)(FindReplace)) {
    Window window(QStringLiteral("notes.txt"), runawayLines(), 0);
    window.model().update([](EditorWindowState& s) {
        s.find.showFindBar = true;
        s.find.findQuery = QStringLiteral("(a+)+$");
        s.find.findOptions.isRegex = true;
        s.find.replaceText = QStringLiteral("x");
    });
    window.textView();
    settleFor(200);
    double longest = 0;
    EditorWindowModel& model = window.model();
    for (auto _ : state) {
        model.setFindMessage(QString());
        model.update([](EditorWindowState& s) { s.find.reports.clear(); });
        // The find bar says why nothing was found once the command is over; a search of all
        // tabs says it on the window's status line.
        const Drive d = driveAndSettle([&] { command(FindReplace(model)); },
                                       [&] {
                                           return !FindStepRunner::of(model).isPending() &&
                                                  (!model.state().findMessage.isEmpty() ||
                                                   !findBarStatus(model).isEmpty());
                                       },
                                       60'000);
        if (!d.finished)
            state.SkipWithError("the step showed no message");
        longest = std::max(longest, d.longestStallMs);
        state.counters["step_ms"] = d.elapsedMs;
        state.SetIterationTime(d.elapsedMs / 1e3);
    }
    report(state, longest);
}

// A 1,000,000-character text with a match of "word" every seven characters, in lines of 70.
QString denseWords() {
    QString text;
    text.reserve(1'000'000);
    for (int i = 1; text.size() + 7 <= 1'000'000; ++i)
        text += i % 10 ? QStringLiteral("word12 ") : QStringLiteral("word12\n");
    return text;
}

// Filters typed into the search center while it lists the 142,857 open-document hits of
// denseWords(); each one refilters and regroups the list.
void filteringSearchCenter(benchmark::State& state) {
    Window window(QStringLiteral("notes.txt"), denseWords(), 0);
    window.model().update([&](EditorWindowState& s) {
        s.find.showFindBar = true;
        s.find.findQuery = QStringLiteral("word");
    });
    FindReplace(window.model()).findInOpenDocuments();
    settleFor(300);
    auto* panel = window.view->findChild<SearchCenterPanel*>();
    const QStringList filters = {QStringLiteral("w"), QStringLiteral("wo"), QStringLiteral("z"),
                                 QStringLiteral("12:"), QString()};
    qsizetype step = 0;
    double longest = 0;
    for (auto _ : state) {
        const QString filter = filters.at(step++ % filters.size());
        const Drive d =
            drive([&] { panel->filterField()->setText(filter); }, [] { return false; }, 300);
        longest = std::max(longest, d.longestStallMs);
        state.SetIterationTime(d.longestStallMs / 1e3);
    }
    state.counters["listed"] = double(panel->displayedCount());
    report(state, longest);
}

struct FileMaker {
    QTemporaryDir dir;
    QUrl write(const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return QUrl::fromLocalFile(file.fileName());
    }
    QUrl sparse(const QString& name, qint64 size) {
        QFile file(dir.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write("sparse start\n");
        file.resize(size);
        return QUrl::fromLocalFile(file.fileName());
    }
};

// Minified JSON records on one line, `length` bytes.
QByteArray minifiedJson(qsizetype length) {
    QByteArray bytes("[");
    for (int i = 0; bytes.size() < length; ++i)
        bytes += QStringLiteral("{\"id\":%1,\"name\":\"item-%1\",\"tags\":[\"alpha\",\"beta\"],"
                                "\"active\":true},")
                     .arg(i)
                     .toUtf8();
    bytes.truncate(length - 1);
    return bytes + ']';
}

bool showsFile(const Window& window, const QUrl& url) {
    const EditorTab& tab = activeTab(window.model().state());
    return tab.fileURL == url && !tab.document.text.isEmpty();
}

// One file opened through the window's open operation, from the request to its tab showing
// the text: into a fresh window (its welcome panel shown), or beside a tab shown in the editor.
enum class OpenInto { FreshWindow, BesideATab };

void openOneFile(benchmark::State& state, const std::function<QUrl(FileMaker&)>& make,
                 OpenInto into = OpenInto::FreshWindow) {
    FileMaker files;
    const QUrl url = make(files);
    for (auto _ : state) {
        const std::unique_ptr<Window> shown =
            into == OpenInto::FreshWindow
                ? std::make_unique<Window>()
                : std::make_unique<Window>(QStringLiteral("notes.txt"), QStringLiteral("notes\n"),
                                           0, false, Session::NotSaved);
        Window& window = *shown;
        const double before = residentMegabytes();
        const Drive d = driveAndSettle([&] { window.model().opening().openDocument(url); },
                                       [&] { return showsFile(window, url); }, 600'000);
        if (!d.finished)
            state.SkipWithError("the file's tab did not appear");
        QElapsedTimer load;
        load.start();
        benchmark::DoNotOptimize(loadTextFile(url));
        state.counters["load_only_ms"] = load.nsecsElapsed() / 1e6;
        report(state, d.longestStallMs, residentMegabytes() - before);
        state.SetIterationTime(d.elapsedMs / 1e3);
    }
}

// `count` small files handed over at once (as a drop or an open request of the system does, and
// as a session file lists them); ends when the last one's tab is active.
void openManyFiles(benchmark::State& state, int count, bool viaSessionFile) {
    FileMaker files;
    QList<QUrl> urls;
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        urls.append(files.write(QStringLiteral("f%1.txt").arg(i),
                                QByteArray("line of file ") + QByteArray::number(i) + "\n"));
        paths.append(urls.last().toLocalFile());
    }
    const QString sessionPath = files.dir.filePath(QStringLiteral("session.json"));
    {
        QFile session(sessionPath);
        session.open(QIODevice::WriteOnly);
        session.write(encodeSessionFile(EditorSessionFile{paths, paths.last()}));
    }
    for (auto _ : state) {
        Window window;
        const Drive d = driveAndSettle(
            [&] {
                if (viaSessionFile)
                    WindowSession::of(window.model()).files().openSessionFileAt(sessionPath);
                else
                    IncomingFiles(window.model()).openURLs(urls);
            },
            [&] {
                return window.model().state().tabs.size() == count &&
                       showsFile(window, urls.last());
            },
            600'000);
        if (!d.finished)
            state.SkipWithError("not every file opened");
        report(state, d.longestStallMs);
        state.counters["ms_per_file"] = d.elapsedMs / count;
        state.SetIterationTime(d.elapsedMs / 1e3);
    }
}

// A window holding `count` small file tabs, the middle one active, as a large session leaves it.
struct ManyTabsWindow : Window {
    explicit ManyTabsWindow(int count, Session session)
        : Window(QStringLiteral("tab0.txt"), QStringLiteral("text of tab 0\n"), 0, false, session) {
        model().update([&](EditorWindowState& s) {
            for (int i = 1; i < count; ++i)
                s.tabs.append(fileTab(dir, QStringLiteral("tab%1.txt").arg(i),
                                      QStringLiteral("text of tab %1\n").arg(i), 0));
            s.activeTabID = s.tabs.at(count / 2).id;
        });
        settleFor(300);
    }
    const QList<EditorTab>& tabs() const { return model().state().tabs; }
};

enum class TabStep { Switch, TypeInCleanTab, CloseActive, CloseOther, OpenFile, NewTab, Resize };

// One step on a window of `count` tabs, from the command record or the window's operations as
// the tab strip, the menu and the keyboard reach them; each step ends when the model shows its
// result, and the loop keeps turning a while after it so the refresh and paint count too.
void stepWithManyTabs(benchmark::State& state, int count, TabStep step, Session session,
                      bool splitShown = false) {
    ManyTabsWindow window(count, session);
    if (splitShown) {
        // The second pane's header offers every tab in its picker.
        SplitViews(window.model()).openSplitView();
        settleFor(300);
    }
    WindowCommandTable& table = window.view->commandTable();
    int typed = 0, round = 0;
    double longest = 0;
    for (auto _ : state) {
        ++round;
        const int n = int(window.tabs().size());
        const QUuid target = window.tabs().at((round * 977) % n).id;
        std::function<void()> action;
        std::function<bool()> done;
        switch (step) {
        case TabStep::Switch:
            action = [&] { table.selectTab(target); };
            done = [&] { return window.model().state().activeTabID == target; };
            break;
        case TabStep::TypeInCleanTab: {
            // Untimed: make a clean tab active and give it the keyboard.
            table.selectTab(target);
            settleFor(100);
            ShortcutTextView* editor =
                window.view->windowLayout().editorArea()->primaryPane()->editorView()->textView();
            editor->setFocus();
            action = [&, editor] { bench::typeOneKey(editor, typed); };
            done = [&] { return tabIsModified(activeTab(window.model().state())); };
            break;
        }
        case TabStep::CloseActive:
        case TabStep::CloseOther: {
            const QUuid closed =
                step == TabStep::CloseActive ? window.model().state().activeTabID : target;
            action = [&, closed] { table.requestCloseTab(closed); };
            done = [&, n] { return window.tabs().size() == n - 1; };
            break;
        }
        case TabStep::OpenFile: {
            const QUrl url =
                QUrl::fromLocalFile(window.dir.filePath(QStringLiteral("more%1.txt").arg(round)));
            QFile file(url.toLocalFile());
            file.open(QIODevice::WriteOnly);
            file.write("one more file\n");
            file.close();
            action = [&, url] { window.model().opening().openDocument(url); };
            done = [&, url] { return showsFile(window, url); };
            break;
        }
        case TabStep::NewTab:
            action = [&] { table.newDocument(); };
            done = [&, n] { return window.tabs().size() == n + 1; };
            break;
        case TabStep::Resize:
            action = [&] { window.view->resize(round % 2 ? 980 : 1060, 720); };
            done = [] { return true; };
            break;
        }
        const Drive d = driveAndSettle(action, done, 60'000);
        if (!d.finished)
            state.SkipWithError("the step did not finish");
        longest = std::max(longest, d.longestStallMs);
        state.SetIterationTime(d.longestStallMs / 1e3);
    }
    state.counters["tabs"] = double(window.tabs().size());
    if (splitShown)
        for (const QComboBox* picker : window.view->findChildren<QComboBox*>())
            if (picker->isVisible())
                state.counters["picker_items"] = picker->count();
    report(state, longest);
}

// Switching between a tab that shows one line of 4.9 million characters (minified JSON) and a
// small tab, away from the long line and back, with the tab strip's operation; each switch ends
// when the model shows it, and the loop keeps turning a while after it.
void switchWithALongLine(benchmark::State& state) {
    Window window(QStringLiteral("line.json"), QString::fromUtf8(minifiedJson(4'900'000)), 0, false,
                  Session::NotSaved);
    const QUuid longTab = activeTab(window.model().state()).id;
    window.model().update([&](EditorWindowState& s) {
        s.tabs.append(
            fileTab(window.dir, QStringLiteral("notes.txt"), QStringLiteral("notes\n"), 0));
    });
    const QUuid shortTab = window.model().state().tabs.last().id;
    settleFor(300);
    WindowCommandTable& table = window.view->commandTable();
    double away = 0, back = 0;
    for (auto _ : state) {
        double longest = 0;
        for (const QUuid target : {shortTab, longTab}) {
            const Drive d = driveAndSettle(
                [&] { table.selectTab(target); },
                [&] { return window.model().state().activeTabID == target; }, 60'000);
            if (!d.finished)
                state.SkipWithError("the switch did not finish");
            (target == shortTab ? away : back) =
                std::max(target == shortTab ? away : back, d.longestStallMs);
            longest = std::max(longest, d.longestStallMs);
        }
        state.SetIterationTime(longest / 1e3);
    }
    state.counters["away_stall_ms"] = away;
    state.counters["back_stall_ms"] = back;
    report(state, std::max(away, back));
}

// Lines of a log, `length` bytes: under the size that opens as a preview. Every line starts
// with `mark` and holds an "é", so each byte of its UTF-8 form shows as a letter in Latin-1:
// another mark or the other encoding changes every line.
QByteArray logBytes(qsizetype length, char mark) {
    const QByteArray line = mark + QByteArray("\xc3\xa9 a line of a large log file, seventy "
                                              "characters or so, to reload\n");
    QByteArray bytes;
    while (bytes.size() + line.size() <= length)
        bytes += line;
    return bytes;
}

// A tab showing a 4.9 MB file, read again from disk: with Reload (the file's first letter
// changes between reloads, its size stays) or with Reopen with Encoding, alternating between
// Latin-1 and UTF-8. Each step ends when the tab shows the new text.
void reloadFile(benchmark::State& state, bool withEncoding) {
    FileMaker files;
    const QUrl url = files.write(QStringLiteral("big.log"), logBytes(4'900'000, 'A'));
    Window window;
    driveAndSettle([&] { window.model().opening().openDocument(url); },
                   [&] { return showsFile(window, url); }, 600'000);
    int step = 0;
    double longest = 0;
    for (auto _ : state) {
        ++step;
        const bool latin1 = step % 2 == 1;
        const char mark = char('A' + step % 26);
        QString expected;
        if (withEncoding) {
            expected = latin1 ? QStringLiteral("A\u00c3\u00a9") : QStringLiteral("A\u00e9");
        } else {
            // Written before the step: only the reload is measured.
            files.write(QStringLiteral("big.log"), logBytes(4'900'000, mark));
            expected = QString(QLatin1Char(mark));
        }
        const Drive d = driveAndSettle(
            [&] {
                if (withEncoding)
                    DocumentReloading(window.model())
                        .reopenWithEncoding(latin1 ? TextFileEncoding::IsoLatin1
                                                   : TextFileEncoding::Utf8);
                else
                    DocumentReloading(window.model()).reloadKeyboardTab();
            },
            [&] { return window.text().startsWith(expected); }, 600'000);
        if (!d.finished)
            state.SkipWithError("the tab did not show the file read again");
        longest = std::max(longest, d.longestStallMs);
        state.SetIterationTime(d.elapsedMs / 1e3);
    }
    report(state, longest);
}

// A window started on a stored session of `count` tabs, each showing an unchanged 4.9 MB file;
// from the window's first turn to the stored active tab (the second) showing its text.
void restoreSession(benchmark::State& state, int count) {
    FileMaker files;
    Defaults defaults(files.dir.filePath(QStringLiteral("s.ini")));
    const QString recovery = files.dir.filePath(QStringLiteral("Recovery"));
    QList<EditorTab> tabs;
    for (int i = 0; i < count; ++i) {
        const QUrl url =
            files.write(QStringLiteral("f%1.log").arg(i), logBytes(4'900'000, 'a' + i));
        tabs.append(makeTabForLoadedFile(url, loadTextFile(url)));
    }
    SessionStore(defaults, recovery).saveSession(makeSessionRecord(tabs, tabs.at(1).id, 14));
    SessionWriter::shared().waitUntilIdle();
    for (auto _ : state) {
        EditorWindowView::Options options;
        options.defaults = &defaults;
        options.processArguments = {QStringLiteral("bench")};
        options.recoveryDirectory = recovery;
        EditorWindowView view(options);
        view.resize(1060, 720);
        view.show();
        const EditorWindowModel& model = view.model();
        const Drive d = driveAndSettle([] {},
                                       [&] {
                                           return model.state().tabs.size() == count &&
                                                  !model.opening().isOpening() &&
                                                  model.state().activeTabID == tabs.at(1).id &&
                                                  !activeTab(model.state()).document.text.isEmpty();
                                       },
                                       600'000);
        if (!d.finished)
            state.SkipWithError("the session's tabs did not appear");
        report(state, d.longestStallMs);
        state.SetIterationTime(d.elapsedMs / 1e3);
        view.close();
        SessionWriter::shared().waitUntilIdle();
    }
}

// A Markdown table of `rows` rows of about 90 characters.
QString markdownTable(int rows) {
    QString text =
        QStringLiteral("# Inventory\n\n| id | name | count | note |\n|---|---|---|---|\n");
    for (int i = 0; i < rows; ++i)
        text += QStringLiteral(
                    "| %1 | item number %1 | %2 | a note on the item, long enough to wrap |\n")
                    .arg(i)
                    .arg(i % 97);
    return text;
}

// The Markdown preview of a 4.2 MB table shown, then hidden: showing it ends when the preview
// lists every row; hiding it ends at once, and the process's CPU time in the two seconds after
// is what the hidden panel still costs.
void markdownPreviewShownThenHidden(benchmark::State& state) {
    const QString text = markdownTable(47'000);
    for (auto _ : state) {
        Window window(QStringLiteral("table.md"), text, 0, false, Session::NotSaved);
        const EditorCommands commands = window.view->commandTable().makeWindowCommands();
        auto* panel = window.view->findChild<MarkdownPreviewPanel*>();
        const Drive show = driveAndSettle(
            [&] { invokeCommand(commands, &EditorCommands::toggleMarkdownPreview); },
            [&] { return !panel->isBuilding() && panel->shownBlocks().size() == 47'003; }, 60'000);
        if (!show.finished)
            state.SkipWithError("the preview did not show the table");
        const Drive hide =
            drive([&] { invokeCommand(commands, &EditorCommands::toggleMarkdownPreview); },
                  [] { return true; }, 60'000);
        const double cpuBefore = processCpuMs();
        const Drive hidden = settleFor(2'000);
        state.counters["show_stall_ms"] = show.longestStallMs;
        state.counters["show_ms"] = show.elapsedMs;
        state.counters["hide_stall_ms"] = hide.longestStallMs;
        state.counters["hidden_cpu_ms_per_2s"] = processCpuMs() - cpuBefore;
        report(state, std::max({show.longestStallMs, hide.longestStallMs, hidden.longestStallMs}));
        state.SetIterationTime(show.elapsedMs / 1e3);
    }
}

// Ctrl+S on a 5,000,000-character file while keys go on being typed, one every 10 ms, until the
// window has heard that the file is written. `syncDelayMs` makes the disk's sync take that long
// (a slow or network disk). With `onWindowThread`, the file is encoded and written on the
// window's thread instead, as saving once did: the peer. `NoSave` types for as long without
// saving: what the keys cost anyway. Reports the longest stall, the slowest
// key typed while the save was under way, and the time until the tab was saved.
enum class SaveBy { Writer, WindowThread, NoSave };

void saveWhileTyping(benchmark::State& state, int syncDelayMs, SaveBy by) {
    const QString text = codeLines(5'000'000);
    Window window(QStringLiteral("big.txt"), text, 0);
    const QString path = window.dir.filePath(QStringLiteral("big.txt"));
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(text.toUtf8());
    }
    window.model().update([&](EditorWindowState& s) { fillMissingFileAttributes(s.tabs[0]); });
    ShortcutTextView* editor = window.textView();
    const EditorCommands commands = window.view->commandTable().makeWindowCommands();
    if (syncDelayMs > 0)
        DocumentWriteQueue::setBeforeSyncHook([syncDelayMs](const QString&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(syncDelayMs));
        });
    settleFor(300);
    int typed = 0;
    double longest = 0, slowestKey = 0, savedMs = 0;
    int keysDuringSave = 0, keysOver16Ms = 0;
    for (auto _ : state) {
        bench::typeOneKey(editor, typed);
        settleFor(100);
        const QUuid tabID = activeTab(window.model().state()).id;
        bool saving = false;
        QElapsedTimer sinceSave;
        QTimer keys;
        keys.setInterval(10);
        QObject::connect(&keys, &QTimer::timeout, [&] {
            if (!saving)
                return;
            QElapsedTimer key;
            key.start();
            bench::typeOneKey(editor, typed);
            window.view->refreshNow();
            const double keyMs = key.nsecsElapsed() / 1e6;
            slowestKey = std::max(slowestKey, keyMs);
            keysOver16Ms += keyMs > 16 ? 1 : 0;
            ++keysDuringSave;
        });
        keys.start();
        const Drive d = drive(
            [&] {
                sinceSave.start();
                saving = true;
                if (by == SaveBy::WindowThread) {
                    const EditorTab& tab = activeTab(window.model().state());
                    DocumentWriteQueue::write(
                        DocumentWrite{tab.id, *tab.fileURL, tab.document, false, {}, {}});
                    saving = false;
                    savedMs = sinceSave.nsecsElapsed() / 1e6;
                } else if (by == SaveBy::Writer) {
                    invokeCommand(commands, &EditorCommands::saveDocument);
                }
            },
            [&] {
                const bool pretending =
                    by == SaveBy::NoSave && sinceSave.elapsed() < std::max(syncDelayMs, 30);
                if (saving && !pretending && !window.model().saving().isWriting(tabID)) {
                    saving = false;
                    savedMs = sinceSave.nsecsElapsed() / 1e6;
                }
                return !saving;
            },
            60'000);
        keys.stop();
        if (!d.finished)
            state.SkipWithError("the save did not end");
        longest = std::max(longest, d.longestStallMs);
        state.SetIterationTime(d.elapsedMs / 1e3);
    }
    DocumentWriteQueue::setBeforeSyncHook({});
    state.counters["slowest_key_ms"] = slowestKey;
    state.counters["keys_during_save"] = keysDuringSave;
    state.counters["keys_over_16ms"] = keysOver16Ms;
    state.counters["last_save_ms"] = savedMs;
    report(state, longest);
}

// Types with the completion list shown at the end of a 5,000,000-character file (about 670,000
// words): each key a letter that keeps a word of the text matching, or a Backspace, one every
// `intervalMs`, the list showing throughout. With `listShown` false the same keys are typed
// without it: what they cost anyway. Reports the slowest key from its press until the window has
// shown it, how many took over 16 ms, what asking for the list cost the window's thread and how
// long until it offered the text's words.
// With Vocabulary::Numbered, the lines' names are numbered (about 200,000 words, once each) and
// the typed word ("wa", "war") is in one word only, so that every key reads all of them. With
// Vocabulary::Random, about 350,000 distinct made-up identifiers fill 4.9 MB and the typed word
// is one letter ("s", "se"): thousands of words start with it and most others hold it.
// With `pausesMs`, the typing pauses after every fourth key, for each of them in turn, as a
// person stops to think: long enough for the text's words to be gathered again, or for such a
// pass to end while keys come.
enum class Vocabulary { Repeated, Numbered, Random };

// About `count` distinct identifiers of 8 to 18 characters, mostly lower-case letters, some
// capitals, digits and underscores, eight to a line.
QString randomIdentifiers(int count) {
    QRandomGenerator random(20261209);
    static const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
    QSet<QString> seen;
    seen.reserve(count);
    QString text;
    text.reserve(qsizetype(count) * 14);
    while (seen.size() < count) {
        QString word;
        const int length = 8 + random.bounded(11);
        for (int i = 0; i < length; ++i) {
            const int pick = random.bounded(40);
            if (pick == 0 && i > 0)
                word += u'_';
            else if (pick == 1 && i > 0)
                word += QChar(u'0' + random.bounded(10));
            else if (pick == 2)
                word += letters.at(random.bounded(26)).toUpper();
            else
                word += letters.at(random.bounded(26));
        }
        if (seen.contains(word))
            continue;
        seen.insert(word);
        text += word;
        text += seen.size() % 8 == 0 ? u'\n' : u' ';
    }
    return text;
}

void typingWithCompletionList(benchmark::State& state, bool listShown, int intervalMs,
                              Vocabulary vocabulary = Vocabulary::Repeated,
                              const std::vector<int>& pausesMs = {}) {
    const bool distinctWords = vocabulary == Vocabulary::Numbered;
    QString text;
    QString offered = distinctWords ? QStringLiteral("warm") : QStringLiteral("compute");
    if (vocabulary == Vocabulary::Random) {
        text = randomIdentifiers(350'000);
        // Shown once the text's words are offered: the first of them starting with "s".
        const QCollator collator = caseInsensitiveCollator();
        offered.clear();
        for (const QStringView word : QStringView(text).tokenize(u' ', Qt::SkipEmptyParts))
            for (const QStringView line : word.tokenize(u'\n', Qt::SkipEmptyParts))
                if (line.startsWith(u's', Qt::CaseInsensitive) &&
                    (offered.isEmpty() || collator.compare(line, offered) < 0))
                    offered = line.toString();
        text += QStringLiteral("\ns");
    } else if (distinctWords) {
        text.reserve(5'000'100);
        for (int n = 0; text.size() < 5'000'000; ++n)
            text +=
                QStringLiteral("    let value%1 = compute%1(index%1, offset) + total; // warm\n")
                    .arg(n);
        text += QStringLiteral("wa");
    } else {
        text = codeLines(5'000'000) + QStringLiteral("co");
    }
    Window window(QStringLiteral("big.swift"), text, text.size(), false, Session::NotSaved);
    ShortcutTextView* editor = window.textView();
    CodeEditorCoordinator& coordinator = window.view->findChild<CodeEditorView*>()->coordinator();
    settleFor(300);
    const auto send = [editor](Qt::Key key, const QString& typed) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, typed);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, typed);
        QApplication::sendEvent(editor, &press);
        QApplication::sendEvent(editor, &release);
    };
    // "co" grows to "compu" and shrinks back, so "compute" is always offered ("warm" for "wa").
    const std::vector<std::pair<Qt::Key, QString>> cycle =
        vocabulary == Vocabulary::Random
            ? std::vector<std::pair<Qt::Key, QString>>{{Qt::Key_E, QStringLiteral("e")},
                                                       {Qt::Key_Backspace, QString()}}
        : distinctWords ? std::vector<std::pair<Qt::Key, QString>>{{Qt::Key_R, QStringLiteral("r")},
                                                                   {Qt::Key_Backspace, QString()}}
                        : std::vector<std::pair<Qt::Key, QString>>{
                              {Qt::Key_M, QStringLiteral("m")}, {Qt::Key_P, QStringLiteral("p")},
                              {Qt::Key_U, QStringLiteral("u")}, {Qt::Key_Backspace, QString()},
                              {Qt::Key_Backspace, QString()},   {Qt::Key_Backspace, QString()}};
    const int kKeys = pausesMs.empty() ? 30 : 40;
    double longest = 0, slowestKey = 0, openMs = 0, shownMs = 0;
    int keys = 0, keysOver16Ms = 0;
    std::vector<double> keyTimes;
    for (auto _ : state) {
        if (listShown && !coordinator.completionPopup()->isVisible()) {
            QElapsedTimer open;
            open.start();
            coordinator.startCompletion();
            window.view->refreshNow();
            openMs = std::max(openMs, open.nsecsElapsed() / 1e6);
            // The text's words are gathered aside: the list offers them once they come.
            const Drive shown =
                drive([] {},
                      [&] { return coordinator.completionPopup()->candidates().contains(offered); },
                      60'000);
            longest = std::max(longest, shown.longestStallMs);
            shownMs = std::max(shownMs, open.nsecsElapsed() / 1e6);
        }
        int step = 0;
        bool lostList = false;
        QTimer ticks;
        ticks.setInterval(intervalMs);
        QObject::connect(&ticks, &QTimer::timeout, [&] {
            if (step >= kKeys)
                return;
            QElapsedTimer key;
            key.start();
            send(cycle[size_t(step) % cycle.size()].first,
                 cycle[size_t(step) % cycle.size()].second);
            window.view->refreshNow();
            const double keyMs = key.nsecsElapsed() / 1e6;
            keyTimes.push_back(keyMs);
            slowestKey = std::max(slowestKey, keyMs);
            keysOver16Ms += keyMs > 16 ? 1 : 0;
            ++keys;
            ++step;
            lostList = lostList || coordinator.completionPopup()->isVisible() != listShown;
            if (!pausesMs.empty())
                ticks.setInterval(step % 4 == 0 ? pausesMs[size_t(step / 4) % pausesMs.size()]
                                                : intervalMs);
        });
        ticks.start();
        const Drive d = drive([] {}, [&] { return step >= kKeys; }, 120'000);
        ticks.stop();
        if (lostList)
            state.SkipWithError("the completion list did not stay as it was");
        longest = std::max(longest, d.longestStallMs);
        state.SetIterationTime(d.elapsedMs / 1e3);
    }
    std::sort(keyTimes.begin(), keyTimes.end());
    state.counters["slowest_key_ms"] = slowestKey;
    state.counters["median_key_ms"] = keyTimes.empty() ? 0 : keyTimes[keyTimes.size() / 2];
    state.counters["keys_over_16ms"] = keysOver16Ms;
    state.counters["keys"] = keys;
    if (listShown) {
        state.counters["open_list_ms"] = openMs;
        state.counters["words_offered_after_ms"] = shownMs;
    }
    report(state, longest);
}

// Lines of ordinary words, `length` characters: prose or a log as a person copies it.
QString ordinaryLines(qsizetype length) {
    static const QStringList words =
        QStringLiteral("the of and to in is that for it as with was on be by this are from at or "
                       "an have not which editor window buffer encoding search replace session "
                       "folder line column value result")
            .split(u' ');
    QRandomGenerator random(7);
    QString text;
    text.reserve(length + 200);
    while (text.size() < length) {
        const int count = 4 + random.bounded(13);
        for (int i = 0; i < count; ++i) {
            if (i > 0)
                text += u' ';
            text += words.at(random.bounded(words.size()));
        }
        text += u'\n';
    }
    return text;
}

// Where the pasted text comes from: set on the clipboard as plain text, or copied with Ctrl+A,
// Ctrl+C from another tab, as a person copies it (the clipboard then holds the editor's copy).
enum class PasteSource { Synthetic, Copied };

// 4.9 MB of ordinary lines pasted with Ctrl+V at the end of a small file, then one key pressed
// 0.3 s later, as a person goes on typing. `first_key_ms` runs from the key's press (when the
// window's thread was busy, the moment it was due) until the view shows it; the longest stall
// runs from the paste until the key is shown and the window idle.
void keyAfterLargePaste(benchmark::State& state, PasteSource source) {
    constexpr int kKeyAfterMs = 300;
    const QString pasted = ordinaryLines(4'900'000);
    const QString small = QStringLiteral("small file\nsecond line\n");
    double slowestKey = 0, slowestPaste = 0, longest = 0;
    for (auto _ : state) {
        Window window(QStringLiteral("notes.txt"), small, small.size());
        if (source == PasteSource::Copied) {
            // The text in a tab of its own, shown, then all of it copied there.
            const EditorTab copied = fileTab(window.dir, QStringLiteral("copied.txt"), pasted, 0);
            const QUuid notes = window.model().state().activeTabID;
            window.model().update([&](EditorWindowState& s) {
                s.tabs.append(copied);
                s.activeTabID = copied.id;
            });
            settleFor(300);
            ShortcutTextView* from = window.textView();
            for (const Qt::Key key : {Qt::Key_A, Qt::Key_C}) {
                QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
                QKeyEvent release(QEvent::KeyRelease, key, Qt::ControlModifier);
                QApplication::sendEvent(from, &press);
                QApplication::sendEvent(from, &release);
            }
            window.model().setActiveTabID(notes);
        } else {
            QGuiApplication::clipboard()->setText(pasted);
        }
        settleFor(300);
        ShortcutTextView* editor = window.textView();
        const qsizetype expected = small.size() + pasted.size() + 1;
        QElapsedTimer clock;
        double pasteMs = 0, keyMs = -1;
        bool typed = false;
        int counter = 0;
        const Drive d = driveAndSettle(
            [&] {
                clock.start();
                QTimer::singleShot(kKeyAfterMs, Qt::PreciseTimer, editor, [&] {
                    bench::typeOneKey(editor, counter);
                    typed = true;
                });
                QKeyEvent press(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
                QKeyEvent release(QEvent::KeyRelease, Qt::Key_V, Qt::ControlModifier);
                QApplication::sendEvent(editor, &press);
                QApplication::sendEvent(editor, &release);
                pasteMs = clock.nsecsElapsed() / 1e6;
            },
            [&] {
                if (!typed || editor->document()->characterCount() - 1 != expected)
                    return false;
                window.view->refreshNow();
                editor->viewport()->repaint();
                keyMs = clock.nsecsElapsed() / 1e6 - kKeyAfterMs;
                return true;
            },
            60'000);
        if (!d.finished || window.text().size() != expected)
            state.SkipWithError("the paste and the key did not both reach the text");
        slowestKey = std::max(slowestKey, keyMs);
        slowestPaste = std::max(slowestPaste, pasteMs);
        longest = std::max(longest, d.longestStallMs);
        state.SetIterationTime(keyMs / 1e3);
    }
    state.counters["first_key_ms"] = slowestKey;
    state.counters["paste_key_ms"] = slowestPaste;
    report(state, longest);
}

void registerAll() {
    const auto add = [](const std::string& name, std::function<void(benchmark::State&)> run) {
        return benchmark::RegisterBenchmark(name.c_str(), std::move(run))
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime();
    };
    for (int blank : {1000, 2000})
        add("outline/blank_lines_" + std::to_string(blank), [blank](benchmark::State& s) {
            outlineAfterBlankLines(s, blank);
        })->Iterations(3);
    add("colour/json_stringified_62k_keystroke", [](benchmark::State& s) {
        stringifiedJsonKeystroke(s, QStringLiteral("data.json"));
    })->Iterations(10);
    add("colour/plain_stringified_62k_keystroke", [](benchmark::State& s) {
        stringifiedJsonKeystroke(s, QStringLiteral("data.txt"));
    })->Iterations(10);
    const std::vector<std::tuple<std::string, QString, QString>> unclosed{
        {"js_escaped_quotes", "app.js", unclosedText("let s = \"", "ab\\\" ")},
        {"c_escaped_quotes", "main.c", unclosedText("char *s = '", "ab\\' ")},
        {"py_escaped_quotes", "tool.py", unclosedText("s = \"\"\"", "ab\\\" ")},
        {"css_comment_openers", "site.css", unclosedText("", "/* a ")},
        {"html_comment_openers", "page.html", unclosedText("", "<!-- a ")},
        {"c_comment_openers", "main.c", unclosedText("", "/* a\n")},
        {"md_link_openers", "notes.md", unclosedText("", "[a ")},
        {"html_doctype_openers", "page.html", unclosedText("", "<!DOCTYPE a ")},
        {"css_long_word", "site.css", unclosedText("", "a")},
        {"txt_long_word", "notes.txt", unclosedText("", "a")},
        {"txt_cjk", "notes.txt", unclosedText("", QStringLiteral("汉字文本，"))},
        {"txt_combining_marks", "notes.txt", unclosedText("", QStringLiteral("e\u0301a\u0308o "))},
        // Two words of 32,000 letters with one place to break between them.
        {"txt_two_long_words", "notes.txt", QString(31'999, u'a') + u' ' + QString(32'000, u'b')},
    };
    for (const auto& [name, fileName, text] : unclosed)
        add("colour/unclosed_" + name + "_64k_keystroke", [fileName, text](benchmark::State& s) {
            unclosedKeystroke(s, fileName, text);
        })->Iterations(5);
    for (const auto& [suffix, session] :
         {std::pair{"", Session::Saved}, std::pair{"_no_session", Session::NotSaved}}) {
        const Session saving = session;
        for (int presses : {50, 1000}) {
            add("undo/move_line_down_5M_x" + std::to_string(presses) + suffix,
                [presses, saving](benchmark::State& s) {
                    moveLineDownRepeatedly(s, presses, saving);
                })
                ->Iterations(1);
            add("undo/move_line_down_5M_distinct_lines_x" + std::to_string(presses) + suffix,
                [presses, saving](benchmark::State& s) {
                    moveLineDownRepeatedly(s, presses, saving, true);
                })
                ->Iterations(1);
        }
        add(std::string("tools/move_line_down_2M") + suffix, [saving](benchmark::State& s) {
            lineToolOn2M(s, &EditorCommands::moveLineDown, saving);
        })->Iterations(20);
        add(std::string("tools/duplicate_line_2M") + suffix, [saving](benchmark::State& s) {
            lineToolOn2M(s, &EditorCommands::duplicateLine, saving);
        })->Iterations(20);
    }
    for (qsizetype matches : {17'000, 84'303})
        add("find/select_all_replace_all_" + std::to_string(matches), [matches](
                                                                          benchmark::State& s) {
            selectAllThenReplaceAll(s, matches);
        })->Iterations(1);
    add("find/select_all_replace_all_33k_clone_shown", [](benchmark::State& s) {
        selectAllThenReplaceAll(s, 33'000, true);
    })->Iterations(1);
    add("tools/uppercase_whole_4_2M", uppercaseWholeText)->Iterations(2);
    add("paste/lines_4_9M_key_after_300ms", [](benchmark::State& s) {
        keyAfterLargePaste(s, PasteSource::Synthetic);
    })->Iterations(3);
    add("paste/copied_lines_4_9M_key_after_300ms", [](benchmark::State& s) {
        keyAfterLargePaste(s, PasteSource::Copied);
    })->Iterations(3);
    add("find/typing_runaway_query_center_shown", [](benchmark::State& s) {
        typingWithSearchCenter(s, runawayLines(), QStringLiteral("(a+)+$"), true,
                               SearchCenterScope::CurrentDocument);
    })->Iterations(3);
    add("find/find_next_runaway", [](benchmark::State& s) {
        runawayCommand(s, [](FindReplace f) { f.findInActiveTab(FindReplace::Direction::Next); });
    })->Iterations(3);
    add("find/replace_runaway", [](benchmark::State& s) {
        runawayCommand(s, [](FindReplace f) { f.replaceCurrentFindMatch(); });
    })->Iterations(3);
    add("find/replace_all_runaway", [](benchmark::State& s) {
        runawayCommand(s, [](FindReplace f) { f.replaceAllFindMatches(); });
    })->Iterations(3);
    add("find/in_all_tabs_runaway", [](benchmark::State& s) {
        runawayCommand(s, [](FindReplace f) { f.findInOpenDocuments(); });
    })->Iterations(3);
    add("find/typing_142k_matches_center_current", [](benchmark::State& s) {
        typingWithSearchCenter(s, denseWords(), QStringLiteral("word"), false,
                               SearchCenterScope::CurrentDocument);
    })->Iterations(5);
    add("find/typing_142k_matches_center_open_documents", [](benchmark::State& s) {
        typingWithSearchCenter(s, denseWords(), QStringLiteral("word"), false,
                               SearchCenterScope::OpenDocuments);
    })->Iterations(5);
    add("find/filter_142k_center_open_documents", filteringSearchCenter)->Iterations(10);
    add("open/single_line_4_9M", [](benchmark::State& s) {
        openOneFile(s, [](FileMaker& f) {
            return f.write(QStringLiteral("line.json"), minifiedJson(4'900'000));
        });
    })->Iterations(2);
    add("open/single_line_4_9M_beside_a_tab", [](benchmark::State& s) {
        openOneFile(
            s,
            [](FileMaker& f) {
                return f.write(QStringLiteral("line.json"), minifiedJson(4'900'000));
            },
            OpenInto::BesideATab);
    })->Iterations(2);
    add("open/preview_6M", [](benchmark::State& s) {
        openOneFile(s, [](FileMaker& f) {
            QByteArray bytes;
            while (bytes.size() < 6'000'000)
                bytes += "a line of a large log file, seventy characters or so, to preview\n";
            return f.write(QStringLiteral("big.log"), bytes);
        });
    })->Iterations(2);
    add("open/sparse_1G", [](benchmark::State& s) {
        openOneFile(s, [](FileMaker& f) {
            return f.sparse(QStringLiteral("sparse.bin"), qint64(1) << 30);
        });
    })->Iterations(2);
    const std::vector<std::pair<std::string, TabStep>> tabSteps{
        {"switch", TabStep::Switch},
        {"type_in_clean_tab", TabStep::TypeInCleanTab},
        {"close_active", TabStep::CloseActive},
        {"close_other", TabStep::CloseOther},
        {"open_file", TabStep::OpenFile},
        {"new_tab", TabStep::NewTab},
        {"resize", TabStep::Resize},
    };
    for (const auto& [suffix, session] :
         {std::pair{"", Session::Saved}, std::pair{"_no_session", Session::NotSaved}})
        for (const auto& [name, step] : tabSteps)
            add("tabs/3000_" + name + suffix, [step, session](benchmark::State& s) {
                stepWithManyTabs(s, 3000, step, session);
            })->Iterations(5);
    for (const auto& [name, step] : tabSteps)
        add("tabs/3000_split_shown_" + name, [step](benchmark::State& s) {
            stepWithManyTabs(s, 3000, step, Session::NotSaved, true);
        })->Iterations(5);
    add("tabs/switch_with_single_line_4_9M", switchWithALongLine)->Iterations(3);
    // Opening the file the reload scenarios read again: what showing its text costs at all.
    add("open/lines_4_9M", [](benchmark::State& s) {
        openOneFile(s, [](FileMaker& f) {
            return f.write(QStringLiteral("big.log"), logBytes(4'900'000, 'A'));
        });
    })->Iterations(2);
    add("reload/reload_4_9M", [](benchmark::State& s) { reloadFile(s, false); })->Iterations(4);
    add("reload/reopen_with_encoding_4_9M", [](benchmark::State& s) {
        reloadFile(s, true);
    })->Iterations(4);
    add("restore/session_3_files_4_9M", [](benchmark::State& s) {
        restoreSession(s, 3);
    })->Iterations(2);
    add("panels/markdown_preview_table_4_2M", markdownPreviewShownThenHidden)->Iterations(1);
    const std::vector<std::tuple<std::string, int, SaveBy, int>> saves{
        {"5M_while_typing", 0, SaveBy::Writer, 5},
        {"5M_while_typing_on_window_thread", 0, SaveBy::WindowThread, 5},
        {"5M_while_typing_2s_sync", 2000, SaveBy::Writer, 2},
        {"5M_while_typing_2s_sync_on_window_thread", 2000, SaveBy::WindowThread, 1},
        {"5M_typing_2s_without_saving", 2000, SaveBy::NoSave, 2},
    };
    for (const auto& [name, syncDelayMs, by, iterations] : saves)
        add("save/" + name, [syncDelayMs = syncDelayMs, by = by](benchmark::State& s) {
            saveWhileTyping(s, syncDelayMs, by);
        })->Iterations(iterations);
    for (int intervalMs : {30, 150}) {
        const std::string every = "_every_" + std::to_string(intervalMs) + "ms";
        add("completion/typing_5M_list_shown" + every, [intervalMs](benchmark::State& s) {
            typingWithCompletionList(s, true, intervalMs);
        })->Iterations(3);
        add("completion/typing_5M_without_list" + every, [intervalMs](benchmark::State& s) {
            typingWithCompletionList(s, false, intervalMs);
        })->Iterations(3);
    }
    add("completion/typing_5M_distinct_words_list_shown_every_30ms", [](benchmark::State& s) {
        typingWithCompletionList(s, true, 30, Vocabulary::Numbered);
    })->Iterations(3);
    add("completion/typing_4_9M_350k_words_one_letter_list_shown_every_30ms",
        [](benchmark::State& s) { typingWithCompletionList(s, true, 30, Vocabulary::Random); })
        ->Iterations(3);
    add("completion/typing_4_9M_350k_words_one_letter_list_shown_with_pauses",
        [](benchmark::State& s) {
            typingWithCompletionList(s, true, 30, Vocabulary::Random, {250, 700, 1500, 3000});
        })
        ->Iterations(3);
    add("completion/typing_4_9M_350k_words_one_letter_without_list_every_30ms",
        [](benchmark::State& s) { typingWithCompletionList(s, false, 30, Vocabulary::Random); })
        ->Iterations(3);
    for (int count : {250, 1000}) {
        add("open/many_files_" + std::to_string(count), [count](benchmark::State& s) {
            openManyFiles(s, count, false);
        })->Iterations(1);
        add("open/session_file_" + std::to_string(count), [count](benchmark::State& s) {
            openManyFiles(s, count, true);
        })->Iterations(1);
    }
}

} // namespace

int main(int argc, char** argv) {
    return bench::runWindowBenchmarks(argc, argv, [] {
        registerAll();
        return bench::RatioPairs{};
    });
}
