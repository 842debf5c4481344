// From file to result on 50 MB of real text, beside GNU grep and sed on the same file: find-all
// reads, detects, decodes and lists every match with its line, column and preview; replace-all
// also encodes and writes the result atomically. The text is the machine's own documentation and
// headers (UTF-8 files only), repeated up to 50 MB; DUNMOSS_BENCH_TEXT names another file.
#include "platform/FileReading.h"
#include "platform/UnicodeFastCodecs.h"
#include "platform/Utf8Decoding.h"
#include "support/PeerCommand.h"
#include "text/EncodingDetection.h"
#include "text/FolderFileSearch.h"
#include "text/TextFileLoader.h"
#include "text/TextSearch.h"

#include <QDirIterator>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

using namespace dunmoss;

namespace {

constexpr qsizetype kCorpusBytes = 50'000'000;

QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    return dir;
}

bool isPlainUtf8(const QByteArray& bytes) {
    if (bytes.contains('\0'))
        return false;
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

QByteArray realText() {
    QByteArray gathered;
    for (const char* root : {"/usr/share/doc", "/usr/share/common-licenses", "/usr/include"}) {
        QDirIterator it(QString::fromLatin1(root), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext() && gathered.size() < kCorpusBytes) {
            const QString path = it.next();
            if (path.endsWith(QLatin1String(".gz")) || it.fileInfo().size() > 4'000'000)
                continue;
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray bytes = file.readAll();
            if (isPlainUtf8(bytes))
                gathered += bytes;
        }
    }
    if (gathered.isEmpty())
        gathered = "lorem ipsum 1.2 dolor\n";
    QByteArray corpus;
    corpus.reserve(kCorpusBytes + gathered.size());
    while (corpus.size() < kCorpusBytes)
        corpus += gathered;
    corpus.truncate(kCorpusBytes);
    // Never end inside a character.
    while (!corpus.isEmpty() && (uchar(corpus.back()) & 0xC0) == 0x80)
        corpus.chop(1);
    if (!corpus.isEmpty() && uchar(corpus.back()) >= 0xC0)
        corpus.chop(1);
    return corpus;
}

const QString& corpusPath() {
    static const QString path = [] {
        if (const QByteArray named = qgetenv("DUNMOSS_BENCH_TEXT"); !named.isEmpty())
            return QString::fromLocal8Bit(named);
        const QString file = scratch().filePath(QStringLiteral("corpus.txt"));
        QFile out(file);
        out.open(QIODevice::WriteOnly);
        out.write(realText());
        return file;
    }();
    return path;
}

// As a document is read: the whole file, a large one in pieces on the pool.
QByteArray readBytes(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat attributes {};
    ::fstat(fd, &attributes);
    QByteArray bytes =
        readFileBytes(fd, std::numeric_limits<qint64>::max(), qint64(attributes.st_size), path);
    ::close(fd);
    return bytes;
}

PlainTextDocument readDocument(const QString& path) {
    return decodeDocumentData(readBytes(path));
}

const TextSearchOptions kLiteralOptions{false, true, false};
const TextSearchOptions kRegexOptions{true, true, false};
const QString kLiteral = QStringLiteral("return");
const QString kRegex = QStringLiteral("[0-9]+\\.[0-9]+");

void findAllFromFile(benchmark::State& state, const QString& query,
                     const TextSearchOptions& options) {
    qsizetype total = 0;
    for (auto _ : state) {
        const PlainTextDocument document = readDocument(corpusPath());
        const TextSearchMatches found = findAllMatches(query, document.text, options);
        total = found.totalCount;
        benchmark::DoNotOptimize(found.results.constData());
    }
    state.counters["matches"] = double(total);
}

// The folder search's own work on one file: read, then every match with its line, column and
// preview (a literal in plain UTF-8 is looked for in the bytes).
void folderFindAllFromFile(benchmark::State& state, const QString& query,
                           const TextSearchOptions& options) {
    const QUrl url = QUrl::fromLocalFile(corpusPath());
    qsizetype total = 0;
    for (auto _ : state) {
        const FolderFileMatches found = folderMatchesInFileBytes(
            query, options, readBytes(corpusPath()), url, std::numeric_limits<qsizetype>::max());
        total = found.found.size();
        benchmark::DoNotOptimize(found.found.constData());
    }
    state.counters["matches"] = double(total);
}

void replaceAllFromFile(benchmark::State& state, const QString& query, const QString& replacement,
                        const TextSearchOptions& options) {
    const QString target = scratch().filePath(QStringLiteral("replaced.txt"));
    for (auto _ : state) {
        PlainTextDocument document = readDocument(corpusPath());
        document.text = replaceAllMatches(query, replacement, document.text, options).text;
        QSaveFile out(target);
        out.open(QIODevice::WriteOnly);
        out.write(fileDataForSaving(document));
        out.commit();
    }
}

// Where the time of a find-all goes: reading, decoding, searching a decoded text.
void registerPhases() {
    static QByteArray bytes;
    static PlainTextDocument document;
    const auto ms = [](benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMillisecond); };
    ms(benchmark::RegisterBenchmark("phase/read", [](benchmark::State& s) {
        for (auto _ : s) {
            bytes = QByteArray();
            bytes = readBytes(corpusPath());
        }
    }));
    ms(benchmark::RegisterBenchmark("phase/decode", [](benchmark::State& s) {
        for (auto _ : s)
            document = decodeDocumentData(bytes);
    }));
    ms(benchmark::RegisterBenchmark("phase/x_utf8", [](benchmark::State& s) {
        for (auto _ : s)
            benchmark::DoNotOptimize(decodeUtf8Strict(bytes));
    }));
    ms(benchmark::RegisterBenchmark("phase/x_utf8_one_thread", [](benchmark::State& s) {
        for (auto _ : s)
            benchmark::DoNotOptimize(decodeUtf8JoiningLineBreaksInPieces(bytes, 0));
    }));
    ms(benchmark::RegisterBenchmark("phase/x_sniff", [](benchmark::State& s) {
        for (auto _ : s)
            benchmark::DoNotOptimize(sniffBOMlessUTF16(bytes));
    }));
    ms(benchmark::RegisterBenchmark("phase/x_eol", [](benchmark::State& s) {
        for (auto _ : s)
            benchmark::DoNotOptimize(detectLineEnding(document.text));
    }));
    ms(benchmark::RegisterBenchmark("phase/x_norm", [](benchmark::State& s) {
        for (auto _ : s)
            benchmark::DoNotOptimize(normalizeLineEndings(document.text));
    }));
    ms(benchmark::RegisterBenchmark("phase/x_decodetextdata", [](benchmark::State& s) {
        for (auto _ : s)
            benchmark::DoNotOptimize(decodeTextData(bytes));
    }));
    ms(benchmark::RegisterBenchmark("phase/find_literal", [](benchmark::State& s) {
        for (auto _ : s)
            benchmark::DoNotOptimize(findAllMatches(kLiteral, document.text, kLiteralOptions));
    }));
    ms(benchmark::RegisterBenchmark("phase/find_regex", [](benchmark::State& s) {
        for (auto _ : s)
            benchmark::DoNotOptimize(findAllMatches(kRegex, document.text, kRegexOptions));
    }));
    ms(benchmark::RegisterBenchmark("phase/replace_literal", [](benchmark::State& s) {
        for (auto _ : s)
            benchmark::DoNotOptimize(replaceAllMatches(kLiteral, QStringLiteral("yield"),
                                                       document.text, kLiteralOptions));
    }));
    ms(benchmark::RegisterBenchmark("phase/replace_regex", [](benchmark::State& s) {
        for (auto _ : s)
            benchmark::DoNotOptimize(
                replaceAllMatches(kRegex, QStringLiteral("<$0>"), document.text, kRegexOptions));
    }));
    ms(benchmark::RegisterBenchmark("phase/encode", [](benchmark::State& s) {
        for (auto _ : s)
            benchmark::DoNotOptimize(fileDataForSaving(document));
    }));
}

void registerAll() {
    registerPhases();
    const std::string file = bench::shellQuoted(corpusPath());
    const std::string out = bench::shellQuoted(scratch().filePath(QStringLiteral("sed-out.txt")));
    const auto ms = [](benchmark::internal::Benchmark* b) {
        b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
    };
    ms(benchmark::RegisterBenchmark("ours/file_find_all_literal", [](benchmark::State& s) {
        findAllFromFile(s, kLiteral, kLiteralOptions);
    }));
    ms(benchmark::RegisterBenchmark("ours/folder_file_find_all_literal", [](benchmark::State& s) {
        folderFindAllFromFile(s, kLiteral, kLiteralOptions);
    }));
    ms(benchmark::RegisterBenchmark("peer/grep_literal", [file](benchmark::State& s) {
        bench::runPeer(s,
                       std::string("LC_ALL=C.UTF-8 ") + "grep -o -F return " + file + " | wc -l");
    }));
    ms(benchmark::RegisterBenchmark("ours/file_find_all_regex", [](benchmark::State& s) {
        findAllFromFile(s, kRegex, kRegexOptions);
    }));
    ms(benchmark::RegisterBenchmark("peer/grep_regex", [file](benchmark::State& s) {
        bench::runPeer(s, std::string("LC_ALL=C.UTF-8 ") + "grep -o -E '[0-9]+\\.[0-9]+' " + file +
                              " | wc -l");
    }));
    ms(benchmark::RegisterBenchmark("ours/file_replace_all_literal", [](benchmark::State& s) {
        replaceAllFromFile(s, kLiteral, QStringLiteral("yield"), kLiteralOptions);
    }));
    ms(benchmark::RegisterBenchmark("peer/sed_literal", [file, out](benchmark::State& s) {
        bench::runPeer(s, std::string("LC_ALL=C.UTF-8 ") + "sed 's/return/yield/g' " + file +
                              " > " + out);
    }));
    ms(benchmark::RegisterBenchmark("ours/file_replace_all_regex", [](benchmark::State& s) {
        replaceAllFromFile(s, kRegex, QStringLiteral("<$0>"), kRegexOptions);
    }));
    ms(benchmark::RegisterBenchmark("peer/sed_regex", [file, out](benchmark::State& s) {
        bench::runPeer(s, std::string("LC_ALL=C.UTF-8 ") + "sed -E 's/[0-9]+\\.[0-9]+/<&>/g' " +
                              file + " > " + out);
    }));
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    registerAll();
    bench::PeerRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios({{"ours/file_find_all_literal/min_time:1.000/real_time",
                           "peer/grep_literal/min_time:1.000/real_time"},
                          {"ours/folder_file_find_all_literal/min_time:1.000/real_time",
                           "peer/grep_literal/min_time:1.000/real_time"},
                          {"ours/file_find_all_regex/min_time:1.000/real_time",
                           "peer/grep_regex/min_time:1.000/real_time"},
                          {"ours/file_replace_all_literal/min_time:1.000/real_time",
                           "peer/sed_literal/min_time:1.000/real_time"},
                          {"ours/file_replace_all_regex/min_time:1.000/real_time",
                           "peer/sed_regex/min_time:1.000/real_time"}});
    benchmark::Shutdown();
    return 0;
}
