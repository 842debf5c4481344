#include "platform/TerminationSignals.h"

#include "platform/DiskProgress.h"

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <iterator>
#include <semaphore.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace dunmoss {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
constexpr long kWatchStepMs = 50;
int g_sockets[2] = {-1, -1};
struct sigaction g_previous[std::size(kSignals)];
sem_t g_signalled;
std::thread g_watch;
std::atomic<bool> g_stopWatching{false};
volatile sig_atomic_t g_firstSignal = 0;

void handleSignal(int number) {
    // Only async-signal-safe calls here.
    const int saved = errno;
    if (g_firstSignal == 0) {
        g_firstSignal = number;
        ::sem_post(&g_signalled);
    }
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(g_sockets[0], &byte, 1);
    errno = saved;
}

long long nowMs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1'000'000;
}

// The quit the signal asked for writes what is to be kept; it did not end the process while
// the disk kept answering. The writers replace files atomically, so ending in the middle of a
// write leaves the previous copy.
void watchTheQuit() {
    while (::sem_wait(&g_signalled) != 0 && errno == EINTR) {
    }
    if (g_stopWatching.load())
        return;
    const long long signalled = nowMs();
    long long lastStep = signalled;
    unsigned seen = diskProgress();
    for (;;) {
        const timespec step{0, kWatchStepMs * 1'000'000L};
        ::nanosleep(&step, nullptr);
        if (g_stopWatching.load())
            return;
        const long long now = nowMs();
        // A wait on the disk that has not answered yet is a disk at work, not a stalled one:
        // only the time between steps counts.
        if (const unsigned steps = diskProgress(); steps != seen || diskStepsUnderWay() > 0) {
            seen = steps;
            lastStep = now;
        }
        if (now - lastStep >= TerminationSignals::kStalledMs ||
            now - signalled >= TerminationSignals::kDeadlineMs)
            ::_exit(128 + g_firstSignal);
    }
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_sockets) != 0)
        return;
    if (::sem_init(&g_signalled, 0, 0) != 0) {
        ::close(g_sockets[0]);
        ::close(g_sockets[1]);
        g_sockets[0] = g_sockets[1] = -1;
        return;
    }
    // The handler never blocks: a full socket drops the byte, and one pending byte is enough.
    ::fcntl(g_sockets[0], F_SETFL, ::fcntl(g_sockets[0], F_GETFL) | O_NONBLOCK);
    ::fcntl(g_sockets[1], F_SETFL, ::fcntl(g_sockets[1], F_GETFL) | O_NONBLOCK);
    m_notifier = new QSocketNotifier(g_sockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPending);
    g_firstSignal = 0;
    g_stopWatching.store(false);
    g_watch = std::thread(watchTheQuit);
    int index = 0;
    for (const int number : kSignals) {
        struct sigaction action {};
        action.sa_handler = handleSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(number, &action, &g_previous[index++]);
    }
}

TerminationSignals::~TerminationSignals() {
    if (!m_notifier)
        return;
    int index = 0;
    for (const int number : kSignals)
        ::sigaction(number, &g_previous[index++], nullptr);
    // Gone with this object: the quit it started is over, or is the program's end.
    g_stopWatching.store(true);
    ::sem_post(&g_signalled);
    g_watch.join();
    ::sem_destroy(&g_signalled);
    delete m_notifier;
    ::close(g_sockets[0]);
    ::close(g_sockets[1]);
    g_sockets[0] = g_sockets[1] = -1;
}

void TerminationSignals::readPending() {
    unsigned char bytes[16];
    const ssize_t count = ::read(g_sockets[1], bytes, sizeof bytes);
    for (ssize_t i = 0; i < count; ++i)
        emit received(bytes[i]);
}

} // namespace dunmoss
