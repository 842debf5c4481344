// One keystroke through the whole editor window: the key event in the code-editing view, the
// binding write into the window model, and the window's refresh (tab strip, status bar with its
// statistics, editor area and pane). The editor-only case (the same view bound to the same model,
// without the window around it) is the baseline; the ratio shows what the window adds.
#include "KeyTyping.h"
#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "chrome/EditorWindowView.h"
#include "chrome/WindowLayout.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "platform/AtomicFileWrite.h"
#include "platform/Defaults.h"
#include "platform/FileStat.h"
#include "search/FindSeams.h"
#include "session/AutosaveBatch.h"
#include "session/SessionWriter.h"
#include "session/WindowSession.h"
#include "window/EditorWindowModel.h"
#include "window/StatusBarItems.h"
#include "window/WindowCommandTable.h"
#include "window/WindowDerivedValues.h"

#include "support/BenchWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <ctime>
#include <memory>

using namespace dunmoss;

namespace {

constexpr qsizetype kDocumentLength = 2'000'000;

// Lines of about 70 characters; `unit` is repeated to fill each line.
QString makeDocument(const QString& unit) {
    QString text;
    text.reserve(kDocumentLength + 100);
    QString line;
    while (line.size() < 69)
        line += unit;
    line += QLatin1Char('\n');
    while (text.size() + line.size() <= kDocumentLength)
        text += line;
    while (text.size() < kDocumentLength)
        text += QLatin1Char('x');
    return text;
}

const QString kAscii = QStringLiteral("request served in 12 ms path=/api/items ");
const QString kCjk = QStringLiteral("编辑器中的文字排版与光标移动测试");
// Under the cluster-count limit, with combining marks and emoji so the counting is real work.
const QString kMixed =
    QStringLiteral("cafe\u0301 na\u00efve ") + QString::fromUtf16(u"\U0001F600 ");

// A saved document in the folder with the caret in the middle of its text.
EditorTab tabWith(const QTemporaryDir& dir, const QString& text) {
    EditorTab tab = untitledTab();
    tab.fileURL = QUrl::fromLocalFile(dir.filePath(QStringLiteral("doc.txt")));
    tab.document.text = text;
    tab.savedSnapshot = text;
    tab.selectedRange = {text.size() / 2, 0};
    tab.selectedRanges = {tab.selectedRange};
    return tab;
}

struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;

    Fixture() { defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("s.ini"))); }
};

using dunmoss::bench::typeOneKey;

void windowKeystroke(benchmark::State& state, const QString& unit) {
    const QString text = makeDocument(unit);
    const bench::BenchWindow window([&](EditorWindowState& s, const QTemporaryDir& dir) {
        const EditorTab tab = tabWith(dir, text);
        s.tabs = {tab};
        s.activeTabID = tab.id;
        s.panels.showWelcome = false;
    });
    ShortcutTextView* view =
        window.view->windowLayout().editorArea()->primaryPane()->editorView()->textView();
    view->setFocus();
    int counter = 0;
    for (auto _ : state) {
        typeOneKey(view, counter);
        // The refresh the window coalesces to one per turn of the event loop.
        window.view->refreshNow();
    }
    state.counters["length"] = double(activeTab(window.model().state()).document.text.size());
}

void editorOnlyKeystroke(benchmark::State& state, const QString& unit) {
    Fixture fixture;
    EditorWindowModel model(*fixture.defaults,
                            EditorWindowModel::Options{true, {QStringLiteral("bench")}, {}});
    installFindSeams(model);
    WindowSession::attach(model);
    const EditorTab tab = tabWith(fixture.dir, makeDocument(unit));
    model.update([&](EditorWindowState& s) {
        s.tabs = {tab};
        s.activeTabID = tab.id;
    });
    EditorPane pane(model);
    pane.resize(1000, 640);
    pane.showTab(0, {});
    pane.show();
    QApplication::processEvents();
    ShortcutTextView* view = pane.editorView()->textView();
    view->setFocus();
    int counter = 0;
    for (auto _ : state)
        typeOneKey(view, counter);
}

// The status bar's values and texts for a text that changes by one character per iteration,
// as typing changes it (two versions alternate, so no iteration sees the text of the one before).
void statusBarForText(benchmark::State& state, const QString& text, qsizetype caret) {
    EditorWindowState windowState;
    Fixture fixture;
    EditorTab tab = tabWith(fixture.dir, text);
    tab.selectedRange = {caret, 0};
    EditorTab typed = tab;
    typed.document.text.insert(caret, QLatin1Char('a'));
    bool odd = false;
    for (auto _ : state) {
        windowState.tabs = {(odd = !odd) ? typed : tab};
        const StatusBarValues values = statusBarValues(windowState);
        benchmark::DoNotOptimize(statusBarTexts(values));
    }
}

void statusBarOnly(benchmark::State& state, const QString& unit, qsizetype length) {
    const QString text = makeDocument(unit).left(length);
    statusBarForText(state, text, text.size() / 2);
}

// Four saved tabs of 5,000,000 characters each (CJK lines), the window's session restored so it
// may be written; the first tab is the active one.
void fillFourLargeTabs(EditorWindowState& s, const QTemporaryDir& dir) {
    QString text;
    text.reserve(5'000'100);
    const QString line = QStringLiteral("2024-05-01T12:00:00Z INFO 请求已处理 served in 12 ms\n");
    while (text.size() < 5'000'000)
        text += line;
    s.tabs.clear();
    for (int i = 0; i < 4; ++i) {
        EditorTab tab = tabWith(dir, text);
        tab.fileURL = QUrl::fromLocalFile(dir.filePath(QStringLiteral("doc%1.txt").arg(i)));
        s.tabs.append(tab);
    }
    s.activeTabID = s.tabs.first().id;
    s.panels.showWelcome = false;
    s.decisions.didRestoreSession = true;
}

// The main thread's share of a full session save (both copies) with four 5 MB tabs, one of them
// changed each time so the writer really writes; the writer's own work is waited for untimed.
void BM_SessionSave_4x5M(benchmark::State& state) {
    const bench::BenchWindow window(fillFourLargeTabs);
    EditorWindowModel& model = window.model();
    const QUuid edited = model.state().tabs.at(1).id;
    const QString base = model.state().tabs.at(1).document.text;
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        model.setTabText(edited, base + QString::number(++round));
        state.ResumeTiming();
        model.persistSession();
        state.PauseTiming();
        SessionWriter::shared().waitUntilIdle();
        state.ResumeTiming();
    }
}

// The same save done the way it was before the writer: record built, encoded and written on the
// main thread.
void BM_SessionSave_4x5M_OnTheMainThread(benchmark::State& state) {
    const bench::BenchWindow window(fillFourLargeTabs);
    EditorWindowModel& model = window.model();
    const QString record = window.dir.filePath(QStringLiteral("session.json"));
    const QString snapshot = window.dir.filePath(QStringLiteral("recovery.json"));
    for (auto _ : state) {
        const EditorWindowState& s = model.state();
        const RestoredSession session = makeSessionRecord(s.tabs, s.activeTabID, 14);
        writeBytesAtomically(encodeSessionRecord(session, SessionRecordFormat::Compact), record);
        writeBytesAtomically(encodeSessionRecord(session, SessionRecordFormat::PrettySorted),
                             snapshot);
    }
}

// The writer's own work for one copy of that session: encoded whole, or written in pieces.
void BM_SessionRecordEncodedWhole_4x5M(benchmark::State& state) {
    const bench::BenchWindow window(fillFourLargeTabs);
    const EditorWindowState& s = window.model().state();
    const RestoredSession session = makeSessionRecord(s.tabs, s.activeTabID, 14);
    const QString path = window.dir.filePath(QStringLiteral("whole.json"));
    for (auto _ : state)
        writeBytesAtomically(encodeSessionRecord(session, SessionRecordFormat::PrettySorted), path);
}

void BM_SessionRecordWrittenInPieces_4x5M(benchmark::State& state) {
    const bench::BenchWindow window(fillFourLargeTabs);
    const EditorWindowState& s = window.model().state();
    const RestoredSession session = makeSessionRecord(s.tabs, s.activeTabID, 14);
    const QString path = window.dir.filePath(QStringLiteral("pieces.json"));
    for (auto _ : state)
        writeAtomically(path, [&session](QIODevice& device) {
            return writeSessionRecord(session, SessionRecordFormat::PrettySorted, device);
        });
}

// One saved tab of 5,000,000 characters of ordinary lines, typed into.
void fillOneTypedTab(EditorWindowState& s, const QTemporaryDir& dir) {
    QString text;
    text.reserve(5'000'100);
    const QString line = QStringLiteral("the editor window buffer encoding search replace %1\n");
    for (int i = 0; text.size() < 5'000'000; ++i)
        text += line.arg(i);
    EditorTab tab = tabWith(dir, text);
    s.tabs = {tab};
    s.activeTabID = tab.id;
    s.panels.showWelcome = false;
    s.decisions.didRestoreSession = true;
}

double processCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// The recovery snapshot taken while someone types: one key more each time, the snapshot handed
// to the writer and waited for (escaping and writing the file included).
void snapshotWhileTyping(benchmark::State& state, bool wholeWrite) {
    const bench::BenchWindow window(fillOneTypedTab);
    EditorWindowModel& model = window.model();
    const QUuid id = model.state().tabs.first().id;
    const QString path = window.dir.filePath(QStringLiteral("whole.json"));
    qsizetype caret = model.state().tabs.first().document.text.size() / 2;
    double cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QString typed = model.state().tabs.first().document.text;
        typed.insert(caret++, QLatin1Char('k'));
        model.setTabText(id, typed);
        typed = QString();
        WindowSession::of(model).persistence().cancelRecoverySnapshot();
        state.ResumeTiming();
        const double cpuBefore = processCpuMs();
        const EditorWindowState& s = model.state();
        const RestoredSession record = makeSessionRecord(s.tabs, s.activeTabID, 14);
        if (wholeWrite) {
            writeAtomically(path, [&record](QIODevice& device) {
                return writeSessionRecord(record, SessionRecordFormat::PrettySorted, device);
            });
        } else {
            WindowSession::of(model).store().writeRecoverySnapshot(record);
            SessionWriter::shared().waitUntilIdle();
        }
        cpu += processCpuMs() - cpuBefore;
    }
    // The CPU time of every thread, the writer's included, per snapshot.
    state.counters["process_cpu_ms"] = cpu / double(state.iterations());
}

void BM_SnapshotWhileTyping_5M(benchmark::State& state) {
    snapshotWhileTyping(state, false);
}
void BM_SnapshotWhileTyping_5M_WholeWrite(benchmark::State& state) {
    snapshotWhileTyping(state, true);
}

// The maintenance tick with a 5 MB tab to autosave: the main thread's share (the write itself
// waited for untimed), and the same write done where the tick runs.
void autosaveTick(benchmark::State& state, bool onTheMainThread) {
    const bench::BenchWindow window(fillOneTypedTab);
    EditorWindowModel& model = window.model();
    const QUuid id = model.state().tabs.first().id;
    const QString base = model.state().tabs.first().document.text;
    MaintenanceTick& maintenance = WindowSession::of(model).maintenance();
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        model.setTabText(id, base + QString::number(++round));
        const EditorTab& tab = model.state().tabs.first();
        // The file as the last round left it, so each round really writes.
        const std::optional<FileStatus> status = statPath(tab.fileURL->toLocalFile());
        const AutosaveBatch::Job job{tab.id,
                                     *tab.fileURL,
                                     tab.document,
                                     tab.savedSnapshot,
                                     tab.savedEncoding,
                                     tab.savedLineEnding,
                                     status ? std::optional(status->modified) : std::nullopt,
                                     status ? std::optional(status->size) : std::nullopt,
                                     status ? std::optional(status->identity) : std::nullopt,
                                     status ? std::optional(status->changed) : std::nullopt};
        state.ResumeTiming();
        if (onTheMainThread) {
            if (AutosaveBatch::write(job).result != AutosaveBatch::Result::Saved)
                state.SkipWithError("not written");
        } else {
            maintenance.maintenanceTick();
            state.PauseTiming();
            maintenance.waitForAutosaves();
            SessionWriter::shared().waitUntilIdle();
            state.ResumeTiming();
        }
    }
}

void BM_AutosaveTick_5M(benchmark::State& state) {
    autosaveTick(state, false);
}
void BM_AutosaveTick_5M_WrittenOnTheMainThread(benchmark::State& state) {
    autosaveTick(state, true);
}

// A keystroke in the 5 MB active tab while the writer encodes and writes a session of four
// such tabs: the keystroke never waits for it.
void BM_WindowKeystroke_4x5M_SaveUnderWay(benchmark::State& state) {
    const bench::BenchWindow window(fillFourLargeTabs);
    ShortcutTextView* view =
        window.view->windowLayout().editorArea()->primaryPane()->editorView()->textView();
    view->setFocus();
    EditorWindowModel& model = window.model();
    int counter = 0;
    for (auto _ : state) {
        state.PauseTiming();
        SessionWriter::shared().waitUntilIdle();
        model.persistSession();
        state.ResumeTiming();
        typeOneKey(view, counter);
        window.view->refreshNow();
    }
    SessionWriter::shared().waitUntilIdle();
}

void BM_WindowKeystroke_4x5M(benchmark::State& state) {
    const bench::BenchWindow window(fillFourLargeTabs);
    ShortcutTextView* view =
        window.view->windowLayout().editorArea()->primaryPane()->editorView()->textView();
    view->setFocus();
    int counter = 0;
    for (auto _ : state) {
        typeOneKey(view, counter);
        window.view->refreshNow();
    }
    SessionWriter::shared().waitUntilIdle();
}

void BM_WindowKeystroke_2M_Ascii(benchmark::State& s) {
    windowKeystroke(s, kAscii);
}
void BM_EditorKeystroke_2M_Ascii(benchmark::State& s) {
    editorOnlyKeystroke(s, kAscii);
}
void BM_WindowKeystroke_2M_Cjk(benchmark::State& s) {
    windowKeystroke(s, kCjk);
}
void BM_EditorKeystroke_2M_Cjk(benchmark::State& s) {
    editorOnlyKeystroke(s, kCjk);
}
void BM_StatusBar_2M_Ascii(benchmark::State& s) {
    statusBarOnly(s, kAscii, kDocumentLength);
}
void BM_StatusBar_2M_Cjk(benchmark::State& s) {
    statusBarOnly(s, kCjk, kDocumentLength);
}
void BM_StatusBar_2M_Mixed(benchmark::State& s) {
    statusBarOnly(s, kMixed, kDocumentLength);
}
// One line of Indic consonants with the caret near its start: clusters are counted up to the
// caret, and the boundary test at the caret must not hand the whole line to the break iterator.
void BM_StatusBar_2M_ConsonantLine(benchmark::State& s) {
    statusBarForText(s, QString(kDocumentLength, QChar(0x0915)), 5'000);
}
// Under the limit the characters are counted exactly on every keystroke.
void BM_StatusBar_900K_Ascii(benchmark::State& s) {
    statusBarOnly(s, kAscii, 900'000);
}
void BM_StatusBar_900K_Mixed(benchmark::State& s) {
    statusBarOnly(s, kMixed, 900'000);
}

} // namespace

BENCHMARK(BM_WindowKeystroke_2M_Ascii)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EditorKeystroke_2M_Ascii)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WindowKeystroke_2M_Cjk)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EditorKeystroke_2M_Cjk)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StatusBar_2M_Ascii)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StatusBar_2M_Cjk)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StatusBar_2M_Mixed)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StatusBar_2M_ConsonantLine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StatusBar_900K_Ascii)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StatusBar_900K_Mixed)->Unit(benchmark::kMicrosecond);
// Each round waits for a write of some 40 MB: a fixed count keeps the run short.
BENCHMARK(BM_SessionSave_4x5M)->Unit(benchmark::kMicrosecond)->Iterations(20);
BENCHMARK(BM_SessionSave_4x5M_OnTheMainThread)->Unit(benchmark::kMicrosecond)->Iterations(5);
BENCHMARK(BM_SessionRecordEncodedWhole_4x5M)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SessionRecordWrittenInPieces_4x5M)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SnapshotWhileTyping_5M)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_SnapshotWhileTyping_5M_WholeWrite)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_AutosaveTick_5M)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_AutosaveTick_5M_WrittenOnTheMainThread)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_WindowKeystroke_4x5M_SaveUnderWay)->Unit(benchmark::kMicrosecond)->Iterations(40);
BENCHMARK(BM_WindowKeystroke_4x5M)->Unit(benchmark::kMicrosecond)->Iterations(40);

int main(int argc, char** argv) {
    return bench::runWindowBenchmarks(argc, argv, [] {
        return bench::RatioPairs{
            {"BM_WindowKeystroke_2M_Ascii", "BM_EditorKeystroke_2M_Ascii"},
            {"BM_WindowKeystroke_2M_Cjk", "BM_EditorKeystroke_2M_Cjk"},
            {"BM_SessionSave_4x5M", "BM_SessionSave_4x5M_OnTheMainThread"},
            {"BM_WindowKeystroke_4x5M_SaveUnderWay", "BM_WindowKeystroke_4x5M"},
            {"BM_SessionRecordWrittenInPieces_4x5M", "BM_SessionRecordEncodedWhole_4x5M"},
            {"BM_SnapshotWhileTyping_5M", "BM_SnapshotWhileTyping_5M_WholeWrite"},
            {"BM_AutosaveTick_5M", "BM_AutosaveTick_5M_WrittenOnTheMainThread"},
        };
    });
}
