// Find in files as a program, for timing a whole search as the user waits for it beside grep
// and ripgrep: walks, reads, decodes and searches every file below a folder, builds the result
// list (line, column, preview per match, no limit) and prints it as "path:line:column:preview".
//
// folder_search_tool [-i] [-E] [-w] [-j THREADS] [-P] QUERY FOLDER
//   -i ignore case, -E regular expression, -w whole words, -j file threads (default: one per
//   core the process may run on), -P the plain path: every file decoded and the expression run
//   over all of it, one file after another.
#include "platform/WorkPools.h"
#include "text/FolderFileSearch.h"
#include "text/FolderSearch.h"
#include "text/SearchableText.h"

#include <QStringEncoder>
#include <QThreadPool>
#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sched.h>
#include <vector>

using namespace dunmoss;

int main(int argc, char** argv) {
    TextSearchOptions options{false, true, false};
    int threads = 0;
    bool plain = false;
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
        else if (!std::strcmp(argv[k], "-P"))
            plain = true;
        else
            break;
    }
    if (argc - k != 2) {
        std::fprintf(stderr, "usage: %s [-i] [-E] [-w] [-j THREADS] [-P] QUERY FOLDER\n", argv[0]);
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
        if (plain) {
            walkFolderFiles(folder.toLocalFile(), {}, [&](const QString& path) {
                SearchableFileContent read = readSearchableBytes(path);
                if (read.kind == SearchableFileContent::Kind::Text)
                    results += folderMatchesInFileBytes(query, options, std::move(read.bytes),
                                                        QUrl::fromLocalFile(path), INT_MAX)
                                   .found;
                return true;
            });
        } else {
            results = searchFolder(query, folder, {}, {}, options, INT_MAX);
        }
    } catch (const RegexError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 2;
    }
    // Written as grep and ripgrep write: into one buffer, each file's path converted once.
    std::vector<char> out(1 << 20);
    size_t used = 0;
    const auto flush = [&] {
        std::fwrite(out.data(), 1, used, stdout);
        used = 0;
    };
    QStringEncoder utf8(QStringEncoder::Utf8);
    // A file's results share one URL, so its data is compared before its text.
    QUrl last;
    QByteArray path;
    for (const FolderSearchResult& result : results) {
        if (const_cast<QUrl&>(result.url).data_ptr() != last.data_ptr() || result.url != last) {
            path = result.url.toLocalFile().toUtf8();
            last = result.url;
        }
        const size_t needed = size_t(path.size() + utf8.requiredSpace(result.preview.size())) + 48;
        if (used + needed > out.size()) {
            flush();
            out.resize(std::max(out.size(), needed));
        }
        char* at = out.data() + used;
        at = std::copy(path.cbegin(), path.cend(), at);
        *at++ = ':';
        at = std::to_chars(at, at + 20, result.line).ptr;
        *at++ = ':';
        at = std::to_chars(at, at + 20, result.column).ptr;
        *at++ = ':';
        at = utf8.appendToBuffer(at, result.preview);
        *at++ = '\n';
        used = size_t(at - out.data());
    }
    flush();
    // What a user waits for ends here: the results are not taken apart one by one.
    std::fflush(stdout);
    std::_Exit(results.isEmpty() ? 1 : 0);
}
