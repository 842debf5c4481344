// Find in files as a program, for timing a whole search as the user waits for it beside grep
// and ripgrep: walks, reads, decodes and searches every file below a folder, builds the result
// list (line, column, preview per match, no limit) and prints it as "path:line:column:preview".
//
// folder_search_tool [-i] [-E] [-w] [-j THREADS] QUERY FOLDER
//   -i ignore case, -E regular expression, -w whole words, -j file threads (default: one per
//   core the process may run on).
#include "platform/WorkPools.h"
#include "text/FolderSearch.h"

#include <QThreadPool>
#include <climits>
#include <cstdio>
#include <cstring>
#include <sched.h>

using namespace dunmoss;

int main(int argc, char** argv) {
    TextSearchOptions options{false, true, false};
    int threads = 0;
    int k = 1;
    for (; k < argc && argv[k][0] == '-'; ++k) {
        if (!std::strcmp(argv[k], "-i"))
            options.isCaseSensitive = false;
        else if (!std::strcmp(argv[k], "-E"))
            options.isRegex = true;
        else if (!std::strcmp(argv[k], "-w"))
            options.isWholeWord = true;
        else if (!std::strcmp(argv[k], "-j") && k + 1 < argc)
            threads = std::atoi(argv[++k]);
        else
            break;
    }
    if (argc - k != 2) {
        std::fprintf(stderr, "usage: %s [-i] [-E] [-w] [-j THREADS] QUERY FOLDER\n", argv[0]);
        return 2;
    }
    if (threads <= 0) {
        cpu_set_t allowed;
        CPU_ZERO(&allowed);
        threads = sched_getaffinity(0, sizeof allowed, &allowed) == 0 ? CPU_COUNT(&allowed) : 1;
    }
    fileWorkPool().setMaxThreadCount(threads);
    const QString query = QString::fromLocal8Bit(argv[k]);
    const QUrl folder = QUrl::fromLocalFile(QString::fromLocal8Bit(argv[k + 1]));
    QList<FolderSearchResult> results;
    try {
        results = searchFolder(query, folder, {}, {}, options, INT_MAX);
    } catch (const RegexError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 2;
    }
    // A file's results share one URL: its path is converted once.
    QByteArray out;
    const QUrl* last = nullptr;
    QByteArray path;
    for (const FolderSearchResult& result : results) {
        if (!last || result.url != *last) {
            path = result.url.toLocalFile().toUtf8();
            last = &result.url;
        }
        out += path;
        out += ':';
        out += QByteArray::number(result.line);
        out += ':';
        out += QByteArray::number(result.column);
        out += ':';
        out += result.preview.toUtf8();
        out += '\n';
        if (out.size() >= 1 << 16) {
            std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
            out.resize(0);
        }
    }
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return results.isEmpty() ? 1 : 0;
}
