// Times a user's expression, case-insensitive as the find bar's default, over one long run of
// letters (20,000 and 50,000 characters) with the work bound user expressions get. A shape that
// rescans the rest of the run from every start grows four- to sixfold from the short run to the
// long one, or stops at the bound ("timed out"); a linear one grows about 2.5-fold.
#include "platform/IcuRegex.h"

#include <QString>
#include <benchmark/benchmark.h>

using namespace dunmoss;

namespace {

struct Shape {
    const char* name;
    const char16_t* pattern;
    const char16_t* piece; // repeated to make the run
};

const Shape kShapes[] = {
    {"uneven_alternatives", u"(ab|c)\\w+@", u"cab"},
    {"optional_group", u"(ab)?\\w+@", u"abd"},
    {"space_loop_first", u"\\s*\\w+@", u"qwerty"},
    {"ten_atoms", u"\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w+@", u"qwerty"},
    {"folded_non_ascii", u"\u00E9\\w+@", u"\u00E9a"},
    {"folded_sharp_s", u"stra\u00DFe\\w+@", u"strasse"},
    {"whole_word_uneven", u"(?<!\\w)(?:(ab|c)\\w+@)(?!\\w)", u"cab"},
    // Other shapes users type.
    {"capital_then_loop", u"[A-Z][a-z]+ed\\b", u"qwerty"},
    {"word_space_word", u"\\w+\\s+\\w+X", u"qwerty"},
    {"letters_digit", u"[a-z]+\\d", u"qwerty"},
    {"dotted_email", u"\\w+(\\.\\w+)*@", u"qwerty"},
    {"word_class_email", u"[\\w.]+@[\\w.]+", u"qwe.rty"},
    {"call", u"(\\w+)\\s*\\(", u"qwerty"},
    {"suffix", u"\\w*ing\\b", u"qwerting"},
    {"assignment", u"\\b\\w+\\s*=", u"qwerty"},
    {"quoted", u"\"[^\"]*\"", u"\"qwerty"},
    {"two_loops", u"[a-z]+[0-9]+x", u"qwerty"},
    {"word_or_word", u"(\\w+|\\d+)@", u"qwerty"},
    {"group_loop", u"(?:\\w+-)+x", u"qwerty"},
    {"repeated_group", u"(ab|c)*\\w+@", u"cab"},
    {"domain", u"(\\w+\\.)+\\w+", u"qwerty"},
    {"capitalised_words", u"[A-Z]\\w*(\\s+[A-Z]\\w*)+", u"qwerty"},
    {"two_alternative_loops", u"(\\d+|[a-z]+)x", u"qwerty"},
    {"loop_then_group", u"\\w+(ing|ed)\\b", u"qwerty"},
    {"dot_after_atom", u"a.*b.*c", u"ab"},
};

QString runOf(QStringView piece, qsizetype length) {
    QString text;
    text.reserve(length + 16);
    while (text.size() < length)
        text.append(piece);
    text.truncate(length);
    return text + QStringLiteral(" end");
}

void timeShape(benchmark::State& state, const Shape& shape, qsizetype length) {
    const QString text = runOf(QStringView(shape.piece), length);
    const IcuRegex regex(QString::fromUtf16(shape.pattern), IcuRegex::CaseInsensitive,
                         IcuRegex::kUserPatternBound);
    for (auto _ : state) {
        try {
            benchmark::DoNotOptimize(regex.matchRanges(text).size());
        } catch (const RegexError& error) {
            state.SetLabel(error.isTimeout() ? "timed out" : "failed");
        }
    }
}

// About 4 MB of words of one to ten letters between spaces and punctuation, where runs are
// short: what checking for a skip costs over ordinary text.
const QString& prose() {
    static const QString text = [] {
        QString built;
        uint32_t seed = 34;
        const auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
        while (built.size() < 4000000) {
            const uint32_t letters = 1 + next() % 10;
            for (uint32_t i = 0; i < letters; ++i)
                built.append(QChar(u'a' + next() % 26));
            built.append(QChar(u" ,. \n"[next() % 5]));
        }
        return built;
    }();
    return text;
}

void timeProse(benchmark::State& state, const Shape& shape) {
    const IcuRegex regex(QString::fromUtf16(shape.pattern), IcuRegex::CaseInsensitive,
                         IcuRegex::kUserPatternBound);
    for (auto _ : state)
        benchmark::DoNotOptimize(regex.matchRanges(prose()).size());
}

} // namespace

int main(int argc, char** argv) {
    for (const Shape& shape : kShapes) {
        for (const qsizetype length : {20000, 50000}) {
            benchmark::RegisterBenchmark(
                (std::string(shape.name) + "/" + std::to_string(length)).c_str(),
                [&shape, length](benchmark::State& s) { timeShape(s, shape, length); })
                ->Unit(benchmark::kMillisecond)
                ->Iterations(1);
        }
    }
    for (const Shape& shape : kShapes) {
        benchmark::RegisterBenchmark((std::string("prose/") + shape.name).c_str(),
                                     [&shape](benchmark::State& s) { timeProse(s, shape); })
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
