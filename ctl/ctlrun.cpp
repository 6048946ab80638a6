#include "ctlrun.h"

#include "printabletext.h"
#include "serialerror.h"
#include "stopsignals.h"

#include <QStringList>

namespace {

QString lostBoard(const QString &text)
{
    return CCtlRun::tr("lost the board: %1\nCheck the cable or adapter, then run the command again.").arg(text);
}

QString openFailure(const CSerialError &e)
{
    switch (ExitCodeFor(e.kind())) {
    case ExitNoPort:
        return CCtlRun::tr("no such port: %1\nRun \"dimractl list\" to see the ports, or name the device "
                          "with -p PATH.")
            .arg(e.text());
    case ExitNoPermission:
        // The serial control's text says how to grant access: a group to
        // join, or a udev rule where no group may use the device.
        return CCtlRun::tr("no permission to open the port: %1").arg(e.text());
    case ExitInUse:
        // The serial control's text says already to close the program
        // that holds the port.
        return CCtlRun::tr("the port is in use: %1").arg(e.text());
    default:
        return CCtlRun::tr("cannot open the port: %1").arg(e.text());
    }
}

QString noAnswerHint()
{
    return CCtlRun::tr("Check that the board is powered and connected to this port, or give it longer "
                           "with -t MS.");
}

// The message for the user on err, with the system's own words below it.
void printFailure(FILE *err, const CtlFailure &failure)
{
    if (failure.message.isEmpty())
        return;
    QString text = QStringLiteral("dimractl: %1\n").arg(failure.message);
    // The system's own words, for a report, below the sentence.
    if (!failure.details.isEmpty())
        text += QStringLiteral("  %1\n").arg(CCtlRun::tr("details: %1").arg(failure.details));
    text = PrintableText(text); // a path named on the command line is in it as given
    CStopSignals::write(err, text);
}

} // namespace

std::optional<CtlFailure> OpenCtlLink(CBoardLink &link, const CtlOptions &options)
{
    bool portOpened = false;
    QObject context;
    QObject::connect(&link, &CBoardLink::opened, &context, [&portOpened] { portOpened = true; });
    try {
        link.open(options.port);
    } catch (const CSerialError &e) {
        // Opening ends with the open-link frame: a failure after the port
        // opened is one of writing.
        if (portOpened && e.kind() == CSerialError::DeviceLost)
            return CtlLostFailure(e.text(), e.details());
        if (portOpened)
            return CtlFailure{ExitIo, CCtlRun::tr("cannot write to the port: %1").arg(e.text()), e.details()};
        return CtlFailure{ExitCodeFor(e.kind()), openFailure(e), e.details()};
    }
    return std::nullopt;
}

CtlFailure CloseCtlLink(CBoardLink &link, const CtlFailure &outcome)
{
    // What was sent reaches the board before the port closes.
    const CMSComm::CloseOutcome closed = link.close();
    if (outcome.exitCode != ExitOk)
        return outcome;
    if (closed == CMSComm::DeviceLost)
        return CtlLostFailure(link.lossText(), link.lossDetails());
    if (closed == CMSComm::TimedOut)
        return {ExitIo,
                CCtlRun::tr("the line did not carry every frame within its time and %1 ms more; the board may "
                                "not hold the new values. Check the line, then run the command again.")
                    .arg(CMSComm::kCloseMarginMs),
                QString()};
    return outcome;
}

CtlFailure CtlLostFailure(const QString &text, const QString &details)
{
    return {ExitIo, lostBoard(text), details};
}

CtlFailure CtlSendFailure(const CSerialError &error)
{
    if (error.kind() == CSerialError::DeviceLost)
        return CtlLostFailure(error.text(), error.details());
    return {ExitIo,
            CCtlRun::tr("sending failed: %1\nCheck the cable or adapter, then run the command again.").arg(error.text()),
            error.details()};
}

CtlFailure CtlNoAnswerFailure(const QString &device, int timeoutMs, bool settingWaits)
{
    return {ExitNoAnswer,
            CCtlRun::tr("the board on %1 did not answer within %2 ms%3.\n%4")
                .arg(device, QString::number(timeoutMs), settingWaits ? CCtlRun::tr("; nothing was set") : QString(),
                     noAnswerHint()),
            QString()};
}

CtlFailure CtlNotVerifiedFailure(const QString &device, int timeoutMs)
{
    return {ExitNoAnswer,
            CCtlRun::tr("the board on %1 did not report its values again within %2 ms; the settings were sent "
                            "but are not verified.\n%3")
                .arg(device, QString::number(timeoutMs), noAnswerHint()),
            QString()};
}

std::optional<CtlFailure> CtlCompareFailure(const BoardValues &wanted, const BoardValues &reported)
{
    QStringList differences;
    for (int code : CDimraProtocol::kValueCodes)
        if (wanted[code] && reported[code] != wanted[code])
            differences.append(CCtlRun::tr("%1 set to %2, board reports %3")
                                   .arg(CDimraProtocol::ValueKey(code))
                                   .arg(*wanted[code])
                                   .arg(*reported[code]));
    if (differences.isEmpty())
        return std::nullopt;
    return CtlFailure{ExitMismatch,
                      CCtlRun::tr("the board holds other values than were set: %1.\nCheck the values the board "
                                      "accepts, then set them again.")
                          .arg(differences.join(CCtlRun::tr("; ", "between the values that differ"))),
                      QString()};
}

QString CtlMissingValuesText(const BoardValues &reported, int timeoutMs)
{
    QStringList missing;
    for (int code : CDimraProtocol::kValueCodes)
        if (!reported[code])
            missing.append(CDimraProtocol::ValueKey(code));
    if (missing.isEmpty())
        return QString();
    return CCtlRun::tr("the board did not report %1 within %2 ms; shown as unknown.")
        .arg(missing.join(CCtlRun::tr(", ", "between the values not reported")))
        .arg(timeoutMs);
}

bool CtlAllReported(const BoardValues &wanted, const BoardValues &reported)
{
    for (int code : CDimraProtocol::kValueCodes)
        if (wanted[code] && !reported[code])
            return false;
    return true;
}

CCtlRun::CCtlRun(const CtlOptions &options, FILE *out, FILE *err, QObject *parent)
    : QObject(parent), m_options(options), m_out(out), m_err(err)
{
    m_timer.setSingleShot(true);
}

void CCtlRun::stop(int signalNumber)
{
    if (m_bFinished)
        return;
    m_nStopSignal = signalNumber;
    finish({128 + signalNumber, QString(), QString()});
}

void CCtlRun::closed(const CtlFailure &)
{
}

void CCtlRun::finish(const CtlFailure &outcome)
{
    if (m_bFinished)
        return;
    m_bFinished = true;
    m_timer.stop();
    const CtlFailure result = CloseCtlLink(m_link, outcome);
    printFailure(m_err, result);
    closed(result);
    emit finished(result.exitCode);
}

void CCtlRun::print(const QString &text)
{
    // A reader that has gone stops the run, as SIGPIPE would.
    CStopSignals::write(m_out, text);
}
