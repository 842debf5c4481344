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
#include "platform/Defaults.h"
#include "search/FindSeams.h"
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
                            EditorWindowModel::Options{true, {QStringLiteral("bench")}});
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

int main(int argc, char** argv) {
    return bench::runWindowBenchmarks(argc, argv, [] {
        return bench::RatioPairs{
            {"BM_WindowKeystroke_2M_Ascii", "BM_EditorKeystroke_2M_Ascii"},
            {"BM_WindowKeystroke_2M_Cjk", "BM_EditorKeystroke_2M_Cjk"},
        };
    });
}
