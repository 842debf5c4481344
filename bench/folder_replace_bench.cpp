// Folder replace of a literal over a copy of a real tree (by default /usr/include/linux, or
// DUNMOSS_BENCH_TREE), against `grep -rlZ | xargs -0 sed -i` over another copy of the same tree
// in /tmp, alternating which goes first, DUNMOSS_BENCH_ROUNDS rounds (default 3), medians and
// their ratio printed. Ours is the whole engine: walk, read, decode, replace, encode, backup,
// manifest, write, rename and every sync its guarantees need; the peer syncs nothing. Each copy
// is synced before it is timed, so neither side pays for writing out the copy. The trees are
// compared after each round. Pin both to the same cores with taskset.
#include "text/FolderReplacement.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sched.h>
#include <string>
#include <unistd.h>
#include <vector>

using namespace dunmoss;

namespace {

const QString kQuery = QStringLiteral("struct");
const QString kReplacement = QStringLiteral("record");

std::string quoted(const QString& text) {
    std::string out = "'";
    for (char c : text.toStdString())
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

int shell(const std::string& command) {
    return std::system(command.c_str());
}

// A fresh copy of the tree, with its pages written out before anything is timed.
void copyTree(const QString& tree, const QString& copy) {
    shell("rm -rf " + quoted(copy) + " && cp -a " + quoted(tree) + " " + quoted(copy) + " && sync");
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double timeOurs(const QString& tree, const QString& work, int& files) {
    const QString copy = work + QStringLiteral("/ours");
    const QString data = work + QStringLiteral("/data");
    copyTree(tree, copy);
    shell("rm -rf " + quoted(data));
    // The backups go to the same kind of disk as the tree.
    qputenv("XDG_DATA_HOME", data.toUtf8());
    QElapsedTimer timer;
    timer.start();
    const FolderReplacementOutcome outcome =
        replaceInFolder(kQuery, kReplacement, QUrl::fromLocalFile(copy), {}, {},
                        TextSearchOptions{false, true, false});
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    files = outcome.fileCount;
    return seconds;
}

double timePeer(const QString& tree, const QString& work) {
    const QString copy = work + QStringLiteral("/peer");
    copyTree(tree, copy);
    const std::string command = "cd " + quoted(copy) + " && LC_ALL=C grep -rlZ " + quoted(kQuery) +
                                " . | LC_ALL=C xargs -0 -r sed -i " +
                                quoted(QStringLiteral("s/%1/%2/g").arg(kQuery, kReplacement));
    QElapsedTimer timer;
    timer.start();
    shell(command);
    return double(timer.nsecsElapsed()) / 1e9;
}

QString cpuList() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        return QStringLiteral("?");
    QStringList cpus;
    for (int i = 0; i < CPU_SETSIZE; ++i)
        if (CPU_ISSET(i, &set))
            cpus.append(QString::number(i));
    return cpus.join(u',');
}

} // namespace

int main() {
    const QByteArray chosen = qgetenv("DUNMOSS_BENCH_TREE");
    const QString tree = QDir(chosen.isEmpty() ? QStringLiteral("/usr/include/linux")
                                               : QString::fromLocal8Bit(chosen))
                             .absolutePath();
    const int rounds = std::max(1, qEnvironmentVariableIntValue("DUNMOSS_BENCH_ROUNDS") > 0
                                       ? qEnvironmentVariableIntValue("DUNMOSS_BENCH_ROUNDS")
                                       : 3);
    QTemporaryDir work(QStringLiteral("/tmp/dunmoss-replace-bench-XXXXXX"));
    if (!work.isValid()) {
        std::fprintf(stderr, "cannot make a folder in /tmp\n");
        return 1;
    }
    std::printf("tree %s, cpus %s, %d rounds, load %s", qPrintable(tree), qPrintable(cpuList()),
                rounds, "");
    std::fflush(stdout);
    shell("cut -d' ' -f1-3 /proc/loadavg");

    std::vector<double> ours;
    std::vector<double> peer;
    for (int round = 0; round < rounds; ++round) {
        int files = 0;
        double mine = 0;
        double theirs = 0;
        if (round % 2 == 0) {
            mine = timeOurs(tree, work.path(), files);
            theirs = timePeer(tree, work.path());
        } else {
            theirs = timePeer(tree, work.path());
            mine = timeOurs(tree, work.path(), files);
        }
        ours.push_back(mine);
        peer.push_back(theirs);
        std::printf("round %d: ours %.3f s (%d files), grep|xargs sed %.3f s, ratio %.2f; "
                    "files that differ: ",
                    round + 1, mine, files, theirs, mine / theirs);
        std::fflush(stdout);
        shell("diff -rq --no-dereference " + quoted(work.path() + QStringLiteral("/ours")) + " " +
              quoted(work.path() + QStringLiteral("/peer")) + " | wc -l");
    }
    std::printf("median: ours %.3f s, grep|xargs sed %.3f s, ratio %.2f\n", median(ours),
                median(peer), median(ours) / median(peer));
    return 0;
}
