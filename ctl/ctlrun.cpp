#include "ctlrun.h"

#include "boardlinkfactory.h"
#include "ctlformat.h"
#include "ctlinput.h"
#include "ctlpresets.h"
#include "printabletext.h"
#include "serialerror.h"
#include "stopsignals.h"

#include <QStringList>

#include <cerrno>
#include <cstring>

namespace {

CtlOutcome lostBoard(const QString &text, const QString &details, bool remote)
{
    return {ExitIo,
            (remote ? CCtlRun::tr("lost the board: %1\nCheck the network and the broker, then run the command again.")
                    : CCtlRun::tr("lost the board: %1\nCheck the cable or adapter, then run the command again."))
                .arg(text),
            details};
}

// A link that ended by itself: lost, or a broker never reached or refusing the user.
CtlOutcome linkEnded(const CAbstractBoardLink &link, bool remote)
{
    switch (ExitCodeFor(link.lossKind())) {
    case ExitNoPort:
        return {ExitNoPort,
                CCtlRun::tr("no such port: %1\nCheck the broker's host and port in the address, and that the "
                            "broker runs.").arg(link.lossText()),
                link.lossDetails()};
    case ExitNoPermission:
        return {ExitNoPermission,
                CCtlRun::tr("no permission: %1\nCheck the user in the address, and the password in "
                            "DIMRA_MQTT_PASSWORD or the file DIMRA_MQTT_PASSWORD_FILE names.").arg(link.lossText()),
                link.lossDetails()};
    default:
        return lostBoard(link.lossText(), link.lossDetails(), remote);
    }
}

QString openFailure(const CSerialError &e, bool remote)
{
    switch (ExitCodeFor(e.kind())) {
    case ExitNoPort:
        if (remote)
            return CCtlRun::tr("no such port: %1").arg(e.text());
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
void printMessage(FILE *err, const CtlOutcome &outcome)
{
    if (outcome.message.isEmpty())
        return;
    QString text = QStringLiteral("dimractl: %1\n").arg(outcome.message);
    // The system's own words, for a report, below the sentence.
    if (!outcome.details.isEmpty())
        text += QStringLiteral("  %1\n").arg(CCtlRun::tr("details: %1").arg(outcome.details));
    text = PrintableText(text); // a path named on the command line is in it as given
    CStopSignals::write(err, text);
}

// Opens the port as every command does, ending with the open-link frame.
CtlOutcome openLink(CAbstractBoardLink &link, const CtlOptions &options, bool remote)
{
    bool portOpened = false;
    QObject context;
    QObject::connect(&link, &CAbstractBoardLink::opened, &context, [&portOpened] { portOpened = true; });
    try {
        link.open(options.port);
    } catch (const CSerialError &e) {
        // Opening ends with the open-link frame: a failure after the port
        // opened is one of writing.
        if (portOpened && e.kind() == CSerialError::DeviceLost)
            return lostBoard(e.text(), e.details(), remote);
        if (portOpened)
            return {ExitIo, CCtlRun::tr("cannot write to the port: %1").arg(e.text()), e.details()};
        return {ExitCodeFor(e.kind()), openFailure(e, remote), e.details()};
    }
    return CtlOutcome::done();
}

// The one way out of every run: the link closes, what waits going out first.
// Where that spoils an outcome that was done, the reason takes its place.
CtlOutcome closeLink(CAbstractBoardLink &link, const CtlOutcome &outcome, bool remote)
{
    // What was sent reaches the board before the port closes.
    const CAbstractBoardLink::CloseOutcome closed = link.close();
    if (!outcome.isDone())
        return outcome;
    if (closed == CAbstractBoardLink::DeviceLost)
        return linkEnded(link, remote);
    if (closed == CAbstractBoardLink::TimedOut)
        return {ExitIo,
                remote ? CCtlRun::tr("the broker did not take every setting within %1 ms; the board may not hold "
                                     "the new values. Check the network, then run the command again.")
                             .arg(CAbstractBoardLink::kCloseMarginMs)
                       : CCtlRun::tr("the line did not carry every frame within its time and %1 ms more; the board "
                                     "may not hold the new values. Check the line, then run the command again.")
                             .arg(CAbstractBoardLink::kCloseMarginMs),
                QString()};
    return outcome;
}

CtlOutcome sendFailure(const CSerialError &error, bool remote)
{
    if (error.kind() == CSerialError::DeviceLost)
        return lostBoard(error.text(), error.details(), remote);
    return {ExitIo,
            CCtlRun::tr("sending failed: %1\nCheck the cable or adapter, then run the command again.").arg(error.text()),
            error.details()};
}

// The board the link is open on left the open-link frame unanswered within
// timeoutMs; settingWaits adds that nothing was set. The link may know why.
CtlOutcome noAnswer(const CAbstractBoardLink &link, int timeoutMs, bool settingWaits)
{
    const QString why = link.notLinkedText();
    return {ExitNoAnswer,
            CCtlRun::tr("the board on %1 did not answer within %2 ms%3.\n%4")
                .arg(link.devicePath(), QString::number(timeoutMs),
                     settingWaits ? CCtlRun::tr("; nothing was set") : QString(), why.isEmpty() ? noAnswerHint() : why),
            QString()};
}

// verify: the board did not report again.
CtlOutcome notVerified(const QString &device, int timeoutMs)
{
    return {ExitNoAnswer,
            CCtlRun::tr("the board on %1 did not report its values again within %2 ms; the settings were sent "
                            "but are not verified.\n%3")
                .arg(device, QString::number(timeoutMs), noAnswerHint()),
            QString()};
}

// verify: the values set against those the board reports.
CtlOutcome compared(const BoardValues &wanted, const BoardValues &reported)
{
    QStringList differences;
    for (int code : CDimraProtocol::kValueCodes)
        if (wanted[code] && reported[code] != wanted[code])
            differences.append(CCtlRun::tr("%1 set to %2, board reports %3")
                                   .arg(CDimraProtocol::ValueKey(code))
                                   .arg(*wanted[code])
                                   .arg(*reported[code]));
    if (differences.isEmpty())
        return CtlOutcome::done();
    return {ExitMismatch,
            CCtlRun::tr("the board holds other values than were set: %1.\nCheck the values the board "
                            "accepts, then set them again.")
                .arg(differences.join(CCtlRun::tr("; ", "between the values that differ"))),
            QString()};
}

// get: the values the board left out, shown as unknown.
QString missingValuesText(const BoardValues &reported, int timeoutMs)
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

// Whether every value wanted names has been reported.
bool allReported(const BoardValues &wanted, const BoardValues &reported)
{
    for (int code : CDimraProtocol::kValueCodes)
        if (wanted[code] && !reported[code])
            return false;
    return true;
}

// For allReported: get waits for every value.
constexpr BoardValues kAllValues = {std::nullopt, 0, 0, 0, 0};

// A session's answer line.
QString answerLine(const CtlOutcome &answer, const std::optional<BoardValues> &values)
{
    if (!answer.isDone())
        return FormatErrorAnswer(answer.exitCode, answer.message, answer.details);
    return FormatAnswer(values ? &*values : nullptr, answer.message);
}

} // namespace

CCtlRun::CCtlRun(const CtlOptions &options, FILE *out, FILE *err, QObject *parent)
    : QObject(parent), m_options(options), m_out(out), m_err(err)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CCtlRun::onTimeout);
}

bool CCtlRun::makeLink()
{
    m_bRemote = IsRemotePortName(m_options.port);
    try {
        m_link = CBoardLinkFactory::create(m_options.port);
    } catch (const CSerialError &e) {
        finish({ExitCodeFor(e.kind()), openFailure(e, m_bRemote), e.details()});
        return false;
    }
    CAbstractBoardLink *link = m_link.get();
    connect(link, &CAbstractBoardLink::valueReported, this, &CCtlRun::onReply);
    connect(link, &CAbstractBoardLink::frameSent, this, &CCtlRun::onFrameSent);
    connect(link, &CAbstractBoardLink::refused, this, &CCtlRun::onRefused);
    connect(link, &CAbstractBoardLink::lost, this, [this] { finish(linkEnded(*m_link, m_bRemote)); });
    connect(link, &CAbstractBoardLink::linked, this, [this] {
        if (m_bLinked)
            return; // linked again after a report was asked for
        m_bLinked = true;
        m_bOpenReport = true;
        m_timer.stop();
        if (isSession())
            print(FormatLinkedEvent(m_link->devicePath()));
        advanceLater();
    });
    return true;
}

void CCtlRun::start()
{
    if (m_options.command == CtlCommand::List) {
        if (m_options.broker) {
            listBroker();
            return;
        }
        print(FormatPorts(ResolveListedCommPorts(), m_options.json));
        finish(CtlOutcome::done());
        return;
    }
    const bool preset = m_options.command == CtlCommand::Preset;
    if (preset && m_options.presetAction != CtlPresetAction::Apply && !m_options.fromBoard) {
        QString printed;
        QStringList leftOut;
        const CtlOutcome outcome = CtlRunPresetCommand(m_options, &printed, &leftOut);
        for (const QString &problem : std::as_const(leftOut))
            printMessage(m_err, {ExitOk, problem, QString()});
        print(printed);
        finish(outcome);
        return;
    }
    // A one-shot command: a session of the one request its arguments make.
    // A preset that cannot be applied, or saved, is refused before the port
    // opens, as a value out of range is.
    CtlRequest oneShot;
    oneShot.op = m_options.command == CtlCommand::Get ? CtlOp::Get : CtlOp::Set; // off: the channels set to 0
    oneShot.values = m_options.values;
    oneShot.verify = m_options.verify;
    if (preset && m_options.fromBoard) {
        oneShot = CtlRequest(); // a get, whose values are saved
        if (const CtlOutcome savable = CtlPresetCanBeSaved(m_options.presetName); !savable.isDone()) {
            finish(savable);
            return;
        }
    } else if (preset) {
        oneShot = CtlPresetRequest(m_options.presetName, m_options.verify);
        if (!oneShot.error.isEmpty()) {
            finish({ExitUsage, oneShot.error, QString()});
            return;
        }
    }
    if (isSession()) {
        auto *input = new CCtlInput(this);
        connect(input, &CCtlInput::lineRead, this, [this](const QByteArray &line) {
            if (!line.trimmed().isEmpty())
                request(ParseCtlRequest(line));
        });
        connect(input, &CCtlInput::lineTooLong, this, [this] {
            CtlRequest tooLong;
            tooLong.error = tr("the line is too long: a request is at most %1 bytes").arg(CCtlInput::kMaxLineBytes);
            request(tooLong);
        });
        connect(input, &CCtlInput::ended, this, &CCtlRun::endOfInput);
    }
    if (!makeLink())
        return;
    if (const CtlOutcome opened = openLink(*m_link, m_options, m_bRemote); !opened.isDone()) {
        finish(opened);
        return;
    }
    if (m_options.command == CtlCommand::Monitor) {
        // Every reply from the open on, for as long as it runs.
        m_bWatching = true;
        return;
    }
    if (!isSession())
        request(oneShot);
    m_timer.start(m_options.timeoutMs);
}

void CCtlRun::listBroker()
{
    const RemoteAddress &broker = *m_options.broker;
    try {
        CBoardLinkFactory::listBoards(broker, m_options.timeoutMs, this, [this, broker](const BrokerListing &listing) {
            if (!listing.failure.isEmpty()) {
                const CtlExit code = ExitCodeFor(listing.failureKind);
                finish({code,
                        code == ExitNoPort         ? tr("no such port: %1").arg(listing.failure)
                        : code == ExitNoPermission ? tr("no permission: %1").arg(listing.failure)
                                                   : listing.failure,
                        QString()});
            } else if (!listing.answered) {
                finish({ExitNoAnswer,
                        tr("the broker at %1 did not send back what it keeps within %2 ms.\nGive it longer with -t MS.")
                            .arg(broker.brokerText())
                            .arg(m_options.timeoutMs),
                        QString()});
            } else {
                print(FormatBrokerBoards(listing.boards, broker, m_options.json));
                finish(CtlOutcome::done());
            }
        });
    } catch (const CSerialError &e) {
        finish({ExitCodeFor(e.kind()), openFailure(e, true), e.details()});
    }
}

void CCtlRun::stop(int signalNumber)
{
    if (m_bFinished)
        return;
    m_nStopSignal = signalNumber;
    finish({128 + signalNumber, QString(), QString()});
}

void CCtlRun::request(const CtlRequest &asked)
{
    if (m_bFinished)
        return;
    Pending pending;
    // A preset is read from the file as its request is read, and goes out
    // as the set of its values.
    pending.request = asked.op == CtlOp::Preset && asked.error.isEmpty() ? CtlPresetRequest(asked.preset, asked.verify)
                                                                         : asked;
    if (!pending.request.error.isEmpty()) {
        pending.started = true;
        pending.answer = CtlOutcome{ExitUsage, pending.request.error, QString()};
    }
    m_pending.push_back(pending);
    advanceLater();
}

void CCtlRun::endOfInput()
{
    if (m_bFinished)
        return;
    Pending pending;
    pending.ending = true;
    m_pending.push_back(pending);
    advanceLater();
}

void CCtlRun::advanceLater()
{
    // Never from inside the link's receive or send: the rest of a read is
    // parsed, and a frame's own signals are through, before more goes out.
    if (m_bAdvancePosted)
        return;
    m_bAdvancePosted = true;
    QMetaObject::invokeMethod(this, &CCtlRun::advance, Qt::QueuedConnection);
}

void CCtlRun::advance()
{
    m_bAdvancePosted = false;
    // Nothing is answered before the line that reports the link.
    while (!m_bFinished && m_bLinked) {
        if (!m_pending.empty() && m_pending.front().answer) {
            const Pending answered = m_pending.front();
            m_pending.pop_front();
            ++m_nFirstId;
            deliver(answered);
            continue;
        }
        const auto next = std::find_if(m_pending.begin(), m_pending.end(), [](const Pending &p) { return !p.started; });
        if (next == m_pending.end())
            return;
        // Settings go out at once; anything else waits for the answers before it.
        const CtlOp op = next->request.op;
        const bool atOnce = !next->ending && ((op == CtlOp::Set && !next->request.verify) || op == CtlOp::Off);
        if (!atOnce && next != m_pending.begin())
            return;
        startRequest(*next, m_nFirstId + (next - m_pending.begin()));
    }
}

void CCtlRun::startRequest(Pending &pending, qint64 id)
{
    pending.started = true;
    const CtlRequest &request = pending.request;
    if (pending.ending || request.op == CtlOp::Close) {
        finish(CtlOutcome::done());
        return;
    }
    if (request.op == CtlOp::Watch) {
        m_bWatching = request.on;
        complete(pending, CtlOutcome::done());
        return;
    }
    const bool readsReport = request.op == CtlOp::Get || request.verify;
    try {
        if (request.op != CtlOp::Get) {
            m_bOpenReport = false;
            // A session answers a setting once its frames have left; a
            // one-shot command is done as they go out, as the close that
            // ends it waits for the line, bounded, and says if it did not
            // carry them.
            const bool awaitsFrames = isSession() && !readsReport;
            for (int code : CDimraProtocol::kValueCodes) {
                if (!request.values[code] || !awaitsFrames)
                    continue;
                // Noted before it is sent: a frame can leave within send().
                m_unsent[code].append({id, *request.values[code]});
                ++pending.framesToGo;
            }
            for (int code : CDimraProtocol::kValueCodes)
                if (request.values[code])
                    m_link->send(code, *request.values[code]);
        }
        if (readsReport) {
            m_nReading = id;
            m_timer.start(m_options.timeoutMs);
            // The open-link frame asked already, unless something was set since.
            if (std::exchange(m_bOpenReport, false))
                checkReport();
            else
                m_link->requestReport();
        } else if (!isSession()) {
            complete(pending, CtlOutcome::done());
        }
    } catch (const CSerialError &e) {
        finish(sendFailure(e, m_bRemote));
    }
}

void CCtlRun::complete(Pending &pending, const CtlOutcome &answer, const BoardValues *values)
{
    pending.answer = answer;
    if (values)
        pending.values = *values;
    advanceLater();
}

void CCtlRun::deliver(const Pending &answered)
{
    if (isSession()) {
        print(answerLine(*answered.answer, answered.values));
        return;
    }
    // A one-shot command: what get read, then the run ends as its request did;
    // preset save --from-board saves it instead.
    if (answered.values && m_options.fromBoard) {
        finish(CtlSaveReportedPreset(m_options.presetName, *answered.values, m_options.timeoutMs));
        return;
    }
    if (answered.values)
        print(FormatValues(*answered.values, m_options.json));
    finish(*answered.answer);
}

CCtlRun::Pending *CCtlRun::pendingWithId(qint64 id)
{
    const qint64 index = id - m_nFirstId;
    return index >= 0 && index < qint64(m_pending.size()) ? &m_pending[size_t(index)] : nullptr;
}

void CCtlRun::onReply(int code, int value)
{
    if (m_bFinished)
        return;
    if (m_bWatching)
        print(isSession() ? FormatReportEvent(code, value) : FormatReply(code, value, m_options.json));
    checkReport();
}

void CCtlRun::checkReport()
{
    Pending *reading = pendingWithId(m_nReading);
    if (!reading || !m_link->isLinked())
        return;
    const BoardValues &reported = m_link->reported();
    if (reading->request.op == CtlOp::Get && allReported(kAllValues, reported))
        complete(*reading, CtlOutcome::done(), &reported);
    else if (reading->request.op == CtlOp::Set && allReported(reading->request.values, reported))
        complete(*reading, compared(reading->request.values, reported));
    else
        return;
    m_nReading = -1;
    m_timer.stop();
}

void CCtlRun::onFrameSent(int code, int value)
{
    // The frame that left carries the newest value sent for its code that
    // equals value: the requests up to that one are through, those whose
    // frame it replaced among them. (A frame the line had begun to take is
    // never replaced; where a later request sent its very value again, that
    // request counts as through with it, one frame early.)
    QList<std::pair<qint64, int>> &unsent = m_unsent[code];
    qsizetype last = unsent.size() - 1;
    while (last >= 0 && unsent.at(last).second != value)
        --last;
    for (qsizetype i = 0; i <= last; ++i)
        if (Pending *pending = pendingWithId(unsent.at(i).first); pending && --pending->framesToGo == 0)
            complete(*pending, CtlOutcome::done());
    unsent.remove(0, last + 1);
}

void CCtlRun::onTimeout()
{
    if (!m_bLinked) {
        // As get or set would end: "nothing was set" where a setting waits.
        const bool settingWaits = std::any_of(m_pending.begin(), m_pending.end(), [](const Pending &p) {
            return p.request.error.isEmpty() && !p.ending && (p.request.op == CtlOp::Set || p.request.op == CtlOp::Off);
        });
        finish(noAnswer(*m_link, m_options.timeoutMs, settingWaits));
        return;
    }
    Pending *reading = pendingWithId(m_nReading);
    if (!reading)
        return;
    m_nReading = -1;
    if (reading->request.op == CtlOp::Set)
        complete(*reading, notVerified(m_link->devicePath(), m_options.timeoutMs));
    else if (!m_link->isLinked())
        complete(*reading, noAnswer(*m_link, m_options.timeoutMs, false));
    else // the board answered but left values out: unknown, with a message
        complete(*reading, CtlOutcome::done(missingValuesText(m_link->reported(), m_options.timeoutMs)),
                 &m_link->reported());
}

void CCtlRun::onRefused(const QString &reason)
{
    // The set that waits to verify its values fails with the bridge's reason;
    // with none waiting, the user is told all the same.
    const CtlOutcome refusal{ExitUsage, tr("the bridge refused the setting: %1").arg(reason), QString()};
    Pending *reading = pendingWithId(m_nReading);
    if (!reading || reading->request.op != CtlOp::Set) {
        printMessage(m_err, refusal);
        return;
    }
    m_nReading = -1;
    m_timer.stop();
    complete(*reading, refusal);
}

void CCtlRun::finish(const CtlOutcome &outcome)
{
    if (m_bFinished)
        return;
    m_bFinished = true;
    m_timer.stop();
    const CtlOutcome result = m_link ? closeLink(*m_link, outcome, m_bRemote) : outcome;
    printMessage(m_err, result);
    if (isSession())
        answerTheRest(result);
    if (m_nOutputError != 0 && result.isDone()) {
        printMessage(m_err, {ExitIo, tr("cannot write the output: %1").arg(QString::fromLocal8Bit(std::strerror(m_nOutputError))),
                             QString()});
        emit finished(ExitIo);
        return;
    }
    emit finished(result.exitCode);
}

void CCtlRun::answerTheRest(const CtlOutcome &result)
{
    // Frames that left while the line drained have answered their sets.
    // What was asked is answered in order, up to a close; after a stop
    // signal only what was done.
    for (const Pending &pending : m_pending) {
        if (pending.ending)
            break;
        if (pending.answer)
            print(answerLine(*pending.answer, pending.values));
        else if (m_nStopSignal != 0)
            break;
        else
            print(answerLine(result, std::nullopt));
        if (pending.request.op == CtlOp::Close && pending.request.error.isEmpty())
            break;
    }
    m_pending.clear();
}

void CCtlRun::print(const QString &text)
{
    // A reader that has gone stops the run, as SIGPIPE would. Output that
    // cannot be written for another reason (a full disk) ends the run as an
    // I/O error, never as though its values had been read.
    if (CStopSignals::write(m_out, text) || CStopSignals::arrived() != 0 || m_nOutputError != 0)
        return;
    m_nOutputError = errno != 0 ? errno : EIO;
    QMetaObject::invokeMethod(this, [this] { finish(CtlOutcome::done()); }, Qt::QueuedConnection);
}
