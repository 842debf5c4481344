// Find-all and replace-all over a 5,000,000-character text, literal and regular expression,
// against GNU grep and sed reading the same text from a file. Then expressions that backtrack
// over long lines and runs, each over 5,000,000 characters, and one runaway pattern that must
// stop with an error after its bound.
#include "platform/IcuRegex.h"
#include "support/PeerCommand.h"
#include "text/TextSearch.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace dunmoss;

namespace {

constexpr qsizetype kTextLength = 5000000;

const QString& corpus() {
    static const QString text = [] {
        const char* words[] = {"alpha", "beta", "gamma", "delta",  "lorem", "ipsum", "dolor",
                               "sit",   "amet", "quick", "brown",  "fox",   "jumps", "over",
                               "lazy",  "dog",  "v1.2",  "x=3.14", "error", "value"};
        QRandomGenerator random(42);
        QString built;
        built.reserve(kTextLength + 100);
        qsizetype lineLength = 0;
        while (built.size() < kTextLength) {
            const char* word = words[random.bounded(int(std::size(words)))];
            built.append(QLatin1String(word));
            lineLength += qsizetype(strlen(word));
            if (lineLength > 70) {
                built.append(u'\n');
                lineLength = 0;
            } else {
                built.append(u' ');
                ++lineLength;
            }
        }
        built.truncate(kTextLength);
        return built;
    }();
    return text;
}

const QString& corpusPath() {
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath(QStringLiteral("corpus.txt"));
        QFile out(file);
        out.open(QIODevice::WriteOnly);
        out.write(corpus().toUtf8());
        return file;
    }();
    return path;
}

// A log: short lines, one in twenty a time-out.
const QString& logText() {
    static const QString text = [] {
        QRandomGenerator random(7);
        QString built;
        built.reserve(kTextLength + 200);
        for (int line = 0; built.size() < kTextLength; ++line) {
            built.append(QStringLiteral("2026-12-07T07:%1:%2Z worker-%3 ")
                             .arg(line / 60 % 60, 2, 10, QLatin1Char('0'))
                             .arg(line % 60, 2, 10, QLatin1Char('0'))
                             .arg(random.bounded(32)));
            if (random.bounded(20) == 0)
                built.append(QStringLiteral("WARN upstream timeout after 3000 ms, retrying\n"));
            else
                built.append(QStringLiteral("INFO request %1 served in %2 ms\n")
                                 .arg(random.bounded(100000))
                                 .arg(random.bounded(400)));
        }
        built.truncate(kTextLength);
        return built;
    }();
    return text;
}

// Prose written a paragraph per line: lines of about 1,500 characters.
const QString& paragraphText() {
    static const QString text = [] {
        QString built = corpus();
        for (qsizetype i = 0; i < built.size(); ++i) {
            if (built[i] == u'\n')
                built[i] = i % 1500 < 75 ? u'\n' : u' ';
        }
        return built;
    }();
    return text;
}

// The same prose in lines just over the 1,024 units a run that reads far reads whole: about
// 1,100 characters each.
const QString& justOverText() {
    static const QString text = [] {
        QString built = corpus();
        for (qsizetype i = 0; i < built.size(); ++i) {
            if (built[i] == u'\n')
                built[i] = i % 1100 < 75 ? u'\n' : u' ';
        }
        return built;
    }();
    return text;
}

// The corpus with a run of 1,000,000 word characters (an encoded blob) in its middle.
const QString& wordRunText() {
    static const QString text = [] {
        QString built = corpus();
        QString run;
        run.reserve(1000000);
        for (int i = 0; i < 1000000; ++i)
            run.append(
                QChar(char16_t("abcdefghijklmnopqrstuvwxyz0123456789"[(i * 7 + i / 11) % 36])));
        built.replace(kTextLength / 2, run.size(), run);
        return built;
    }();
    return text;
}

// The corpus with a run in its middle: 20,000 letters (minified code, a data dump) or 20,000
// hexadecimal digits (an encoded blob). Ignoring case, "[A-Z]" takes every letter of either.
QString withRun(const char* alphabet) {
    const qsizetype size = qsizetype(strlen(alphabet));
    QString run;
    for (int i = 0; i < 20000; ++i)
        run.append(QChar(char16_t(alphabet[(i * 7 + i / 13) % size])));
    QString built = corpus();
    built.replace(kTextLength / 2, run.size(), run);
    return built;
}

const QString& letterRunText() {
    static const QString text = withRun("abcdefghijklmnopqrstuvwxyz");
    return text;
}

const QString& hexRunText() {
    static const QString text = withRun("0123456789abcdef");
    return text;
}

const QString& digitRunText() {
    static const QString text = withRun("0123456789");
    return text;
}

// A run of "e" and "r", where "err" turns up every few letters.
const QString& erRunText() {
    static const QString text = withRun("er");
    return text;
}

// A line of 30 "a" and a "!" ends the corpus; a nested loop over it is runaway backtracking.
const QString& runawayText() {
    static const QString text = corpus().first(kTextLength - 32) + u'\n' + QString(30, u'a') + u'!';
    return text;
}

QString writeFile(const QString& name, const QString& text) {
    static QTemporaryDir dir;
    const QString file = dir.filePath(name);
    QFile out(file);
    out.open(QIODevice::WriteOnly);
    out.write(text.toUtf8());
    return file;
}

const QString kLiteral = QStringLiteral("lorem");
const QString kRegex = QStringLiteral("[0-9]+\\.[0-9]+");

void findAll(benchmark::State& state, const QString& query, bool isRegex) {
    const QString& text = corpus();
    const TextSearchOptions options{isRegex, true, false};
    qsizetype total = 0;
    for (auto _ : state) {
        const auto found = findAllMatches(query, text, options);
        total = found.totalCount;
        benchmark::DoNotOptimize(found.results.data());
    }
    state.counters["matches"] = double(total);
}

// Find-all of an expression that may stop: the matches, or a count of runs stopped.
void findAllOrStop(benchmark::State& state, const QString& query, const QString& text,
                   bool ignoresCase) {
    const TextSearchOptions options{true, !ignoresCase, false};
    qsizetype total = 0;
    int stopped = 0;
    for (auto _ : state) {
        try {
            total = findAllMatches(query, text, options).totalCount;
        } catch (const RegexError&) {
            ++stopped;
        }
    }
    state.counters["matches"] = double(total);
    state.counters["stopped"] = double(stopped);
}

void replaceAll(benchmark::State& state, const QString& query, bool isRegex) {
    const QString& text = corpus();
    const TextSearchOptions options{isRegex, true, false};
    for (auto _ : state) {
        const auto replaced = replaceAllMatches(query, QStringLiteral("<$0>"), text, options);
        benchmark::DoNotOptimize(replaced.text.constData());
    }
}

struct BacktrackingCase {
    const char* name;
    QString query;
    const QString& (*text)();
    std::string grepPattern;
    // As the find bar searches by default.
    bool ignoresCase = false;
};

const std::vector<BacktrackingCase>& backtrackingCases() {
    static const std::vector<BacktrackingCase> cases = {
        {"dot_star_timeout_log", QStringLiteral(".*timeout"), logText, ".*timeout"},
        {"dot_star_zzz_paragraphs", QStringLiteral(".*zzz"), paragraphText, ".*zzz"},
        {"word_q_prose", QStringLiteral("\\w+q"), corpus, "\\w+q"},
        {"word_at_long_run", QStringLiteral("\\w+@"), wordRunText, "\\w+@"},
        {"three_words_zzz_prose", QStringLiteral("(?:\\w+\\s+){3}zzz"), corpus, "(\\w+\\s+){3}zzz"},
        {"class_ed_letter_run_nocase", QStringLiteral("[A-Z][a-z]+ed\\b"), letterRunText,
         "[A-Z][a-z]+ed\\b", true},
        {"class_word_error_hex_run_nocase", QStringLiteral("[A-Z]\\w+Error"), hexRunText,
         "[A-Z]\\w+Error", true},
        {"string_word_x_er_run_nocase", QStringLiteral("Err\\w+x"), erRunText, "Err\\w+x", true},
        {"inside_word_at_letter_run_nocase", QStringLiteral("\\B\\w+@"), letterRunText, "\\B\\w+@",
         true},
        {"optional_sign_number_digit_run", QStringLiteral("-?[0-9]+\\.[0-9]+"), digitRunText,
         "-?[0-9]+\\.[0-9]+"},
        {"bounded_class_ed_letter_run_nocase", QStringLiteral("[a-z]{2,200}ed\\b"), letterRunText,
         "[a-z]{2,200}ed\\b", true},
        {"runaway_nested_loop", QStringLiteral("(a+)+$"), runawayText, "(a+)+$"},
    };
    return cases;
}

void registerBacktracking() {
    for (const BacktrackingCase& c : backtrackingCases()) {
        const std::string file =
            bench::shellQuoted(writeFile(QString::fromLatin1(c.name), c.text()));
        auto* ours = benchmark::RegisterBenchmark(
            (std::string("ours/") + c.name).c_str(),
            [c](benchmark::State& s) { findAllOrStop(s, c.query, c.text(), c.ignoresCase); });
        ours->Unit(benchmark::kMillisecond);
        if (c.query.startsWith(u'('))
            ours->Iterations(1); // seconds per run, by design
        benchmark::RegisterBenchmark((std::string("peer/grep_") + c.name).c_str(),
                                     [file, c](benchmark::State& s) {
                                         bench::runPeer(s, std::string("LC_ALL=C grep -o -E ") +
                                                               (c.ignoresCase ? "-i '" : "'") +
                                                               c.grepPattern + "' " + file +
                                                               " | wc -l");
                                     })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
}

// Each line of the text ending in " Q", what a look-ahead to the line's end looks for.
QString withLinesEndingInQ(const QString& text) {
    QString built = text;
    built.replace(u'\n', QStringLiteral(" Q\n"));
    return built;
}

// Expressions that read far without a tick of backtracking (a large count, a back-reference, a
// look-ahead to the line's end), over ordinary short lines, which a run reads whole, and over
// long lines, which it reads in pieces, each beside the same expression run over the whole text
// at once without a bound: what the bound's care costs. Both runs go to the end of the text
// (none is stopped) and list the same matches, so only how ICU reads differs.
struct FarReadCase {
    const char* name;
    QString query;
    const QString& (*text)();
};

const QString& xRunText() {
    static const QString text = withRun("x");
    return text;
}

const QString& qLinesText() {
    static const QString text = withLinesEndingInQ(corpus());
    return text;
}

const QString& qParagraphText() {
    static const QString text = withLinesEndingInQ(paragraphText());
    return text;
}

// Lines of 1,100 x's: a large count matches each whole.
const QString& xLinesJustOverText() {
    static const QString text = [] {
        QString line(1100, u'x');
        line.append(u'\n');
        return line.repeated(int(kTextLength / line.size()));
    }();
    return text;
}

const QString& qJustOverText() {
    static const QString text = withLinesEndingInQ(justOverText());
    return text;
}

const std::vector<FarReadCase>& farReadCases() {
    static const std::vector<FarReadCase> cases = {
        {"large_count_lines", QStringLiteral("x{1000,}"), corpus},
        {"large_count_long_lines", QStringLiteral("x{1000,}"), paragraphText},
        {"large_count_x_run", QStringLiteral("x{1000,}"), xRunText},
        {"back_reference_ed_lines", QStringLiteral("(\\w)\\1+ed"), corpus},
        {"back_reference_ed_long_lines", QStringLiteral("(\\w)\\1+ed"), paragraphText},
        {"back_reference_q_lines", QStringLiteral("(ab)\\1Q"), corpus},
        {"back_reference_q_long_lines", QStringLiteral("(ab)\\1Q"), paragraphText},
        {"look_ahead_line_end_lines", QStringLiteral("\\w+(?=.*Q)"), qLinesText},
        {"look_ahead_line_end_long_lines", QStringLiteral("\\w+(?=.*Q)"), qParagraphText},
        // Lines just over what is read whole, where reading in pieces costs the most.
        {"large_count_just_over", QStringLiteral("x{1000,}"), justOverText},
        {"large_count_x_lines_just_over", QStringLiteral("x{1000,}"), xLinesJustOverText},
        {"back_reference_word_just_over", QStringLiteral("(\\w+)\\1"), justOverText},
        {"back_reference_repeat_just_over", QStringLiteral("\\b(\\w+) \\1\\b"), justOverText},
        {"look_ahead_line_end_just_over", QStringLiteral("\\w+(?=.*Q)"), qJustOverText},
    };
    return cases;
}

void registerFarReads() {
    for (const FarReadCase& c : farReadCases()) {
        // The expression as a find builds it, bounded: the same matches, the same list.
        benchmark::RegisterBenchmark((std::string("ours/far_read_") + c.name).c_str(),
                                     [c](benchmark::State& s) {
                                         const IcuRegex bounded = makeSearchRegex(
                                             c.query, TextSearchOptions{true, true, false});
                                         size_t total = 0;
                                         int stopped = 0;
                                         for (auto _ : s) {
                                             try {
                                                 total = bounded.matchRanges(c.text()).size();
                                             } catch (const RegexError&) {
                                                 ++stopped;
                                             }
                                         }
                                         s.counters["matches"] = double(total);
                                         s.counters["stopped"] = double(stopped);
                                     })
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("whole/") + c.name).c_str(),
                                     [c](benchmark::State& s) {
                                         const IcuRegex whole(c.query);
                                         size_t total = 0;
                                         for (auto _ : s)
                                             total = whole.matchRanges(c.text()).size();
                                         s.counters["matches"] = double(total);
                                     })
            ->Unit(benchmark::kMillisecond);
    }
}

void registerAll() {
    const std::string file = bench::shellQuoted(corpusPath());
    benchmark::RegisterBenchmark("ours/find_all_literal", [](benchmark::State& s) {
        findAll(s, kLiteral, false);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("peer/grep_o_literal",
                                 [file](benchmark::State& s) {
                                     bench::runPeer(s, std::string("LC_ALL=C ") +
                                                           "grep -o -F lorem " + file + " | wc -l");
                                 })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("ours/find_all_regex", [](benchmark::State& s) {
        findAll(s, kRegex, true);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("peer/grep_o_regex",
                                 [file](benchmark::State& s) {
                                     bench::runPeer(s, std::string("LC_ALL=C ") +
                                                           "grep -o -E '[0-9]+\\.[0-9]+' " + file +
                                                           " | wc -l");
                                 })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("ours/replace_all_literal", [](benchmark::State& s) {
        replaceAll(s, kLiteral, false);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("peer/sed_literal",
                                 [file](benchmark::State& s) {
                                     bench::runPeer(s, std::string("LC_ALL=C ") +
                                                           "sed 's/lorem/<$0>/g' " + file +
                                                           " | wc -c");
                                 })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("ours/replace_all_regex", [](benchmark::State& s) {
        replaceAll(s, kRegex, true);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(
        "peer/sed_regex",
        [file](benchmark::State& s) {
            bench::runPeer(s, "LC_ALL=C sed -E 's/[0-9]+\\.[0-9]+/<&>/g' " + file + " | wc -c");
        })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    registerBacktracking();
    registerFarReads();
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    registerAll();
    bench::PeerRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::vector<std::pair<std::string, std::string>> pairs = {
        {"ours/find_all_literal", "peer/grep_o_literal/real_time"},
        {"ours/find_all_regex", "peer/grep_o_regex/real_time"},
        {"ours/replace_all_literal", "peer/sed_literal/real_time"},
        {"ours/replace_all_regex", "peer/sed_regex/real_time"}};
    for (const BacktrackingCase& c : backtrackingCases()) {
        const std::string ours = std::string("ours/") + c.name;
        pairs.push_back({c.query.startsWith(u'(') ? ours + "/iterations:1" : ours,
                         std::string("peer/grep_") + c.name + "/real_time"});
    }
    for (const FarReadCase& c : farReadCases())
        pairs.push_back({std::string("ours/far_read_") + c.name, std::string("whole/") + c.name});
    reporter.printRatios(pairs);
    benchmark::Shutdown();
    return 0;
}
