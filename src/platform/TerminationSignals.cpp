#include "platform/TerminationSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <iterator>
#include <sys/socket.h>
#include <unistd.h>

namespace dunmoss {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
int g_sockets[2] = {-1, -1};
struct sigaction g_previous[std::size(kSignals)];
struct sigaction g_previousAlarm;
timer_t g_deadline;
bool g_hasDeadline = false;
volatile sig_atomic_t g_firstSignal = 0;

void handleSignal(int number) {
    // Only async-signal-safe calls here.
    const int saved = errno;
    if (g_firstSignal == 0) {
        g_firstSignal = number;
        if (g_hasDeadline) {
            itimerspec deadline{};
            deadline.it_value.tv_sec = TerminationSignals::kDeadlineMs / 1000;
            deadline.it_value.tv_nsec = (TerminationSignals::kDeadlineMs % 1000) * 1'000'000L;
            ::timer_settime(g_deadline, 0, &deadline, nullptr);
        }
    }
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(g_sockets[0], &byte, 1);
    errno = saved;
}

// The quit the signal asked for did not end the process in time. The session writer replaces
// files atomically, so ending in the middle of a write leaves the previous copy.
void handleDeadline(int) {
    ::_exit(128 + g_firstSignal);
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_sockets) != 0)
        return;
    // The handler never blocks: a full socket drops the byte, and one pending byte is enough.
    ::fcntl(g_sockets[0], F_SETFL, ::fcntl(g_sockets[0], F_GETFL) | O_NONBLOCK);
    ::fcntl(g_sockets[1], F_SETFL, ::fcntl(g_sockets[1], F_GETFL) | O_NONBLOCK);
    m_notifier = new QSocketNotifier(g_sockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPending);
    g_firstSignal = 0;
    struct sigaction alarm {};
    alarm.sa_handler = handleDeadline;
    sigemptyset(&alarm.sa_mask);
    ::sigaction(SIGALRM, &alarm, &g_previousAlarm);
    sigevent event{};
    event.sigev_notify = SIGEV_SIGNAL;
    event.sigev_signo = SIGALRM;
    g_hasDeadline = ::timer_create(CLOCK_MONOTONIC, &event, &g_deadline) == 0;
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
    if (g_hasDeadline) {
        ::timer_delete(g_deadline);
        g_hasDeadline = false;
    }
    ::sigaction(SIGALRM, &g_previousAlarm, nullptr);
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
