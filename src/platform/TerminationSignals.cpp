#include "platform/TerminationSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <sys/socket.h>
#include <unistd.h>

namespace dunmoss {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
int g_sockets[2] = {-1, -1};
struct sigaction g_previous[std::size(kSignals)];

void handleSignal(int number) {
    // Only async-signal-safe calls here.
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(g_sockets[0], &byte, 1);
    errno = saved;
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
