#include "ctlsession.h"

#include "ctlexit.h"
#include "ctlformat.h"
#include "protocolnumbers.h"
#include "serialerror.h"

#include <QStringList>

namespace {

// For allReported: get waits for every value (only which entries are set counts).
const BoardValues kAllValues = {std::nullopt, 0, 0, 0, 0};

QString lostBoard(const QString &text)
{
    return CCtlSession::tr("lost the board: %1\nCheck the cable or adapter, then run the command again.").arg(text);
}

QString openFailure(const CSerialError &e)
{
    switch (ExitCodeFor(e.kind())) {
    case ExitNoPort:
        return CCtlSession::tr("no such port: %1\nRun \"dimractl list\" to see the ports, or name the device "
                              "with -p PATH.")
            .arg(e.text());
    case ExitNoPermission:
        // The serial control's text says how to grant access: a group to
        // join, or a udev rule where no group may use the device.
        return CCtlSession::tr("no permission to open the port: %1").arg(e.text());
    case ExitInUse:
        // The serial control's text says already to close the program
        // that holds the port.
        return CCtlSession::tr("the port is in use: %1").arg(e.text());
    default:
        return CCtlSession::tr("cannot open the port: %1").arg(e.text());
    }
}

} // namespace

CCtlSession::CCtlSession(const CtlOptions &options, FILE *out, FILE *err, QObject *parent)
    : QObject(parent), m_options(options), m_out(out), m_err(err)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CCtlSession::onTimeout);
    connect(&m_link, &CBoardLink::valueReported, this, &CCtlSession::onReply);
    connect(&m_link, &CBoardLink::lost, this, &CCtlSession::onLost);
    connect(&m_link, &CBoardLink::opened, this, [this] { m_bPortOpened = true; });
}

void CCtlSession::Start()
{
    if (m_options.command == CtlCommand::List) {
        listPorts();
        return;
    }
    try {
        m_link.open(m_options.devicePath.isEmpty() ? m_options.port.toLatin1() : m_options.devicePath);
    } catch (const CSerialError &e) {
        // Opening ends with the open-link frame: a failure after the port
        // opened is one of writing.
        if (m_bPortOpened && e.kind() == CSerialError::DeviceLost)
            onLost(e.text(), e.details());
        else if (m_bPortOpened)
            finish(ExitIo, tr("cannot write to the port: %1").arg(e.text()), e.details());
        else
            finish(ExitCodeFor(e.kind()), openFailure(e), e.details());
        return;
    }
    if (m_options.command != CtlCommand::Monitor)
        m_timer.start(m_options.timeoutMs);
}

void CCtlSession::listPorts()
{
    print(FormatPorts(ResolveCommPorts(kCommPortCount), m_options.json));
    finish(ExitOk);
}

void CCtlSession::onReply(int code, int value)
{
    if (m_bFinished)
        return;
    switch (m_options.command) {
    case CtlCommand::Monitor:
        print(FormatReply(code, value, m_options.json));
        break;
    case CtlCommand::Get:
        if (allReported(kAllValues)) {
            print(FormatValues(m_link.reported(), m_options.json));
            finish(ExitOk);
        }
        break;
    case CtlCommand::Set:
    case CtlCommand::Off:
        if (!m_bSent && m_link.isLinked()) {
            m_bSent = true;
            // Out of the parser's loop: the rest of this read is parsed first.
            QMetaObject::invokeMethod(this, &CCtlSession::sendSettings, Qt::QueuedConnection);
        } else if (m_bVerifying && allReported(m_options.values)) {
            compareReport();
        }
        break;
    case CtlCommand::List:
        break;
    }
}

bool CCtlSession::allReported(const BoardValues &wanted) const
{
    for (int code : CDimraProtocol::kValueCodes)
        if (wanted[code] && !m_link.reported()[code])
            return false;
    return true;
}

void CCtlSession::sendSettings()
{
    if (m_bFinished)
        return;
    m_timer.stop();
    try {
        for (int code : CDimraProtocol::kValueCodes)
            if (const std::optional<int> value = m_options.values[code])
                m_link.send(code, *value);
        if (m_options.verify) {
            m_bVerifying = true;
            m_link.requestReport();
            m_timer.start(m_options.timeoutMs);
            return;
        }
    } catch (const CSerialError &e) {
        if (e.kind() == CSerialError::DeviceLost)
            onLost(e.text(), e.details());
        else
            finish(ExitIo,
                   tr("sending failed: %1\nCheck the cable or adapter, then run the command again.")
                       .arg(e.text()),
                   e.details());
        return;
    }
    finish(ExitOk);
}

void CCtlSession::compareReport()
{
    QStringList differences;
    for (int code : CDimraProtocol::kValueCodes) {
        const std::optional<int> wanted = m_options.values[code];
        const std::optional<int> reported = m_link.reported()[code];
        if (wanted && reported != wanted)
            differences.append(
                tr("%1 set to %2, board reports %3").arg(CDimraProtocol::valueKey(code)).arg(*wanted).arg(*reported));
    }
    if (differences.isEmpty())
        finish(ExitOk);
    else
        finish(ExitMismatch, tr("the board holds other values than were set: %1.\nCheck the values the board "
                                "accepts, then set them again.")
                                 .arg(differences.join(tr("; ", "between the values that differ"))));
}

void CCtlSession::onTimeout()
{
    const QString device = m_link.devicePath();
    const QString hint = tr("Check that the board is powered and connected to this port, or give it longer "
                            "with -t MS.");
    if (m_bVerifying) {
        finish(ExitNoAnswer, tr("the board on %1 did not report its values again within %2 ms; the settings "
                                "were sent but are not verified.\n%3")
                                 .arg(device, QString::number(m_options.timeoutMs), hint));
    } else if (!m_link.isLinked()) {
        finish(ExitNoAnswer, tr("the board on %1 did not answer within %2 ms%3.\n%4")
                                 .arg(device, QString::number(m_options.timeoutMs),
                                      m_options.command == CtlCommand::Get ? QString()
                                                                           : tr("; nothing was set"),
                                      hint));
    } else {
        // get: the board answered but left values out; they print as unknown.
        QStringList missing;
        for (int code : CDimraProtocol::kValueCodes)
            if (!m_link.reported()[code])
                missing.append(CDimraProtocol::valueKey(code));
        print(FormatValues(m_link.reported(), m_options.json));
        finish(ExitOk, tr("the board did not report %1 within %2 ms; shown as unknown.")
                           .arg(missing.join(tr(", ", "between the values not reported")))
                           .arg(m_options.timeoutMs));
    }
}

void CCtlSession::onLost(const QString &text, const QString &details)
{
    finish(ExitIo, lostBoard(text), details);
}

void CCtlSession::Stop(int signalNumber)
{
    if (m_bFinished)
        return;
    m_nStopSignal = signalNumber;
    finish(128 + signalNumber);
}

void CCtlSession::finish(int exitCode, const QString &message, const QString &details)
{
    if (m_bFinished)
        return;
    m_bFinished = true;
    m_timer.stop();
    QString text = message;
    QString why = details;
    // What was sent reaches the board before the port closes. Where that
    // spoils a run that had gone well, the reason takes the message's place.
    const CMSComm::CloseOutcome closed = m_link.close();
    if (exitCode == ExitOk && closed == CMSComm::DeviceLost) {
        exitCode = ExitIo;
        text = lostBoard(m_link.lossText());
        why = m_link.lossDetails();
    } else if (exitCode == ExitOk && closed == CMSComm::TimedOut) {
        exitCode = ExitIo;
        text = tr("the line did not carry every frame within its time and %1 ms more; the board may not hold the "
                  "new values. Check the line, then run the command again.")
                   .arg(CMSComm::kCloseMarginMs);
        why.clear();
    }
    if (!text.isEmpty()) {
        std::fprintf(m_err, "dimractl: %s\n", text.toUtf8().constData());
        // The system's own words, for a report, below the sentence.
        if (!why.isEmpty())
            std::fprintf(m_err, "  %s\n", tr("details: %1").arg(why).toUtf8().constData());
        std::fflush(m_err);
    }
    emit finished(exitCode);
}

void CCtlSession::print(const QString &text)
{
    std::fputs(text.toUtf8().constData(), m_out);
    std::fflush(m_out);
}
