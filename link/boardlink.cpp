#include "boardlink.h"

#include "protocolnumbers.h"
#include "serialerror.h"

#include <QFile>
#include <QFileInfo>

namespace {

// The adapter's node is there to be opened.
bool present(const CommPortTarget &target)
{
#ifdef Q_OS_WIN
    return !target.device.isEmpty(); // COMn: only opening it tells
#else
    return !target.nativePath.isEmpty() && QFileInfo::exists(QFile::decodeName(target.nativePath));
#endif
}

static_assert(CBoardLink::kCloseMarginMs == CMSComm::kCloseMarginMs, "a link's close waits as its port's does");

} // namespace

CBoardLink::CBoardLink(QObject *parent)
    : CAbstractBoardLink(parent)
{
    m_codec.InitTxFrame();
    m_codec.SetByteListener([this] { emit byteReceived(); });
    m_codec.SetReplyListener([this](int code, int value) { onReply(code, value); });
    connect(&m_comm, &CMSComm::OnComm, this, &CBoardLink::onComm);
    connect(&m_comm, &CMSComm::FrameWritten, this, &CBoardLink::onFrameWritten);
}

CBoardLink::~CBoardLink()
{
    // The port closes in its own destructor, after this object's signals
    // have stopped meaning anything.
    m_comm.disconnect(this);
}

void CBoardLink::checkAdapter(const QByteArray &port, const CommPortTarget &target)
{
    if (!m_lost || m_lost->port != port || m_lost->target.identity.isEmpty()
        || m_lost->target.identity == target.identity)
        return;
    const CommPortTarget lost = m_lost->target;
    // Asked once, the next open is the user's choice and takes what is there.
    if (m_adapterCheck == AskOnce)
        m_lost.reset();
    const QString name = QFile::decodeName(port);
    const QString text = m_adapterCheck == AskOnce
        ? tr("%1 现在对应的是另一个设备（%2），不是断开前连接的 %3。请插回原来的适配器；如果要连接现在这个设备，请再连接一次。")
              .arg(name, target.label, lost.label)
        : tr("%1 现在对应的是另一个设备（%2），不是断开前连接的 %3。请插回原来的适配器。").arg(name, target.label, lost.label);
    throw CSerialError(text, CSerialError::OtherAdapter, tr("断开前：%1\n现在：%2").arg(lost.identity, target.identity));
}

void CBoardLink::open(const QByteArray &port)
{
    // The name is looked up here once; the adapter checked is the one opened.
    const std::optional<int> number = port.isEmpty() ? std::nullopt : CommPortNumber(QFile::decodeName(port));
    if (!number)
        throw CSerialError(tr("没有端口 %1：端口是 COM1 到 COM%2，或者一个设备路径。")
                               .arg(QFile::decodeName(port))
                               .arg(kCommPortMax),
                           CSerialError::NoSuchDevice);
    const CommPortTarget target = *number > 0 ? ResolveCommPort(*number) : CommPortTargetForPath(port);
    if (target.device.isEmpty())
        throw NoDeviceError(*number);
    checkAdapter(port, target);

    m_comm.put_CommPort(target);
    m_comm.put_InputMode(CMSComm::comInputModeBinary);
    m_comm.put_Settings(Dimra::kLineSettings);
    m_comm.put_InputLen(Dimra::kReadSize);
    m_comm.put_RThreshold(1);
    m_comm.put_RTSEnable(true);
    m_comm.put_PortOpen(true);
    if (!m_comm.get_PortOpen())
        return;
    m_opened = {port, target};
    m_lost.reset();
    // A reply cut off by an earlier loss must not swallow this board's
    // first reply: the port's stale bytes are gone too.
    m_codec.ResetReplyParser();
    m_bLinked = false;
    m_reported = {};
    emit opened();
    send(CDimraProtocol::CmdOpenLink, 0);
}

void CBoardLink::requestReport()
{
    m_bLinked = false;
    m_reported = {};
    send(CDimraProtocol::CmdOpenLink, 0);
}

void CBoardLink::send(int code, int value)
{
    const QByteArray frame = m_codec.BuildFrame(code, value);
    if (frame.isEmpty())
        return;
    // While the line is busy only the newest value of each setting waits;
    // the open-link frame is never merged away.
    try {
        m_comm.put_Output(frame, code == CDimraProtocol::CmdOpenLink ? COutputQueue::NoMerge : code, value);
    } catch (const CSerialError &e) {
        if (e.kind() == CSerialError::DeviceLost)
            noteLoss();
        throw;
    }
}

CBoardLink::CloseOutcome CBoardLink::close(int marginMs)
{
    m_bLinked = false;
    switch (m_comm.ClosePort(marginMs)) {
    case CMSComm::Drained:
        return Drained;
    case CMSComm::TimedOut:
        return TimedOut;
    case CMSComm::DeviceLost:
        break;
    }
    noteLoss();
    return DeviceLost;
}

int CBoardLink::lostAdapterNumber() const
{
    if (!m_lost || m_lost->target.identity.isEmpty())
        return 0;
    // Only the same adapter, under whatever number and node it has now.
    const CommPortTargets targets = ResolveListedCommPorts();
    for (auto it = targets.cbegin(); it != targets.cend(); ++it)
        if (it->identity == m_lost->target.identity && present(*it))
            return it.key();
    return 0;
}

void CBoardLink::noteLoss()
{
    m_bLinked = false;
    if (!m_opened.port.isEmpty())
        m_lost = m_opened;
}

void CBoardLink::onComm()
{
    switch (m_comm.get_CommEvent()) {
    case CMSComm::comEvReceive:
        m_codec.ReceiveBytes(m_comm.get_Input());
        break;
    case CMSComm::comEvDeviceLost:
        noteLoss();
        emit lost(m_comm.get_ErrorText(), m_comm.get_ErrorDetails());
        break;
    default:
        break;
    }
}

void CBoardLink::onReply(int code, int value)
{
    if (code == CDimraProtocol::CmdChannel1 && !m_bLinked) {
        m_bLinked = true;
        emit linked();
    }
    if (m_bLinked)
        m_reported[code] = value;
    emit valueReported(code, value);
}

void CBoardLink::onFrameWritten(int mergeKey, int value)
{
    if (mergeKey != COutputQueue::NoMerge)
        emit frameSent(mergeKey, value);
}
