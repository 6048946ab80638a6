#include "serialport.h"

#include "opendiagnosis.h"

#include <QMetaObject>

#include <condition_variable>
#include <list>
#include <mutex>
#include <thread>
#include <utility>

#include <windows.h>

namespace {

constexpr DWORD kReadChunk = 4096;
// A read ends this long after the last byte of a burst, or after
// kReadWaitMs with nothing received; the reader looks at its stop flag in
// between. (Wine keeps an overlapped read whose interval timeout is MAXDWORD
// pending until the far end hangs up, so the interval is a real one.)
constexpr DWORD kReadIntervalMs = 20;
constexpr DWORD kReadWaitMs = 200;

// "COM3" as the system opens it: "\\.\COM3" (required from COM10 on).
QString deviceName(const QByteArray &path)
{
    const QString name = QString::fromLocal8Bit(path);
    return name.startsWith(QLatin1String("\\\\")) ? name : QStringLiteral("\\\\.\\") + name;
}

// The line's settings on top of the device's own: framing as asked, no flow
// control of either kind, DTR raised, RTS as last set.
bool toDcb(const SerialSettings &settings, bool rts, DCB *dcb)
{
    if (settings.baudRate <= 0 || settings.dataBits < 5 || settings.dataBits > 8)
        return false;
    dcb->BaudRate = DWORD(settings.baudRate);
    dcb->ByteSize = BYTE(settings.dataBits);
    switch (settings.parity) {
    case SerialSettings::NoParity: dcb->Parity = NOPARITY; break;
    case SerialSettings::OddParity: dcb->Parity = ODDPARITY; break;
    case SerialSettings::EvenParity: dcb->Parity = EVENPARITY; break;
    case SerialSettings::MarkParity: dcb->Parity = MARKPARITY; break;
    case SerialSettings::SpaceParity: dcb->Parity = SPACEPARITY; break;
    }
    switch (settings.stopBits) {
    case SerialSettings::OneStop: dcb->StopBits = ONESTOPBIT; break;
    case SerialSettings::OneAndHalfStop: dcb->StopBits = ONE5STOPBITS; break;
    case SerialSettings::TwoStop: dcb->StopBits = TWOSTOPBITS; break;
    }
    dcb->fBinary = TRUE;
    dcb->fParity = settings.parity != SerialSettings::NoParity;
    dcb->fOutxCtsFlow = FALSE;
    dcb->fOutxDsrFlow = FALSE;
    dcb->fDtrControl = DTR_CONTROL_ENABLE;
    dcb->fDsrSensitivity = FALSE;
    dcb->fTXContinueOnXoff = TRUE;
    dcb->fOutX = FALSE;
    dcb->fInX = FALSE;
    dcb->fErrorChar = FALSE;
    dcb->fNull = FALSE;
    dcb->fRtsControl = rts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    dcb->fAbortOnError = FALSE;
    return true;
}

// A write handed to the driver and not yet finished: its bytes and its
// OVERLAPPED must stay where they are until then.
struct PendingWrite
{
    OVERLAPPED overlapped = {};
    QByteArray bytes;
};

} // namespace

struct CSerialPort::Platform
{
    HANDLE handle = INVALID_HANDLE_VALUE;
    DCB restore = {}; // the line's settings before the open
    COMMTIMEOUTS restoreTimeouts = {};
    bool rts = true;
    quint64 generation = 0; // which open a posted event belongs to

    // Shared with the reader thread.
    std::mutex mutex;
    std::condition_variable room; // the reader waits here while the buffer is full
    QByteArray buffer;
    qint64 bufferSize = 0; // 0: unbounded
    bool stopping = false;
    bool announced = false; // a readyRead is on its way
    OVERLAPPED readOverlapped = {};
    std::thread reader;

    // The event loop's thread only.
    std::list<PendingWrite> writes;
    DWORD writeError = 0; // of a write that failed after it was handed over

    void readLoop(CSerialPort *owner, quint64 open);
    void reapWrites(bool wait);
};

void CSerialPort::Platform::readLoop(CSerialPort *owner, quint64 open)
{
    char chunk[kReadChunk];
    for (;;) {
        DWORD want = kReadChunk;
        {
            std::unique_lock<std::mutex> lock(mutex);
            room.wait(lock, [this] { return stopping || bufferSize <= 0 || buffer.size() < bufferSize; });
            if (stopping)
                return;
            if (bufferSize > 0)
                want = DWORD(qMin<qint64>(kReadChunk, bufferSize - buffer.size()));
            ResetEvent(readOverlapped.hEvent);
        }
        DWORD got = 0;
        DWORD failure = 0;
        if (!ReadFile(handle, chunk, want, nullptr, &readOverlapped) && GetLastError() != ERROR_IO_PENDING)
            failure = GetLastError();
        else if (!GetOverlappedResult(handle, &readOverlapped, &got, TRUE))
            failure = GetLastError();
        // Wine ends a read that timed out with ERROR_TIMEOUT where Windows
        // reports success: either way, what came is all there is.
        if (failure == ERROR_TIMEOUT)
            failure = 0;

        std::lock_guard<std::mutex> lock(mutex);
        if (stopping)
            return; // the close cancelled the read
        if (failure != 0) {
            // The last word of this open: the port reads no more.
            QMetaObject::invokeMethod(owner, [owner, open, failure] {
                if (owner->d->generation == open && owner->isOpen())
                    emit owner->readFailed(int(failure));
            }, Qt::QueuedConnection);
            return;
        }
        if (got == 0)
            continue;
        buffer.append(chunk, int(got));
        if (!announced) {
            announced = true;
            QMetaObject::invokeMethod(owner, [owner, open] {
                {
                    std::lock_guard<std::mutex> relock(owner->d->mutex);
                    owner->d->announced = false;
                }
                if (owner->d->generation == open && owner->isOpen())
                    emit owner->readyRead();
            }, Qt::QueuedConnection);
        }
    }
}

void CSerialPort::Platform::reapWrites(bool wait)
{
    for (auto it = writes.begin(); it != writes.end();) {
        DWORD written = 0;
        if (!GetOverlappedResult(handle, &it->overlapped, &written, wait)) {
            const DWORD failure = GetLastError();
            if (failure == ERROR_IO_INCOMPLETE)
                return; // those after it are later still
            if (failure != ERROR_OPERATION_ABORTED)
                writeError = failure;
        }
        CloseHandle(it->overlapped.hEvent);
        it = writes.erase(it);
    }
}

CSerialPort::CSerialPort(QObject *parent)
    : QObject(parent), d(std::make_unique<Platform>())
{
}

CSerialPort::~CSerialPort()
{
    close();
}

bool CSerialPort::open(const QByteArray &path, const SerialSettings &settings)
{
    close();
    m_error = 0;
    const QString name = deviceName(path);
    HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t *>(name.utf16()), GENERIC_READ | GENERIC_WRITE, 0,
                                nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    const auto refuse = [this, &handle](DWORD error) {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        m_error = int(error);
        return false;
    };
    if (handle == INVALID_HANDLE_VALUE)
        return refuse(GetLastError());
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    // Something that has no line settings is no serial port.
    if (!GetCommState(handle, &dcb) || !GetCommTimeouts(handle, &d->restoreTimeouts))
        return refuse(ERROR_NOT_SUPPORTED);
    d->restore = dcb;
    d->rts = true;
    if (!toDcb(settings, d->rts, &dcb))
        return refuse(ERROR_INVALID_PARAMETER);
    if (!SetCommState(handle, &dcb))
        return refuse(GetLastError());
    COMMTIMEOUTS timeouts = {kReadIntervalMs, 0, kReadWaitMs, 0, 0};
    if (!SetCommTimeouts(handle, &timeouts))
        return refuse(GetLastError());

    d->handle = handle;
    const quint64 open = ++d->generation;
    d->buffer.clear();
    d->stopping = false;
    d->announced = false;
    d->writeError = 0;
    d->readOverlapped = {};
    d->readOverlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    d->reader = std::thread([this, open] { d->readLoop(this, open); });
    return true;
}

bool CSerialPort::isOpen() const
{
    return d->handle != INVALID_HANDLE_VALUE;
}

void CSerialPort::close()
{
    if (d->handle == INVALID_HANDLE_VALUE)
        return;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->stopping = true;
        CancelIoEx(d->handle, &d->readOverlapped);
    }
    d->room.notify_all();
    d->reader.join();
    CloseHandle(d->readOverlapped.hEvent);
    // What has not gone out by now is given up; the OVERLAPPEDs stay valid
    // until the driver has let go of them.
    for (PendingWrite &write : d->writes)
        CancelIoEx(d->handle, &write.overlapped);
    d->reapWrites(true);
    SetCommState(d->handle, &d->restore);
    SetCommTimeouts(d->handle, &d->restoreTimeouts);
    CloseHandle(d->handle);
    d->handle = INVALID_HANDLE_VALUE;
    ++d->generation;
    d->buffer.clear();
    d->writeError = 0;
}

bool CSerialPort::applySettings(const SerialSettings &settings)
{
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (d->handle == INVALID_HANDLE_VALUE || !GetCommState(d->handle, &dcb))
        return false;
    if (!toDcb(settings, d->rts, &dcb)) {
        m_error = ERROR_INVALID_PARAMETER;
        return false;
    }
    if (!SetCommState(d->handle, &dcb)) {
        m_error = int(GetLastError());
        return false;
    }
    return true;
}

void CSerialPort::setRequestToSend(bool on)
{
    d->rts = on;
    if (d->handle != INVALID_HANDLE_VALUE)
        EscapeCommFunction(d->handle, on ? SETRTS : CLRRTS);
}

void CSerialPort::clearInput()
{
    if (d->handle != INVALID_HANDLE_VALUE)
        PurgeComm(d->handle, PURGE_RXCLEAR);
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->buffer.clear();
    }
    d->room.notify_all();
}

qint64 CSerialPort::bytesAvailable() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->buffer.size();
}

QByteArray CSerialPort::read(qint64 maxSize)
{
    QByteArray taken;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        taken = maxSize > 0 ? d->buffer.left(maxSize) : d->buffer;
        d->buffer.remove(0, taken.size());
    }
    d->room.notify_all();
    return taken;
}

void CSerialPort::setReadBufferSize(qint64 size)
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->bufferSize = size;
    }
    d->room.notify_all();
}

qint64 CSerialPort::write(const QByteArray &bytes, int *error)
{
    *error = 0;
    if (d->handle == INVALID_HANDLE_VALUE) {
        *error = ERROR_INVALID_HANDLE;
        return -1;
    }
    d->reapWrites(false);
    if (d->writeError != 0) {
        *error = int(std::exchange(d->writeError, 0));
        return -1;
    }
    // Overlapped: the driver takes the bytes now and sends them as the line
    // goes; the pacer above sees them in queuedOutput until they have left.
    PendingWrite &pending = d->writes.emplace_back();
    pending.bytes = bytes;
    pending.overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!WriteFile(d->handle, pending.bytes.constData(), DWORD(pending.bytes.size()), nullptr, &pending.overlapped)
        && GetLastError() != ERROR_IO_PENDING) {
        *error = int(GetLastError());
        CloseHandle(pending.overlapped.hEvent);
        d->writes.pop_back();
        return -1;
    }
    return bytes.size();
}

qint64 CSerialPort::queuedOutput() const
{
    if (d->handle == INVALID_HANDLE_VALUE)
        return 0;
    d->reapWrites(false);
    qint64 pending = 0;
    for (const PendingWrite &write : d->writes)
        pending += write.bytes.size();
    // cbOutQue counts what the driver still has to send, where it tells.
    DWORD errors = 0;
    COMSTAT status = {};
    if (ClearCommError(d->handle, &errors, &status))
        pending = qMax<qint64>(pending, status.cbOutQue);
    return pending;
}

void CSerialPort::drain()
{
    if (d->handle == INVALID_HANDLE_VALUE)
        return;
    d->reapWrites(true);
    FlushFileBuffers(d->handle);
}

QString CSerialPort::lossReason(const QByteArray &path, const QString &device, int error) const
{
    Q_UNUSED(path);
    Q_UNUSED(device);
    if (error != 0 && DeviceGoneError(quint32(error)))
        return qt_error_string(error);
    if (d->handle == INVALID_HANDLE_VALUE)
        return QString();
    // A removed adapter refuses even to tell its state.
    DWORD errors = 0;
    COMSTAT status = {};
    if (ClearCommError(d->handle, &errors, &status))
        return QString();
    const DWORD failure = GetLastError();
    return DeviceGoneError(failure) ? qt_error_string(int(failure)) : QString();
}
