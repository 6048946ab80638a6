#include "mscomm.h"

#include "commport.h"
#include "serialerror.h"

#include <QDebug>
#include <QDeadlineTimer>
#include <QFile>
#include <QMetaObject>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

CMSComm::CMSComm(QObject *parent)
    : QObject(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &CMSComm::postReceiveIfWaiting);
    connect(&m_port, &QSerialPort::errorOccurred, this, &CMSComm::onPortError);
}

CMSComm::~CMSComm()
{
    // Closing here, not in QSerialPort's destructor, keeps the error slot
    // from running on a half-destroyed object.
    disconnect(&m_port, nullptr, this, nullptr);
    if (m_port.isOpen())
        m_port.close();
}

QString CMSComm::portLabel() const
{
    return m_strDevicePath.isEmpty() ? QStringLiteral("COM%1").arg(m_nCommPort) : m_strDevicePath;
}

QString CMSComm::deviceLabel(const QString &device) const
{
    return m_strDevicePath.isEmpty() ? QStringLiteral("%1（%2）").arg(device, portLabel()) : device;
}

void CMSComm::put_CommPort(short port)
{
    if (m_port.isOpen())
        throw CSerialError(QStringLiteral("%1 已经打开，不能更换端口；请先断开。").arg(portLabel()));
    if (port < 1 || port > 255)
        throw CSerialError(QStringLiteral("端口号 %1 无效，应在 1 到 255 之间。").arg(port));
    m_nCommPort = port;
}

void CMSComm::put_DevicePath(const QString &path)
{
    if (m_port.isOpen())
        throw CSerialError(QStringLiteral("%1 已经打开，不能更换端口；请先断开。").arg(portLabel()));
    m_strDevicePath = path;
}

void CMSComm::put_InputMode(long mode)
{
    if (mode != comInputModeText && mode != comInputModeBinary)
        throw CSerialError(QStringLiteral("输入模式 %1 无效，应为 0（文本）或 1（二进制）。").arg(mode));
    m_nInputMode = mode;
}

void CMSComm::put_Settings(const QString &settings)
{
    const auto parsed = ParseSerialSettings(settings);
    if (!parsed)
        throw CSerialError(QStringLiteral("串口参数“%1”无效，应写成“波特率,校验位,数据位,停止位”，例如“9600,n,8,1”。")
                               .arg(settings));
    if (m_port.isOpen()) {
        const bool ok = m_port.setBaudRate(parsed->baudRate) && m_port.setParity(parsed->parity)
            && m_port.setDataBits(parsed->dataBits) && m_port.setStopBits(parsed->stopBits);
        if (!ok)
            throw CSerialError(QStringLiteral("%1 不支持串口参数“%2”：%3")
                                   .arg(portLabel(), settings, m_port.errorString()));
    }
    m_settings = *parsed;
}

void CMSComm::put_InputLen(short length)
{
    if (length < 0)
        throw CSerialError(QStringLiteral("InputLen 不能为负数（%1）。").arg(length));
    m_nInputLen = length;
}

void CMSComm::put_RThreshold(short threshold)
{
    if (threshold < 0)
        throw CSerialError(QStringLiteral("RThreshold 不能为负数（%1）。").arg(threshold));
    m_nRThreshold = threshold;
    postReceiveIfWaiting();
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
        if (m_port.isOpen())
            m_port.close();
        return;
    }
    if (m_port.isOpen())
        throw CSerialError(QStringLiteral("%1 已经打开。").arg(portLabel()));

    const CommPortTarget target =
        m_strDevicePath.isEmpty() ? ResolveCommPort(m_nCommPort) : CommPortTarget{m_strDevicePath, QString()};
    if (target.device.isEmpty())
        throw CSerialError(QStringLiteral("无法打开 %1：%2。").arg(portLabel(), target.description),
                           CSerialError::NoSuchDevice);

    m_port.setPortName(target.device);
    m_port.setBaudRate(m_settings.baudRate);
    m_port.setParity(m_settings.parity);
    m_port.setDataBits(m_settings.dataBits);
    m_port.setStopBits(m_settings.stopBits);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite))
        throw openError(target.device);

    // Bytes that waited in the driver before the open belong to nobody.
    m_port.clear();
    // A pseudo-terminal has no RTS line and refuses; the port works all the same.
    m_port.setRequestToSend(m_bRTSEnable);
    m_port.clearError();

    m_strDevice = target.device;
    m_bLossPending = false;
    m_bLossInOutput = false;
}

CSerialError CMSComm::openError(const QString &device) const
{
    const QString where = deviceLabel(device);
    const QString details = m_port.errorString();
    switch (m_port.error()) {
    case QSerialPort::DeviceNotFoundError:
        if (!m_strDevicePath.isEmpty())
            return CSerialError(QStringLiteral("找不到串口设备 %1。请检查设备是否已连接、路径是否写对。").arg(where),
                                CSerialError::NoSuchDevice, details);
        return CSerialError(QStringLiteral("找不到串口设备 %1。请检查设备是否已连接，或用环境变量 %2 指定正确的设备路径。")
                                .arg(where, CommPortVariable(m_nCommPort)),
                            CSerialError::NoSuchDevice, details);
    case QSerialPort::PermissionError: {
#ifdef Q_OS_UNIX
        // Qt reports a lock held by another program as a permission error
        // too; if the device itself is open to us, that is what it was.
        const QByteArray path = QFile::encodeName(device);
        if (::access(path.constData(), R_OK | W_OK) != 0) {
            QString group = QStringLiteral("dialout");
            struct stat st;
            if (::stat(path.constData(), &st) == 0) {
                if (const struct group *gr = ::getgrgid(st.st_gid))
                    group = QString::fromLocal8Bit(gr->gr_name);
            }
            return CSerialError(QStringLiteral("没有权限打开串口 %1。请把当前用户加入拥有该设备的用户组 %2"
                                               "（例如执行 sudo usermod -aG %2 $USER），然后重新登录。")
                                    .arg(where, group),
                                CSerialError::NoPermission, details);
        }
#endif
        return CSerialError(QStringLiteral("串口 %1 正被其他程序占用（port in use by another program），"
                                           "无法打开。请先关闭占用它的程序。")
                                .arg(where),
                            CSerialError::InUse, details);
    }
    case QSerialPort::UnsupportedOperationError: // the device takes no terminal settings
        return CSerialError(QStringLiteral("%1 不是串口设备，无法打开。请检查设备路径。").arg(where),
                            CSerialError::NotSerial, details);
    default:
        return CSerialError(QStringLiteral("无法打开串口 %1：%2。").arg(where, details), CSerialError::Failed, details);
    }
}

void CMSComm::put_Output(const QByteArray &bytes)
{
    if (!m_port.isOpen()) {
        if (m_bLossPending)
            return; // the device is gone and that is being reported already
        throw CSerialError(QStringLiteral("%1 没有打开，无法发送数据。").arg(portLabel()));
    }
    if (m_port.write(bytes) != bytes.size())
        throw CSerialError(QStringLiteral("向 %1 写入数据失败：%2。").arg(portLabel(), m_port.errorString()));

    // Hand the bytes to the driver now, so that a vanished device shows
    // up as an error of this write rather than later.
    ++m_nOutputDepth;
    m_port.flush();
    --m_nOutputDepth;
    if (m_bLossInOutput) {
        m_bLossInOutput = false;
        throw CSerialError(m_strLossText, CSerialError::DeviceLost);
    }
}

bool CMSComm::WaitForOutputDrained(int msecs)
{
    QDeadlineTimer deadline(msecs);
    while (m_port.isOpen() && m_port.bytesToWrite() > 0 && !deadline.hasExpired())
        m_port.waitForBytesWritten(int(deadline.remainingTime()));
    if (!m_port.isOpen() || m_port.bytesToWrite() > 0)
        return false;
#ifdef Q_OS_UNIX
    ::tcdrain(m_port.handle());
#endif
    return true;
}

QByteArray CMSComm::get_Input()
{
    if (!m_port.isOpen())
        throw CSerialError(QStringLiteral("%1 没有打开，无法读取数据。").arg(portLabel()));
    return m_nInputLen > 0 ? m_port.read(m_nInputLen) : m_port.readAll();
}

void CMSComm::onPortError(QSerialPort::SerialPortError error)
{
    // Qt 6.4 reports the end of a vanished device as a read, write or
    // resource error, often with a stale errno, and repeats it for as long
    // as the port stays open: close at once and announce the loss once.
    if (error != QSerialPort::ReadError && error != QSerialPort::WriteError
        && error != QSerialPort::ResourceError)
        return;
    if (!m_port.isOpen())
        return;

    m_strLossText = QStringLiteral("与串口 %1 的连接已中断：%2。设备可能已被拔出，或对端已关闭。")
                        .arg(deviceLabel(m_strDevice), m_port.errorString());
    m_port.close();
    if (m_nOutputDepth > 0) {
        m_bLossInOutput = true; // put_Output reports it by throwing
        return;
    }
    m_bLossPending = true;
    post(comEvDeviceLost);
}

bool CMSComm::receiveWaiting() const
{
    return m_nRThreshold > 0 && m_port.isOpen() && m_port.bytesAvailable() >= m_nRThreshold;
}

void CMSComm::postReceiveIfWaiting()
{
    if (m_bReceivePosted || !receiveWaiting())
        return;
    m_bReceivePosted = true;
    post(comEvReceive);
}

void CMSComm::post(CommEvent event)
{
    QMetaObject::invokeMethod(this, [this, event] { deliver(event); }, Qt::QueuedConnection);
}

void CMSComm::deliver(CommEvent event)
{
    if (event == comEvReceive) {
        m_bReceivePosted = false;
        if (m_nHold > 0) {
            m_bReceiveHeld = true;
            return;
        }
        if (!receiveWaiting())
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
        postReceiveIfWaiting(); // more than InputLen bytes were waiting
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
        postReceiveIfWaiting();
    }
    if (m_bLossHeld) {
        m_bLossHeld = false;
        post(comEvDeviceLost);
    }
}
