// The side panels on large documents: the compare panel on two 2,000-line tabs, the outline of a
// 1,000,000-character tab, and the Markdown preview of a 1,000,000-character tab, first shown
// and then following one typed character. A keystroke itself only restarts the preview's wait
// (measured as "Keystroke"); "AfterPause" is the work done once typing pauses.
#include "platform/Defaults.h"
#include "text/DocumentOutline.h"
#include "tools/ComparePanel.h"
#include "tools/DocumentOutlinePanel.h"
#include "tools/MarkdownBlocks.h"
#include "tools/MarkdownPreviewPanel.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include "support/BenchWindow.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

using namespace dunmoss;

namespace {

QString markdownDocument(qsizetype length) {
    const QString unit =
        QStringLiteral("## Section heading\n"
                       "A paragraph of ordinary prose that runs on for a while, as notes do.\n"
                       "- a bullet item\n"
                       "* another bullet item\n"
                       "```\n"
                       "int main() { return 0; }\n"
                       "```\n\n");
    QString text;
    text.reserve(length + unit.size());
    while (text.size() + unit.size() <= length)
        text += unit;
    return text;
}

QString numberedLines(int count, int changeEvery) {
    QString text;
    for (int i = 0; i < count; ++i)
        text += (changeEvery && i % changeEvery == 0 ? QStringLiteral("changed line %1\n")
                                                     : QStringLiteral("line number %1\n"))
                    .arg(i);
    return text;
}

struct Window {
    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;
    std::unique_ptr<EditorWindowModel> model;

    explicit Window(const QList<std::pair<QString, QString>>& tabs) {
        defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("settings.ini")));
        model = std::make_unique<EditorWindowModel>(*defaults);
        QList<EditorTab> list;
        for (const auto& [name, text] : tabs) {
            EditorTab tab = untitledTab();
            tab.fileURL = QUrl::fromLocalFile(dir.filePath(name));
            tab.document.text = text;
            tab.savedSnapshot = text;
            list.append(tab);
        }
        model->update([&](EditorWindowState& s) {
            s.tabs = list;
            s.activeTabID = list.first().id;
            s.split.showCompareView = true;
            s.panels.showDocumentOutline = true;
            s.panels.showMarkdownPreview = true;
        });
    }
    QUuid active() const { return activeTab(model->state()).id; }
};

void BM_Compare_2000Lines_EveryTenthChanged(benchmark::State& state) {
    Window window({{"a.txt", numberedLines(2000, 0)}, {"b.txt", numberedLines(2000, 10)}});
    ComparePanel panel(*window.model);
    int typed = 0;
    for (auto _ : state) {
        // One character typed on the left: the diff runs again and the rows are replaced.
        QString text = activeTab(window.model->state()).document.text;
        text.insert(0, QChar(u'a' + (typed++ % 26)));
        window.model->setTabText(window.active(), text);
        panel.refresh();
    }
}
BENCHMARK(BM_Compare_2000Lines_EveryTenthChanged)->Unit(benchmark::kMillisecond);

void BM_Compare_1MOverTheLimit(benchmark::State& state) {
    Window window({{"a.md", markdownDocument(1'000'000)}, {"b.txt", numberedLines(2000, 10)}});
    ComparePanel panel(*window.model);
    int typed = 0;
    for (auto _ : state) {
        // Typing in a long text with the panel shown: only the lines are counted.
        QString text = activeTab(window.model->state()).document.text;
        text.insert(500'000, QChar(u'a' + (typed++ % 26)));
        window.model->setTabText(window.active(), text);
        panel.refresh();
    }
}
BENCHMARK(BM_Compare_1MOverTheLimit)->Unit(benchmark::kMillisecond);

void BM_Outline_1M_Markdown(benchmark::State& state) {
    const QString text = markdownDocument(1'000'000);
    for (auto _ : state)
        benchmark::DoNotOptimize(extractOutline(text, EditorLanguage::Markdown));
}
BENCHMARK(BM_Outline_1M_Markdown)->Unit(benchmark::kMillisecond);

void BM_Outline_1M_Swift(benchmark::State& state) {
    QString text;
    const QString unit =
        QStringLiteral("struct Item {\n    let name: String\n    func render() -> String {\n"
                       "        return name.uppercased()\n    }\n}\n\n");
    while (text.size() + unit.size() <= 1'000'000)
        text += unit;
    for (auto _ : state)
        benchmark::DoNotOptimize(extractOutline(text, EditorLanguage::Swift));
}
BENCHMARK(BM_Outline_1M_Swift)->Unit(benchmark::kMillisecond);

void BM_OutlinePanel_1M_AfterPause(benchmark::State& state) {
    Window window({{"a.md", markdownDocument(1'000'000)}});
    DocumentOutlinePanel panel(*window.model);
    int typed = 0;
    for (auto _ : state) {
        // Typed and deleted in turn, so the text stays within the outline's limit.
        QString text = activeTab(window.model->state()).document.text;
        if (typed++ % 2)
            text.remove(500'000, 1);
        else
            text.insert(500'000, QLatin1Char('a'));
        window.model->setTabText(window.active(), text);
        panel.refresh();
    }
}
BENCHMARK(BM_OutlinePanel_1M_AfterPause)->Unit(benchmark::kMillisecond);

void BM_MarkdownParse_1M(benchmark::State& state) {
    const QString text = markdownDocument(1'000'000);
    for (auto _ : state)
        benchmark::DoNotOptimize(parseMarkdownBlocks(text));
}
BENCHMARK(BM_MarkdownParse_1M)->Unit(benchmark::kMillisecond);

void BM_MarkdownPreview_1M_FirstShow(benchmark::State& state) {
    Window window({{"a.md", markdownDocument(1'000'000)}});
    for (auto _ : state) {
        MarkdownPreviewPanel panel(*window.model);
        panel.resize(MarkdownPreviewPanel::kWidth, 700);
        panel.show();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_MarkdownPreview_1M_FirstShow)->Unit(benchmark::kMillisecond);

void BM_MarkdownPreview_1M_Keystroke(benchmark::State& state) {
    Window window({{"a.md", markdownDocument(1'000'000)}});
    MarkdownPreviewPanel panel(*window.model);
    panel.resize(MarkdownPreviewPanel::kWidth, 700);
    panel.show();
    QApplication::processEvents();
    QString text = activeTab(window.model->state()).document.text;
    int typed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        text.insert(500'000, QChar(u'a' + (typed++ % 26)));
        state.ResumeTiming();
        window.model->setTabText(window.active(), text);
    }
}
BENCHMARK(BM_MarkdownPreview_1M_Keystroke)->Unit(benchmark::kMicrosecond);

void BM_MarkdownPreview_1M_AfterPause(benchmark::State& state) {
    Window window({{"a.md", markdownDocument(1'000'000)}});
    MarkdownPreviewPanel panel(*window.model);
    panel.resize(MarkdownPreviewPanel::kWidth, 700);
    panel.show();
    QApplication::processEvents();
    int typed = 0;
    for (auto _ : state) {
        QString text = activeTab(window.model->state()).document.text;
        // In the middle of a paragraph, as typing would.
        text.insert(500'000 - 500'000 % 180 + 40, QChar(u'a' + (typed++ % 26)));
        window.model->setTabText(window.active(), text);
        panel.refresh();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_MarkdownPreview_1M_AfterPause)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return bench::runWindowBenchmarks(argc, argv, [] { return bench::RatioPairs{}; });
}
