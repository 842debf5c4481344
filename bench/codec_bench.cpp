// Detection plus decoding of 5,000,000-byte files against the usual command-line pair: uchardet
// to detect, then iconv to decode into UTF-16 (the form our text takes in memory). Both sides
// start from the file on disk (page cache) and end with the decoded text in memory.
#include "platform/IcuConverter.h"
#include "text/TextFileLoader.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cerrno>
#include <cstdio>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace dunmoss;

namespace {

constexpr qsizetype kFileSize = 5'000'000;

struct Sample {
    const char* name;
    IcuCharset charset;
    bool chineseText; // Shift JIS cannot hold simplified Chinese
    QString path;
};

std::vector<Sample>& samples() {
    static std::vector<Sample> list = {
        {"utf8", IcuCharset::Utf8, true, {}},
        {"gb18030", IcuCharset::Gb18030, true, {}},
        {"shift-jis", IcuCharset::ShiftJIS, false, {}},
        {"utf16-le-bom", IcuCharset::Utf16LittleEndian, true, {}},
    };
    return list;
}

QStringList mixedLines(bool chinese) {
    QStringList lines = {
        QStringLiteral("The quick brown fox jumps over the lazy dog; 0123456789 (a+b)*c."),
        QStringLiteral("int main(int argc, char** argv) { return argc > 1 ? 0 : 1; }"),
        QStringLiteral("日本語のテキストです。ひらがなとカタカナを含みます。"),
        QStringLiteral("東京都の天気は晴れ、気温は二十度です。会議は午後三時から始まります。"),
        QStringLiteral("    - item: value # comment with punctuation, quotes \"x\" and 'y'"),
    };
    if (chinese) {
        lines += QStringLiteral("编码检测与解码测试：我们今天学习计算机科学和数据结构。");
        lines += QStringLiteral("这是一个用于性能测试的混合文本，包含中文、English 与数字 42。");
    }
    return lines;
}

// A file of exactly kFileSize bytes: mixed lines, padded with ASCII at the end.
QByteArray makeFile(const Sample& sample) {
    const QStringList lines = mixedLines(sample.chineseText);
    QByteArray bytes;
    if (sample.charset == IcuCharset::Utf16LittleEndian)
        bytes = QByteArray("\xFF\xFE", 2);
    const QByteArray pad = strictEncode(sample.charset, QStringLiteral("x")).value();
    const QByteArray newline = strictEncode(sample.charset, QStringLiteral("\n")).value();
    for (int i = 0;; ++i) {
        const QByteArray line =
            strictEncode(sample.charset, lines[(i * 7 + i / 3) % lines.size()]).value() + newline;
        if (bytes.size() + line.size() + newline.size() > kFileSize)
            break;
        bytes += line;
    }
    while (bytes.size() + newline.size() < kFileSize)
        bytes += pad;
    bytes += newline;
    return bytes;
}

QTemporaryDir& folder() {
    static QTemporaryDir dir;
    return dir;
}

void prepareFiles() {
    for (Sample& sample : samples()) {
        sample.path = QDir(folder().path()).filePath(QString::fromLatin1(sample.name) + ".txt");
        QFile file(sample.path);
        if (!file.open(QIODevice::WriteOnly) || file.write(makeFile(sample)) != kFileSize) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(sample.path));
            std::exit(1);
        }
    }
}

// Runs a program directly (no shell in between) and reads its standard output to the end.
std::string runProgram(const std::vector<std::string>& arguments, size_t* outputBytes = nullptr) {
    std::string output;
    int fds[2];
    if (pipe(fds) != 0)
        return output;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    size_t total = 0;
    if (spawned == 0) {
        char buffer[1 << 16];
        ssize_t got = 0;
        while ((got = read(fds[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
            if (got <= 0)
                continue;
            total += size_t(got);
            if (!outputBytes)
                output.append(buffer, size_t(got));
        }
        int status = 0;
        waitpid(child, &status, 0);
    }
    close(fds[0]);
    if (outputBytes)
        *outputBytes = total;
    return output;
}

void dunmossLoad(benchmark::State& state, size_t index) {
    const Sample& sample = samples()[index];
    for (auto _ : state) {
        LoadedPlainTextDocument loaded = loadTextFile(sample.path);
        benchmark::DoNotOptimize(loaded.document.text.constData());
        if (loaded.document.decodedViaFallback || loaded.isLargeFilePreview)
            state.SkipWithError("unexpected decoding");
    }
    state.SetBytesProcessed(state.iterations() * kFileSize);
}

void uchardetThenIconv(benchmark::State& state, size_t index) {
    const Sample& sample = samples()[index];
    const std::string path = QFile::encodeName(sample.path).toStdString();
    for (auto _ : state) {
        std::string charset = runProgram({"/usr/bin/uchardet", path});
        while (!charset.empty() && (charset.back() == '\n' || charset.back() == '\r'))
            charset.pop_back();
        size_t decoded = 0;
        runProgram({"/usr/bin/iconv", "-f", charset, "-t", "UTF-16LE", path}, &decoded);
        if (decoded == 0)
            state.SkipWithError(("iconv produced nothing for " + charset).c_str());
    }
    state.SetBytesProcessed(state.iterations() * kFileSize);
}

// Collects the real time per iteration of every run for the closing table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                seconds[run.benchmark_name()] = run.real_accumulated_time / double(run.iterations);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> seconds;
};

} // namespace

int main(int argc, char** argv) {
    prepareFiles();
    for (size_t i = 0; i < samples().size(); ++i) {
        const std::string name = samples()[i].name;
        benchmark::RegisterBenchmark(("dunmoss/" + name).c_str(), dunmossLoad, i)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("uchardet+iconv/" + name).c_str(), uchardetThenIconv, i)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%-14s %14s %20s %8s\n", "file", "dunmoss ms", "uchardet+iconv ms", "ratio");
    for (const Sample& sample : samples()) {
        const std::string name = sample.name;
        const auto ours = reporter.seconds.find("dunmoss/" + name + "/real_time");
        const auto peer = reporter.seconds.find("uchardet+iconv/" + name + "/real_time");
        if (ours == reporter.seconds.end() || peer == reporter.seconds.end())
            continue;
        std::printf("%-14s %14.2f %20.2f %7.2fx\n", sample.name, ours->second * 1e3,
                    peer->second * 1e3, peer->second / ours->second);
    }
    benchmark::Shutdown();
    return 0;
}
