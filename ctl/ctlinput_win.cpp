#include "ctlinput.h"

#include <QMetaObject>
#include <QPointer>

#include <thread>

#include <windows.h>

// Standard input is a console or a pipe, neither of which the event loop
// can watch: a thread of its own reads it with blocking reads and hands
// what it read to the object's thread. At the program's end the thread is
// still in its read; the process's exit ends it.
class CCtlInput::Private
{
public:
    std::thread reader;
};

CCtlInput::CCtlInput(QObject *parent)
    : QObject(parent), d(std::make_unique<Private>())
{
    const QPointer<CCtlInput> self(this);
    d->reader = std::thread([self] {
        const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
        char buffer[16 * 1024];
        DWORD n = 0;
        while (input != nullptr && input != INVALID_HANDLE_VALUE && ReadFile(input, buffer, sizeof buffer, &n, nullptr)
               && n > 0) {
            const QByteArray bytes(buffer, int(n));
            QMetaObject::invokeMethod(self, [self, bytes] {
                if (self)
                    self->handOver(bytes);
            }, Qt::QueuedConnection);
        }
        // The end of the input, or an error reading it: no more requests.
        QMetaObject::invokeMethod(self, [self] {
            if (self)
                self->endOfInput();
        }, Qt::QueuedConnection);
    });
    d->reader.detach();
}

CCtlInput::~CCtlInput() = default;
