#include "bridgeboard.h"

#include "protocolnumbers.h"
#include "commandline.h"
#include "serialerror.h"


#include <cmath>

namespace {

constexpr int kFirstRetryMs = 500;
constexpr int kMaxRetryMs = 30000;
constexpr int kReportMs = 300;  // how long the board's report after linking may take
// A fade's step: at most 25 a second for each channel, three channels' worth 75
// frames a second, which the line (about 112 a second) carries.
constexpr int kFadeStepMs = 40;

} // namespace

CBridgeBoard::CBridgeBoard(const BridgeBoardConfig &config, QObject *parent)
    : QObject(parent)
    , m_config(config)
{
    m_retryTimer.setSingleShot(true);
    m_answerTimer.setSingleShot(true);
    m_reportTimer.setSingleShot(true);
    // A board's port, after a loss, opens only onto the adapter it was on:
    // another adapter that took its number is not this board.
    m_link.setAdapterCheck(CBoardLink::SameAdapterOnly);
    m_fadeTimer.setTimerType(Qt::PreciseTimer);
    m_clock.start();
    connect(&m_fadeTimer, &QTimer::timeout, this, &CBridgeBoard::stepFades);
    connect(&m_retryTimer, &QTimer::timeout, this, [this] { open(); });
    connect(&m_answerTimer, &QTimer::timeout, this, &CBridgeBoard::noAnswer);
    connect(&m_reportTimer, &QTimer::timeout, this, &CBridgeBoard::onReportTime);
    connect(&m_link, &CBoardLink::linked, this, &CBridgeBoard::onLinked);
    connect(&m_link, &CBoardLink::valueReported, this, &CBridgeBoard::onReported);
    connect(&m_link, &CBoardLink::frameSent, this, [this](int code, int value) { setValue(code, value); });
    connect(&m_link, &CBoardLink::lost, this, &CBridgeBoard::onLost);
}

void CBridgeBoard::start()
{
    open();
}

bool CBridgeBoard::claim()
{
    return open(true);
}

void CBridgeBoard::logOnce(const QString &problem)
{
    if (problem == m_strLastProblem)
        return;
    m_strLastProblem = problem;
    emit logged(problem);
}

bool CBridgeBoard::open(bool heldIsLeft)
{
    try {
        m_link.open(CommandLineBytes(m_config.port));
    } catch (const CSerialError &error) {
        if (heldIsLeft && error.kind() == CSerialError::InUse)
            return false;
        retryOpen(tr("cannot open %1: %2").arg(m_config.port, error.text()));
        return true;
    }
    m_nRetryMs = 0;
    m_nAnswerMs = CBoardLink::kAnswerWaitMs; // a board that has not answered by then is reported
    m_answerTimer.start(m_nAnswerMs);
    const QString device = m_link.devicePath();
    emit logged(device == m_config.port ? tr("%1 is open; waiting for the board").arg(device)
                                        : tr("%1 (%2) is open; waiting for the board").arg(m_config.port, device));
    if (!m_bOpened) {
        m_bOpened = true;
        emit opened();
    }
    return true;
}

void CBridgeBoard::retryOpen(const QString &problem)
{
    m_nRetryMs = m_nRetryMs == 0 ? kFirstRetryMs : qMin(m_nRetryMs * 2, kMaxRetryMs);
    // The serial layer's sentences end with a full stop; the retry follows after a semicolon.
    QString said = problem;
    if (said.endsWith(QLatin1Char('.')) || said.endsWith(QChar(0x3002)))
        said.chop(1);
    logOnce(tr("%1; trying again").arg(said));
    m_retryTimer.start(m_nRetryMs);
}

void CBridgeBoard::noAnswer()
{
    if (!m_link.isOpen())
        return;
    // A board that stops answering while linked is linked no more.
    m_bReportAsked = false;
    m_bReportAgain = false;
    setLinked(false);
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

void CBridgeBoard::requestReport()
{
    // While a report is on its way, commands that came since wait for it
    // and go out after it: a report asked now must follow them on the line,
    // or it would show the values before them, and overwrite the state.
    if (m_bReportAsked || (!m_state.linked && m_link.isLinked())) {
        m_bReportAgain = true;
        return;
    }
    // A board that has not answered is asked already, and its state is
    // published once it does.
    if (!m_state.linked)
        return;
    try {
        m_link.requestReport();
    } catch (const CSerialError &error) {
        onLost(error.text(), error.details());
        return;
    }
    m_bReportAsked = true;
    m_nAnswerMs = CBoardLink::kAnswerWaitMs;
    m_answerTimer.start(m_nAnswerMs);
}

void CBridgeBoard::onLinked()
{
    m_answerTimer.stop();
    m_strLastProblem.clear();
    if (m_bReportAsked) {
        // The same board answering: its values come as its report does.
        m_reportTimer.start(kReportMs);
        return;
    }
    setLinked(false); // until its report is in
    // What the board held before may be gone (a power cycle): its report says.
    for (int code : CDimraProtocol::kValueCodes)
        setValue(code, std::nullopt);
    emit logged(tr("the board on %1 answers").arg(m_config.port));
    if (m_config.restore)
        for (int code : CDimraProtocol::kValueCodes)
            if (m_commanded[code])
                m_owed[code] = m_commanded[code];
    m_reportTimer.start(kReportMs);
}

void CBridgeBoard::onReported(int code, int value)
{
    // What the window's slider shows for a reported value.
    const int shown = CDimraProtocol::RangeOf(code).clamp(value);
    // What the board held as it linked; later replies echo commands, and a
    // late echo of a fade's step must not become the duty "ON" goes back to.
    if (code != CDimraProtocol::CmdFrequency && shown > Dimra::kDutyMin && !m_state.linked)
        m_lastOn[code] = shown;
    setValue(code, shown);
    // Once the rest of the report is in, the owed values cannot be
    // overwritten by it any more.
    if (reportComplete())
        onReportTime();
}

bool CBridgeBoard::reportComplete() const
{
    // The link keeps what was reported since it linked: channel 1, then
    // channels 2 and 3 and the frequency.
    const BoardValues &report = m_link.reported();
    return m_link.isLinked() && (!m_state.linked || m_bReportAsked) && report[CDimraProtocol::CmdChannel2]
           && report[CDimraProtocol::CmdChannel3] && report[CDimraProtocol::CmdFrequency];
}

void CBridgeBoard::onReportTime()
{
    if (!m_bReportAsked) {
        sendOwed();
        return;
    }
    m_reportTimer.stop();
    m_bReportAsked = false;
    checkPresetHeld();
    emit reportIn();
    sendOwedValues();
    if (std::exchange(m_bReportAgain, false))
        requestReport();
}

void CBridgeBoard::onLost(const QString &text, const QString &details)
{
    m_answerTimer.stop();
    m_reportTimer.stop();
    m_bReportAsked = false;
    m_bReportAgain = false;
    // A fade cut short owes the board its end.
    for (int channel = CDimraProtocol::CmdChannel1; channel <= CDimraProtocol::CmdChannel3; ++channel)
        if (m_fades[channel].running)
            m_owed[channel] = m_fades[channel].to;
    stopFades();
    setLinked(false);
    emit stateChanged(); // values may have changed silently during a report cut short
    if (!details.isEmpty() && details != text)
        emit logged(tr("lost the board on %1: %2 (%3)").arg(m_config.port, text, details));
    else
        emit logged(tr("lost the board on %1: %2").arg(m_config.port, text));
    m_strLastProblem.clear(); // the link has closed the port
    m_nRetryMs = 0;
    retryOpen(tr("%1 is gone").arg(m_config.port));
}

void CBridgeBoard::remember(const BoardValues &values)
{
    for (int code : CDimraProtocol::kValueCodes) {
        if (!values[code] || m_commanded[code])
            continue;
        m_commanded[code] = values[code];
        if (code != CDimraProtocol::CmdFrequency && *values[code] > Dimra::kDutyMin)
            m_lastOn[code] = *values[code];
    }
}

void CBridgeBoard::command(const BoardValues &values, int transitionMs)
{
    // A value other than the one the commands so far set, or than the
    // board's own where none did, moves the board off its preset.
    for (int code : CDimraProtocol::kValueCodes) {
        const std::optional<int> target = m_commanded[code] ? m_commanded[code] : m_state.values[code];
        if (values[code] && values[code] != target)
            setPreset(QString());
    }
    commandValues(values, transitionMs);
}

void CBridgeBoard::applyPreset(const Preset &preset, int transitionMs)
{
    commandValues(preset.values, transitionMs);
    setPreset(preset.name);
}

void CBridgeBoard::setPreset(const QString &name)
{
    if (name == m_strPreset)
        return;
    m_strPreset = name;
    emit presetChanged();
}

void CBridgeBoard::checkPresetHeld()
{
    for (int code : CDimraProtocol::kValueCodes) {
        const bool onItsWay = m_owed[code] || (code != CDimraProtocol::CmdFrequency && m_fades[code].running);
        if (m_commanded[code] && !onItsWay && m_state.values[code] && m_state.values[code] != m_commanded[code])
            setPreset(QString());
    }
}

void CBridgeBoard::commandValues(const BoardValues &values, int transitionMs)
{
    for (int code : CDimraProtocol::kValueCodes) {
        const std::optional<int> value = values[code];
        if (!value)
            continue;
        m_commanded[code] = value;
        if (code == CDimraProtocol::CmdFrequency) {
            if (ready())
                send(code, *value);
            else
                m_owed[code] = value;
            continue;
        }
        Fade &fade = m_fades[code];
        fade.running = false;
        if (*value > Dimra::kDutyMin)
            m_lastOn[code] = *value;
        const std::optional<int> from = m_state.values[code];
        if (!ready()) {
            m_owed[code] = value;
        } else if (transitionMs > 0 && from && *from != *value) {
            fade = {true, *from, *value, m_clock.elapsed(), transitionMs, *from};
            if (!m_fadeTimer.isActive() || m_fadeTimer.remainingTime() > kFadeStepMs)
                m_fadeTimer.start(kFadeStepMs);
        } else {
            send(code, *value);
        }
    }
}

void CBridgeBoard::stepFades()
{
    const qint64 now = m_clock.elapsed();
    for (int channel = CDimraProtocol::CmdChannel1; channel <= CDimraProtocol::CmdChannel3; ++channel) {
        Fade &fade = m_fades[channel];
        if (!fade.running)
            continue;
        const qint64 elapsed = now - fade.startMs;
        fade.running = elapsed < fade.durationMs;
        const int step = fade.running
                             ? fade.from + int(std::lround(double(fade.to - fade.from) * double(elapsed) / fade.durationMs))
                             : fade.to;
        if (step != fade.sent) {
            fade.sent = step;
            send(channel, step); // a lost board stops every fade
        }
    }
    // The next step is due when a fade's value next changes, a step's time
    // from now at the soonest: an hour's fade over 100 values wakes the
    // bridge 100 times, not 25 times a second.
    qint64 next = -1;
    for (const Fade &fade : m_fades) {
        if (!fade.running)
            continue;
        const double span = std::abs(fade.to - fade.from);
        const double done = std::abs(fade.sent - fade.from);
        const qint64 due = fade.startMs + qint64(std::ceil(fade.durationMs * (done + 0.5) / span));
        next = next < 0 ? due : qMin(next, due);
    }
    const int wait = int(qMax<qint64>(next - now, kFadeStepMs));
    if (next < 0)
        m_fadeTimer.stop();
    else if (m_fadeTimer.interval() != wait) // a fast fade keeps the timer's own pace
        m_fadeTimer.start(wait);
}

void CBridgeBoard::stopFades()
{
    m_fadeTimer.stop();
    for (Fade &fade : m_fades)
        fade.running = false;
}

void CBridgeBoard::sendOwed()
{
    m_reportTimer.stop();
    if (!m_link.isLinked() || m_state.linked)
        return;
    checkPresetHeld();
    setLinked(true);
    sendOwedValues();
    if (std::exchange(m_bReportAgain, false))
        requestReport();
}

void CBridgeBoard::sendOwedValues()
{
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

void CBridgeBoard::setValue(int code, std::optional<int> value)
{
    if (code < CDimraProtocol::CmdChannel1 || code > CDimraProtocol::CmdFrequency)
        return;
    if (m_state.values[code] == value)
        return;
    m_state.values[code] = value;
    // While the board reports after linking, its values are told once, with
    // the link; while it reports as asked, once, with reportIn: a state half
    // of the report and half from before is no state the board held.
    if ((!m_link.isLinked() || m_state.linked) && !m_bReportAsked)
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
    stopFades();
    m_retryTimer.stop();
    m_answerTimer.stop();
    m_reportTimer.stop();
    if (!m_link.isOpen())
        return true;
    return m_link.close(marginMs) == CBoardLink::Drained;
}
