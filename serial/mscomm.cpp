#include "mscomm.h"

#include "opendiagnosis.h"
#include "serialerror.h"

#include <QDeadlineTimer>
#include <QMetaObject>
#include <QThread>

#include <cmath>

namespace {

// Received bytes the port keeps while nobody reads them (events held during
// a field exchange); beyond that the system's own buffers hold the line back.
constexpr qint64 kReadBufferSize = 64 * 1024;

// A USB adapter sends its last bytes from a buffer of its own after the
// driver has let go of them; the line's settings change only after that.
constexpr int kAdapterTailBytes = 2;

} // namespace

CMSComm::CMSComm(QObject *parent)
    : QObject(parent)
{
    m_commPort.number = 1; // COM1 until told otherwise, as the control's default
    m_port.setReadBufferSize(kReadBufferSize);
    m_pacer.setByteTimeUs(ByteTimeUs(m_settings));
    connect(&m_pacer, &COutputPacer::frameWritten, this, &CMSComm::FrameWritten);
    connect(&m_pacer, &COutputPacer::writeFailed, this, &CMSComm::OnWriteFailed);
    connect(&m_port, &CSerialPort::readyRead, this, &CMSComm::PostReceiveIfWaiting);
    connect(&m_port, &CSerialPort::readFailed, this, &CMSComm::OnReadFailed);
}

CMSComm::~CMSComm()
{
    // Closing here, not in the port's destructor, keeps the error slot from
    // running on a half-destroyed object.
    disconnect(&m_port, nullptr, this, nullptr);
    m_port.close();
    m_lock.release();
}

QString CMSComm::PortLabel() const
{
    return m_commPort.number > 0 ? CommPortName(m_commPort.number) : m_commPort.device;
}

QString CMSComm::DeviceLabel() const
{
    // On Windows COMn is the device itself: said once.
    if (m_commPort.number == 0 || m_commPort.device == PortLabel())
        return m_commPort.device;
    return tr("%1（%2）", "a device and the port that names it").arg(m_commPort.device, PortLabel());
}

void CMSComm::put_CommPort(const CommPortTarget &port)
{
    if (m_port.isOpen())
        throw CSerialError(tr("%1 已经打开，不能更换端口；请先断开。").arg(PortLabel()));
    m_commPort = port;
}

void CMSComm::put_InputMode(long mode)
{
    if (mode != comInputModeText && mode != comInputModeBinary)
        throw CSerialError(tr("输入模式 %1 无效，应为 0（文本）或 1（二进制）。").arg(mode));
}

void CMSComm::put_Settings(const QString &settings)
{
    const auto parsed = ParseSerialSettings(settings);
    if (!parsed)
        throw CSerialError(tr("串口参数“%1”无效，应写成“波特率,校验位,数据位,停止位”，例如“9600,n,8,1”。")
                               .arg(settings));
    if (m_port.isOpen() && !m_port.applySettings(*parsed))
        throw CSerialError(tr("%1 不支持串口参数“%2”：%3").arg(PortLabel(), settings, m_port.errorString()));
    m_settings = *parsed;
    m_pacer.setByteTimeUs(ByteTimeUs(m_settings));
}

void CMSComm::put_InputLen(short length)
{
    if (length < 0)
        throw CSerialError(tr("InputLen 不能为负数（%1）。").arg(length));
    m_nInputLen = length;
}

void CMSComm::put_RThreshold(short threshold)
{
    if (threshold < 0)
        throw CSerialError(tr("RThreshold 不能为负数（%1）。").arg(threshold));
    m_nRThreshold = threshold;
    PostReceiveIfWaiting();
}

void CMSComm::put_RTSEnable(bool enable)
{
    m_bRTSEnable = enable;
    if (m_port.isOpen())
        m_port.setRequestToSend(enable); // a line without RTS (a pseudo-terminal) refuses; harmless
}

bool CMSComm::get_PortOpen() const
{
    return m_port.isOpen();
}

void CMSComm::put_PortOpen(bool open)
{
    if (!open) {
        ClosePort(kCloseMarginMs);
        return;
    }
    if (m_port.isOpen())
        throw CSerialError(tr("%1 已经打开。").arg(PortLabel()));

    const QByteArray &path = m_commPort.nativePath;
    const QString variable = m_commPort.number > 0 ? CommPortVariable(m_commPort.number) : QString();
    // A terminal that is no serial line (a console, the pseudo-terminal
    // multiplexer) is refused before anything is locked or opened.
    CheckSerialDevice(DeviceLabel(), path, variable);
    // The lock first, then the open through the lock's own handle: the
    // device locked is the device opened.
    m_lock.acquire(path, DeviceLabel());
    if (!m_port.open(m_lock.openName().isEmpty() ? path : m_lock.openName(), m_settings)) {
        m_lock.release();
        throw DiagnoseOpenFailure(DeviceLabel(), path, m_port.systemError(), m_port.errorString(), variable);
    }

    // Bytes that waited in the driver before the open belong to nobody.
    m_port.clearInput();
    // A pseudo-terminal has no RTS line and refuses; the port works all the same.
    m_port.setRequestToSend(m_bRTSEnable);

    m_bLossPending = false;
    m_bLossInOutput = false;
    m_pacer.clear(true);
}

void CMSComm::put_Output(const QByteArray &bytes, int mergeKey, int tag)
{
    if (!m_port.isOpen()) {
        if (m_bLossPending)
            return; // the device is gone and that is being reported already
        throw CSerialError(tr("%1 没有打开，无法发送数据。").arg(PortLabel()));
    }
    // A vanished device found while sending shows up as an error of this write.
    ++m_nOutputDepth;
    m_pacer.push(bytes, mergeKey, tag);
    --m_nOutputDepth;
    if (m_bLossInOutput) {
        m_bLossInOutput = false;
        throw CSerialError(m_strLossText, CSerialError::DeviceLost, m_strLossDetails);
    }
}

qint64 CMSComm::get_InBufferCount() const
{
    return m_port.isOpen() ? m_port.bytesAvailable() : 0;
}

qint64 CMSComm::get_OutBufferCount() const
{
    return m_pacer.byteCount();
}

CMSComm::CloseOutcome CMSComm::ClosePort(int marginMs)
{
    CloseOutcome outcome = m_bLossPending ? DeviceLost : Drained;
    if (m_port.isOpen()) {
        // What waits is at most one frame per setting: the board gets the
        // values the user set last before the port closes.
        const qint64 waiting = m_pacer.byteCount() + m_pacer.bytesOnLine();
        const int lineMs = int(std::ceil(waiting * m_pacer.byteTimeUs() / 1000));
        if (!WaitForOutputDrained(lineMs + marginMs))
            outcome = m_port.isOpen() ? TimedOut : DeviceLost;
        else if (waiting > 0)
            QThread::usleep(qint64(kAdapterTailBytes * m_pacer.byteTimeUs()));
        // Restores the settings the line had before the open.
        m_port.close();
    }
    m_pacer.clear();
    m_lock.release();
    return outcome;
}

bool CMSComm::WaitForOutputDrained(int msecs)
{
    QDeadlineTimer deadline(msecs);
    while (m_port.isOpen()) {
        m_pacer.pump();
        if (m_pacer.isEmpty() && m_pacer.bytesOnLine() == 0)
            break;
        if (deadline.hasExpired())
            return false;
        QThread::usleep(qMax<qint64>(100, qint64(m_pacer.byteTimeUs())));
    }
    if (!m_port.isOpen())
        return false;
    m_port.drain();
    return true;
}

QByteArray CMSComm::get_Input()
{
    if (!m_port.isOpen())
        throw CSerialError(tr("%1 没有打开，无法读取数据。").arg(PortLabel()));
    return m_port.read(m_nInputLen);
}

void CMSComm::OnReadFailed(int error)
{
    if (!m_port.isOpen())
        return;
    // The port reads no more after a failed read: whatever the device says
    // of itself, the line is lost.
    const QString reason = m_port.lossReason(m_commPort.nativePath, m_commPort.device, error);
    LoseDevice(reason.isEmpty() ? qt_error_string(error) : reason);
}

void CMSComm::OnWriteFailed(int error)
{
    const QString reason = m_port.lossReason(m_commPort.nativePath, m_commPort.device, error);
    if (!reason.isEmpty())
        LoseDevice(reason);
}

void CMSComm::LoseDevice(const QString &reason)
{
    // Close at once: a failed read reads no more, and a gone device takes
    // nothing. The loss is announced once.
    m_strLossText = tr("与串口 %1 的连接已中断。设备可能已被拔出，或对端已关闭。").arg(DeviceLabel());
    m_strLossDetails = reason;
    m_pacer.clear();
    m_port.close();
    m_lock.release();
    if (m_nOutputDepth > 0) {
        m_bLossInOutput = true; // put_Output reports it by throwing
        return;
    }
    m_bLossPending = true;
    Post(comEvDeviceLost);
}

bool CMSComm::ReceiveWaiting() const
{
    return m_nRThreshold > 0 && m_port.isOpen() && m_port.bytesAvailable() >= m_nRThreshold;
}

void CMSComm::PostReceiveIfWaiting()
{
    if (m_bReceivePosted || !ReceiveWaiting())
        return;
    m_bReceivePosted = true;
    Post(comEvReceive);
}

void CMSComm::Post(CommEvent event)
{
    QMetaObject::invokeMethod(this, [this, event] { Deliver(event); }, Qt::QueuedConnection);
}

void CMSComm::Deliver(CommEvent event)
{
    if (event == comEvReceive) {
        m_bReceivePosted = false;
        if (m_nHold > 0) {
            m_bReceiveHeld = true;
            return;
        }
        if (!ReceiveWaiting())
            return;
    } else {
        if (m_nHold > 0) {
            m_bLossHeld = true;
            return;
        }
        m_bLossPending = false;
        if (m_port.isOpen())
            return; // reopened since: the loss is history
    }

    m_nCommEvent = event;
    try {
        emit OnComm();
    } catch (const std::exception &e) {
        // Handlers are expected to deal with their errors; an exception must
        // still never unwind through the event loop.
        qCritical("Dimra: unhandled error in a serial event handler: %s", e.what());
    }
    if (event == comEvReceive)
        PostReceiveIfWaiting(); // more than InputLen bytes were waiting
}

void CMSComm::HoldEvents()
{
    ++m_nHold;
}

void CMSComm::ReleaseEvents()
{
    if (m_nHold == 0 || --m_nHold > 0)
        return;
    if (m_bReceiveHeld) {
        m_bReceiveHeld = false;
        PostReceiveIfWaiting();
    }
    if (m_bLossHeld) {
        m_bLossHeld = false;
        Post(comEvDeviceLost);
    }
}
