#include "boardlink.h"

#include "protocolnumbers.h"

#include <QRegularExpression>
#include <QFile>

CBoardLink::CBoardLink(QObject *parent)
    : QObject(parent)
{
    m_codec.InitTxFrame();
    m_codec.setByteListener([this] { emit byteReceived(); });
    m_codec.setReplyListener([this](int code, int value) { onReply(code, value); });
    connect(&m_comm, &CMSComm::OnComm, this, &CBoardLink::onComm);
    connect(&m_comm, &CMSComm::frameWritten, this, &CBoardLink::onFrameWritten);
}

CBoardLink::~CBoardLink()
{
    // The port closes in its own destructor, after this object's signals
    // have stopped meaning anything.
    m_comm.disconnect(this);
}

void CBoardLink::open(int portNumber, const QString &devicePath)
{
    open(portNumber, QFile::encodeName(devicePath));
}

void CBoardLink::open(int portNumber, const QByteArray &devicePath)
{
    m_comm.put_DevicePath(portNumber > 0 ? QByteArray() : devicePath);
    if (portNumber > 0)
        m_comm.put_CommPort(short(portNumber));
    m_comm.put_InputMode(CMSComm::comInputModeBinary);
    m_comm.put_Settings(Dimra::kLineSettings);
    m_comm.put_InputLen(Dimra::kReadSize);
    m_comm.put_RThreshold(1);
    m_comm.put_RTSEnable(true);
    m_comm.put_PortOpen(true);
    if (!m_comm.get_PortOpen())
        return;
    // A reply cut off by an earlier loss must not swallow this board's
    // first reply: the port's stale bytes are gone too.
    m_codec.ResetReplyParser();
    m_bLinked = false;
    m_reported = {};
    emit opened();
    m_comm.put_Output(m_codec.buildFrame(CDimraProtocol::CmdOpenLink, 0));
}

void CBoardLink::requestReport()
{
    m_bLinked = false;
    m_reported = {};
    m_comm.put_Output(m_codec.buildFrame(CDimraProtocol::CmdOpenLink, 0));
}

void CBoardLink::send(int code, int value)
{
    const QByteArray frame = m_codec.buildFrame(code, value);
    if (frame.isEmpty())
        return;
    // While the line is busy only the newest value of each setting waits;
    // the open-link frame is never merged away.
    m_comm.put_Output(frame, code == CDimraProtocol::CmdOpenLink ? COutputQueue::NoMerge : code, value);
}

CMSComm::CloseOutcome CBoardLink::close(int marginMs)
{
    m_bLinked = false;
    return m_comm.ClosePort(marginMs);
}

void CBoardLink::receive(const QByteArray &bytes)
{
    m_codec.ReceiveBytes(bytes);
}

void CBoardLink::onComm()
{
    switch (m_comm.get_CommEvent()) {
    case CMSComm::comEvReceive:
        receive(m_comm.get_Input());
        break;
    case CMSComm::comEvDeviceLost:
        m_bLinked = false;
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

std::optional<int> portNumberOf(const QString &port)
{
    static const QRegularExpression com(QStringLiteral("^COM([0-9]+)$"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = com.match(port);
    if (!match.hasMatch())
        return 0;
    bool ok = false;
    const int n = match.captured(1).toInt(&ok);
    if (!ok || n < 1 || n > Dimra::kPortCount)
        return std::nullopt;
    return n;
}
