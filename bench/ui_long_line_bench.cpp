// Opening and typing into documents that are one long line (minified JSON of 200,000 and
// 2,000,000 characters), wrapped and unwrapped. Each keystroke is one frame: the key, the
// bindings, and a repaint of the text and the ruler. The peer is Qt's own QPlainTextEdit with the
// same text and font and nothing of ours; Qt's paragraph layout of the whole line, which follows
// every edit, is the floor under both.
#include "KeyTyping.h"
#include "editor/CodeEditorView.h"
#include "editor/LineNumberRulerView.h"
#include "editor/ShortcutTextView.h"
#include "editor/TextStorageRegistry.h"

#include "support/BenchWindow.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QTextLayout>
#include <QUndoStack>
#include <benchmark/benchmark.h>
#include <memory>

using namespace dunmoss;

namespace {

// Minified JSON records, one line, exactly `length` characters.
QString makeMinifiedJson(qsizetype length) {
    QString text;
    text.reserve(length + 200);
    text += u'[';
    for (int i = 0; text.size() < length; ++i)
        text += QStringLiteral("{\"id\":%1,\"name\":\"item-%1\",\"tags\":[\"alpha\",\"beta\"],"
                               "\"price\":%2.5,\"active\":%3,\"meta\":{\"score\":%4}},")
                    .arg(i)
                    .arg(i % 997)
                    .arg(i % 2 ? QStringLiteral("true") : QStringLiteral("false"))
                    .arg(i * 7919 % 100000);
    text.truncate(length - 1);
    text += u']';
    return text;
}

const QString& document(qsizetype length) {
    static std::map<qsizetype, QString> made;
    auto it = made.find(length);
    if (it == made.end())
        it = made.emplace(length, makeMinifiedJson(length)).first;
    return it->second;
}

// One pane bound to a tab as the window holds it.
struct OurEditor {
    QUuid id = QUuid::createUuid();
    QString text;
    TextRange range;
    QUndoStack undo;
    TextStorageRegistry registry;
    std::unique_ptr<CodeEditorView> view;

    OurEditor(qsizetype length, bool wrap) : text(document(length)), range{length / 2, 0} {
        CodeEditorProps p;
        p.text = {[this] { return text; }, [this](const QString& v) { text = v; }};
        p.selectedRange = {[this] { return range; }, [this](const TextRange& v) { range = v; }};
        p.selectedRanges = {[this] { return QList<TextRange>{range}; },
                            [this](const QList<TextRange>& v) { range = v.value(0); }};
        p.documentID = id;
        p.documentUndoManager = &undo;
        p.textStorageRegistry = &registry;
        p.wordWrap = wrap;
        view = std::make_unique<CodeEditorView>(p);
        view->resize(1000, 700);
        view->show();
        view->textView()->setFocus();
        frame();
    }
    QWidget* target() const { return view->textView(); }
    void frame() const {
        QApplication::processEvents();
        view->textView()->viewport()->repaint();
        view->ruler()->repaint();
    }
};

// Qt's plain-text edit alone, with the same font and wrapping.
struct QtEditor {
    std::unique_ptr<QPlainTextEdit> view = std::make_unique<QPlainTextEdit>();

    QtEditor(qsizetype length, bool wrap) {
        QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPixelSize(14);
        view->setFont(font);
        view->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
        view->setPlainText(document(length));
        QTextCursor cursor = view->textCursor();
        cursor.setPosition(int(length / 2));
        view->setTextCursor(cursor);
        view->resize(1000, 700);
        view->show();
        view->setFocus();
        frame();
    }
    QWidget* target() const { return view.get(); }
    void frame() const {
        QApplication::processEvents();
        view->viewport()->repaint();
    }
};

template <typename Editor> void open(benchmark::State& state, qsizetype length, bool wrap) {
    for (auto _ : state) {
        Editor editor(length, wrap);
        state.PauseTiming();
        editor.view.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}

template <typename Editor> void type(benchmark::State& state, qsizetype length, bool wrap) {
    Editor editor(length, wrap);
    int counter = 0;
    for (auto _ : state) {
        dunmoss::bench::typeOneKey(editor.target(), counter);
        editor.frame();
    }
}

// Qt's paragraph layout of the line alone, as after every edit: the floor under a keystroke.
void paragraphLayout(benchmark::State& state, qsizetype length, bool wrap) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(14);
    QTextLayout layout(document(length), font);
    for (auto _ : state) {
        layout.beginLayout();
        while (true) {
            QTextLine line = layout.createLine();
            if (!line.isValid())
                break;
            line.setLineWidth(wrap ? 900 : qreal(INT_MAX));
        }
        layout.endLayout();
    }
}

std::vector<std::pair<std::string, std::string>> registerAll() {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const qsizetype length : {200'000, 2'000'000}) {
        const std::string size = length == 200'000 ? "200k" : "2M";
        const int iterations = length == 200'000 ? 20 : 6;
        for (const bool wrap : {true, false}) {
            const std::string mode = wrap ? "wrapped" : "unwrapped";
            const auto add = [&](const std::string& name, auto run) {
                benchmark::RegisterBenchmark(name.c_str(), run)
                    ->Unit(benchmark::kMillisecond)
                    ->Iterations(iterations);
            };
            const std::string suffix = "/iterations:" + std::to_string(iterations);
            const std::string typeOurs = "type/" + size + "/" + mode + "/ours";
            const std::string typeQt = "type/" + size + "/" + mode + "/qt_plain_text_edit";
            const std::string layoutQt = "type/" + size + "/" + mode + "/qt_paragraph_layout";
            add(typeOurs, [=](benchmark::State& s) { type<OurEditor>(s, length, wrap); });
            add(typeQt, [=](benchmark::State& s) { type<QtEditor>(s, length, wrap); });
            add(layoutQt, [=](benchmark::State& s) { paragraphLayout(s, length, wrap); });
            pairs.emplace_back(typeOurs + suffix, typeQt + suffix);
            pairs.emplace_back(typeOurs + suffix, layoutQt + suffix);
            const std::string openOurs = "open/" + size + "/" + mode + "/ours";
            const std::string openQt = "open/" + size + "/" + mode + "/qt_plain_text_edit";
            add(openOurs, [=](benchmark::State& s) { open<OurEditor>(s, length, wrap); });
            add(openQt, [=](benchmark::State& s) { open<QtEditor>(s, length, wrap); });
            pairs.emplace_back(openOurs + suffix, openQt + suffix);
        }
    }
    return pairs;
}

} // namespace

int main(int argc, char** argv) {
    return bench::runWindowBenchmarks(argc, argv, registerAll);
}
