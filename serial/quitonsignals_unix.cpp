#include "quitonsignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int signalNumber)
{
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

int numberOf(StopSignal stop)
{
    switch (stop) {
    case StopSignal::Interrupt: return SIGINT;
    case StopSignal::Terminate: return SIGTERM;
    case StopSignal::HangUp: return SIGHUP;
    case StopSignal::BrokenPipe: return SIGPIPE;
    }
    return SIGTERM;
}

} // namespace

CStopSignals *CStopSignals::watch(std::initializer_list<StopSignal> stops)
{
    static CStopSignals *instance = nullptr;
    if (!instance) {
        if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return nullptr;
        instance = new CStopSignals(QCoreApplication::instance());
        auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, instance);
        connect(notifier, &QSocketNotifier::activated, instance, [] {
            char byte;
            while (::read(g_signalPipe[0], &byte, 1) == 1)
                emit instance->stopRequested(int(byte));
        });
    }
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigset_t watched;
    sigemptyset(&watched);
    for (const StopSignal stop : stops) {
        ::sigaction(numberOf(stop), &sa, nullptr);
        sigaddset(&watched, numberOf(stop));
    }
    // A signal the parent left blocked would never arrive.
    ::pthread_sigmask(SIG_UNBLOCK, &watched, nullptr);
    return instance;
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
