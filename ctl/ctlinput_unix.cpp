#include "ctlinput.h"

#include <QSocketNotifier>

#include <cerrno>
#include <unistd.h>

class CCtlInput::Private
{
public:
    QSocketNotifier notifier{STDIN_FILENO, QSocketNotifier::Read};
};

CCtlInput::CCtlInput(QObject *parent)
    : QObject(parent), d(std::make_unique<Private>())
{
    connect(&d->notifier, &QSocketNotifier::activated, this, [this] {
        char buffer[16 * 1024];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            return;
        if (n > 0) {
            handOver(QByteArray::fromRawData(buffer, n));
            return;
        }
        // The end of the input, or an error reading it: no more requests.
        d->notifier.setEnabled(false);
        endOfInput();
    });
}

CCtlInput::~CCtlInput() = default;
