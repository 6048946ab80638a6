#include "stopsignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};
volatile sig_atomic_t g_arrived = 0;

void onSignal(int signalNumber)
{
    g_arrived = signalNumber;
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

} // namespace

CStopSignals *CStopSignals::watch()
{
    if (s_instance)
        return s_instance;
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return nullptr;
    s_instance = new CStopSignals(QCoreApplication::instance());
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, s_instance);
    connect(notifier, &QSocketNotifier::activated, s_instance, [] {
        char byte;
        while (::read(g_signalPipe[0], &byte, 1) == 1)
            emit s_instance->stopRequested(int(byte));
    });
    // A write to a reader that has gone fails with EPIPE instead.
    ::signal(SIGPIPE, SIG_IGN);
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigset_t watched;
    sigemptyset(&watched);
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(number, &sa, nullptr);
        sigaddset(&watched, number);
    }
    // A signal the parent left blocked would never arrive.
    ::pthread_sigmask(SIG_UNBLOCK, &watched, nullptr);
    return s_instance;
}

int CStopSignals::arrived()
{
    return g_arrived != 0 ? int(g_arrived) : s_readerGone ? brokenPipe() : 0;
}

int CStopSignals::brokenPipe()
{
    return SIGPIPE;
}

bool CStopSignals::readerGone(int error)
{
    return error == EPIPE;
}

void ExitAsStoppedBy(int signalNumber)
{
    struct sigaction sa = {};
    sa.sa_handler = SIG_DFL;
    ::sigaction(signalNumber, &sa, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signalNumber);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(signalNumber);
    std::_Exit(128 + signalNumber); // a signal whose default is not to end the process
}
