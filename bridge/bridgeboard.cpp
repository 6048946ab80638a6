#include "bridgeboard.h"

#include "protocolnumbers.h"
#include "serialerror.h"

#include <QCoreApplication>

namespace {

constexpr int kFirstRetryMs = 500;
constexpr int kMaxRetryMs = 30000;
constexpr int kAnswerMs = 3000; // a board that has not answered by then is reported
constexpr int kReportMs = 300;  // how long the board's report after linking may take

// What the window's slider shows for a reported value.
int shownValue(int code, int value)
{
    return code == CDimraProtocol::CmdFrequency ? qBound(Dimra::kFrequencyMin, value, Dimra::kFrequencyMax)
                                                : qBound(Dimra::kDutyMin, value, Dimra::kDutyMax);
}

} // namespace

CBridgeBoard::CBridgeBoard(const BridgeBoardConfig &config, QObject *parent)
    : QObject(parent)
    , m_config(config)
{
    m_retryTimer.setSingleShot(true);
    m_answerTimer.setSingleShot(true);
    m_reportTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &CBridgeBoard::open);
    connect(&m_answerTimer, &QTimer::timeout, this, &CBridgeBoard::noAnswer);
    connect(&m_reportTimer, &QTimer::timeout, this, &CBridgeBoard::sendOwed);
    connect(&m_link, &CBoardLink::linked, this, &CBridgeBoard::onLinked);
    connect(&m_link, &CBoardLink::valueReported, this, &CBridgeBoard::onReported);
    connect(&m_link, &CBoardLink::frameSent, this, &CBridgeBoard::onSent);
    connect(&m_link, &CBoardLink::lost, this, &CBridgeBoard::onLost);
}

void CBridgeBoard::start()
{
    open();
}

void CBridgeBoard::logOnce(const QString &problem)
{
    if (problem == m_strLastProblem)
        return;
    m_strLastProblem = problem;
    emit logged(problem);
}

void CBridgeBoard::open()
{
    const int n = portNumberOf(m_config.port).value_or(0);
    try {
        m_link.open(n, n > 0 ? QString() : m_config.port);
    } catch (const CSerialError &error) {
        retryOpen(tr("cannot open %1: %2").arg(m_config.port, error.text()));
        return;
    }
    m_nRetryMs = 0;
    m_nAnswerMs = kAnswerMs;
    m_answerTimer.start(m_nAnswerMs);
    const QString device = m_link.devicePath();
    emit logged(device == m_config.port ? tr("%1 is open; waiting for the board").arg(device)
                                        : tr("%1 (%2) is open; waiting for the board").arg(m_config.port, device));
}

void CBridgeBoard::retryOpen(const QString &problem)
{
    m_nRetryMs = m_nRetryMs == 0 ? kFirstRetryMs : qMin(m_nRetryMs * 2, kMaxRetryMs);
    logOnce(tr("%1; trying again").arg(problem));
    m_retryTimer.start(m_nRetryMs);
}

void CBridgeBoard::noAnswer()
{
    if (!m_link.isOpen())
        return;
    logOnce(tr("the board on %1 does not answer the connect frame; check its power and cable, and that it is a "
               "Dimra board at 9600 baud")
                .arg(m_config.port));
    try {
        m_link.requestReport();
    } catch (const CSerialError &error) {
        onLost(error.text(), error.details());
        return;
    }
    m_nAnswerMs = qMin(m_nAnswerMs * 2, kMaxRetryMs);
    m_answerTimer.start(m_nAnswerMs);
}

void CBridgeBoard::onLinked()
{
    m_answerTimer.stop();
    m_strLastProblem.clear();
    m_bReady = false;
    setLinked(true);
    emit logged(tr("the board on %1 answers").arg(m_config.port));
    if (m_config.restore)
        for (int code : CDimraProtocol::kValueCodes)
            if (m_commanded[code])
                m_owed[code] = m_commanded[code];
    m_reportTimer.start(kReportMs);
}

void CBridgeBoard::onReported(int code, int value)
{
    setValue(code, shownValue(code, value));
    // The link keeps what was reported since it linked: once the rest of
    // the report (channels 2 and 3, then the frequency) is in, the owed
    // values cannot be overwritten by it any more.
    const BoardValues &report = m_link.reported();
    if (m_state.linked && !m_bReady && report[CDimraProtocol::CmdChannel2] && report[CDimraProtocol::CmdChannel3]
        && report[CDimraProtocol::CmdFrequency])
        sendOwed();
}

void CBridgeBoard::onSent(int code, int value)
{
    setValue(code, value);
}

void CBridgeBoard::onLost(const QString &text, const QString &details)
{
    m_answerTimer.stop();
    m_reportTimer.stop();
    m_bReady = false;
    setLinked(false);
    if (!details.isEmpty() && details != text)
        emit logged(tr("lost the board on %1: %2 (%3)").arg(m_config.port, text, details));
    else
        emit logged(tr("lost the board on %1: %2").arg(m_config.port, text));
    m_strLastProblem.clear(); // the link has closed the port
    m_nRetryMs = 0;
    retryOpen(tr("%1 is gone").arg(m_config.port));
}

void CBridgeBoard::command(const BoardValues &values)
{
    for (int code : CDimraProtocol::kValueCodes) {
        if (!values[code])
            continue;
        m_commanded[code] = values[code];
        if (m_bReady)
            send(code, *values[code]);
        else
            m_owed[code] = values[code];
    }
}

void CBridgeBoard::sendOwed()
{
    m_reportTimer.stop();
    if (!m_state.linked)
        return;
    m_bReady = true;
    for (int code : CDimraProtocol::kValueCodes) {
        if (const std::optional<int> value = m_owed[code]) {
            m_owed[code].reset();
            send(code, *value);
        }
    }
}

void CBridgeBoard::send(int code, int value)
{
    try {
        m_link.send(code, value);
    } catch (const CSerialError &error) {
        m_owed[code] = value; // not sent: owed to the board when it is back
        onLost(error.text(), error.details());
    }
}

void CBridgeBoard::setValue(int code, int value)
{
    if (code < CDimraProtocol::CmdChannel1 || code > CDimraProtocol::CmdFrequency)
        return;
    if (code != CDimraProtocol::CmdFrequency && value > Dimra::kDutyMin)
        m_lastOn[code] = value;
    if (m_state.values[code] == value)
        return;
    m_state.values[code] = value;
    emit stateChanged();
}

void CBridgeBoard::setLinked(bool linked)
{
    if (m_state.linked == linked)
        return;
    m_state.linked = linked;
    emit stateChanged();
}

bool CBridgeBoard::close(int marginMs)
{
    m_retryTimer.stop();
    m_answerTimer.stop();
    m_reportTimer.stop();
    if (!m_link.isOpen())
        return true;
    return m_link.close(marginMs) == CMSComm::Drained;
}
