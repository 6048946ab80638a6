#include "boardlink.h"

#include "protocolnumbers.h"

CBoardLink::CBoardLink(QObject *parent)
    : QObject(parent)
{
    InitTxFrame();
    connect(&m_comm, &CMSComm::OnComm, this, &CBoardLink::onComm);
}

CBoardLink::~CBoardLink()
{
    m_comm.disconnect(this);
}

void CBoardLink::Open(int n, const QString &devicePath)
{
    if (n > 0)
        m_comm.put_CommPort(short(n));
    else
        m_comm.put_DevicePath(devicePath);
    m_comm.put_InputMode(CMSComm::comInputModeBinary);
    m_comm.put_Settings(Dimra::kLineSettings);
    m_comm.put_InputLen(Dimra::kReadSize);
    m_comm.put_RThreshold(1);
    m_comm.put_RTSEnable(true);
    m_comm.put_PortOpen(true);
    ResetReplyParser();
}

void CBoardLink::RequestReport()
{
    m_bLinked = false;
    m_reported = {};
    SendCommand(CmdOpenLink, 0);
}

bool CBoardLink::DrainAndClose(int msecs)
{
    const bool drained = m_comm.WaitForOutputDrained(msecs);
    m_comm.put_PortOpen(false);
    return drained;
}

void CBoardLink::SetSliderPos(int code, int position)
{
    // ApplyReply has set the link flag before a channel 1 reply gets here.
    if (m_bLinked)
        m_reported[code] = position;
    emit replied(code, position);
}

void CBoardLink::WriteFrame(const QByteArray &bytes)
{
    m_comm.put_Output(bytes);
}

void CBoardLink::onComm()
{
    switch (m_comm.get_CommEvent()) {
    case CMSComm::comEvReceive:
        ReceiveBytes(m_comm.get_Input());
        break;
    case CMSComm::comEvDeviceLost:
        emit lost(m_comm.get_ErrorText());
        break;
    default:
        break;
    }
}
