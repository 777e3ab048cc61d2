#include "clistopsignals.h"

#include <QDebug>

#include <csignal>

#ifdef Q_OS_WIN
#include <QTimer>

#include <atomic>

namespace {
// Windows has no pipe to wake the event loop from a handler: a flag, looked at ten times a
// second.
std::atomic<int> g_caught {0};
void onSignal(int number)
{
    g_caught = number;
    std::signal(number, onSignal);
}
} // namespace

CliStopSignals::CliStopSignals(QObject *parent)
    : QObject(parent)
{
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &CliStopSignals::takeSignals);
    timer->start(100);
}

CliStopSignals::~CliStopSignals()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

void CliStopSignals::takeSignals()
{
    const int number = g_caught.exchange(0);
    if (number != 0)
        emit stopAsked(number);
}
#else
#include <QSocketNotifier>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// The handler only writes the signal's number; the event loop reads it on the other end.
int g_fds[2] = {-1, -1};
struct sigaction g_before[2];

void onSignal(int number)
{
    const char byte = char(number);
    [[maybe_unused]] const ssize_t n = ::write(g_fds[0], &byte, 1);
}
} // namespace

CliStopSignals::CliStopSignals(QObject *parent)
    : QObject(parent)
{
    if (g_fds[0] >= 0) {
        qWarning() << "Stop signals are taken already";
        return;
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_fds) != 0) {
        qWarning() << "No socket pair for the stop signals";
        return;
    }
    m_owner = true;
    ::fcntl(g_fds[0], F_SETFL, O_NONBLOCK);
    auto *notifier = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &CliStopSignals::takeSignals);
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    if (::sigaction(SIGINT, &sa, &g_before[0]) != 0 || ::sigaction(SIGTERM, &sa, &g_before[1]) != 0)
        qWarning() << "The stop signals could not be taken";
}

CliStopSignals::~CliStopSignals()
{
    if (!m_owner)
        return;
    ::sigaction(SIGINT, &g_before[0], nullptr);
    ::sigaction(SIGTERM, &g_before[1], nullptr);
    ::close(g_fds[0]);
    ::close(g_fds[1]);
    g_fds[0] = g_fds[1] = -1;
}

void CliStopSignals::takeSignals()
{
    char byte = 0;
    if (::read(g_fds[1], &byte, 1) == 1)
        emit stopAsked(int(byte));
}
#endif
