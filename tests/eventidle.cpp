#include "eventidle.h"

#include "boardlink.h"
#include "mscomm.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace {

// Counts every event the application delivers: posted and queued calls,
// timers, and socket notifiers (a serial port's bytes arriving).
class EventCounter : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *) override
    {
        ++count;
        return false;
    }
};

} // namespace

bool ProcessEventsUntilIdle(const std::function<bool()> &stillBusy, int timeoutMs)
{
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    EventCounter counter;
    QCoreApplication::instance()->installEventFilter(&counter);
    const QDeadlineTimer deadline(timeoutMs);
    bool idle = false;
    while (!idle && !deadline.hasExpired()) {
        counter.count = 0;
        // Without WaitForMoreEvents this never blocks: it delivers what is
        // ready now, including descriptors that poll shows readable.
        const bool dispatched = dispatcher->processEvents(QEventLoop::AllEvents);
        if (dispatched || counter.count > 0)
            continue;
        if (stillBusy && stillBusy()) {
            QThread::msleep(1); // a timer moves it on
            continue;
        }
        idle = true;
    }
    QCoreApplication::instance()->removeEventFilter(&counter);
    if (!idle)
        qWarning("the event loop did not come to rest within %d ms", timeoutMs);
    return idle;
}

bool ProcessEventsUntilIdle(const CMSComm &comm, const std::function<bool()> &stillBusy, int timeoutMs)
{
    return ProcessEventsUntilIdle(
        [&] { return comm.get_OutBufferCount() > 0 || (stillBusy && stillBusy()); }, timeoutMs);
}

bool ProcessEventsUntilIdle(const CAbstractBoardLink &link, const std::function<bool()> &stillBusy, int timeoutMs)
{
    const auto *serial = qobject_cast<const CBoardLink *>(&link);
    return ProcessEventsUntilIdle(
        [&] { return (serial && serial->bytesWaiting() > 0) || (stillBusy && stillBusy()); }, timeoutMs);
}
