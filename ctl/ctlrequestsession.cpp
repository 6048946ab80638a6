#include "ctlrequestsession.h"

#include "ctlformat.h"
#include "ctlinput.h"

CCtlRequestSession::CCtlRequestSession(const CtlOptions &options, FILE *out, FILE *err, QObject *parent)
    : CCtlRun(options, out, err, parent)
{
    connect(&m_timer, &QTimer::timeout, this, &CCtlRequestSession::onTimeout);
    connect(&m_link, &CBoardLink::valueReported, this, &CCtlRequestSession::onReply);
    connect(&m_link, &CBoardLink::frameSent, this, &CCtlRequestSession::onFrameSent);
    connect(&m_link, &CBoardLink::lost, this,
            [this](const QString &text, const QString &details) { finish(CtlLostFailure(text, details)); });
    connect(&m_link, &CBoardLink::linked, this, [this] {
        if (m_bLinked)
            return; // linked again after a report was asked for
        m_bLinked = true;
        m_bOpenReport = true;
        m_timer.stop();
        print(FormatLinkedEvent(m_link.devicePath()));
        advanceLater();
    });
}

CCtlRequestSession::~CCtlRequestSession() = default;

void CCtlRequestSession::start()
{
    m_input = new CCtlInput(this);
    connect(m_input, &CCtlInput::lineRead, this, [this](const QByteArray &line) {
        if (!line.trimmed().isEmpty())
            request(ParseCtlRequest(line));
    });
    connect(m_input, &CCtlInput::lineTooLong, this, [this] {
        CtlRequest tooLong;
        tooLong.error = tr("the line is too long: a request is at most %1 bytes").arg(CCtlInput::kMaxLineBytes);
        request(tooLong);
    });
    connect(m_input, &CCtlInput::ended, this, &CCtlRequestSession::endOfInput);
    if (const std::optional<CtlFailure> failure = OpenCtlLink(m_link, m_options)) {
        finish(*failure);
        return;
    }
    m_timer.start(m_options.timeoutMs);
}

void CCtlRequestSession::request(const CtlRequest &asked)
{
    if (m_bFinished)
        return;
    Pending pending;
    pending.request = asked;
    if (!pending.request.error.isEmpty()) {
        pending.started = pending.done = true;
        pending.answer = FormatErrorAnswer(ExitUsage, pending.request.error);
    }
    m_pending.push_back(pending);
    advanceLater();
}

void CCtlRequestSession::endOfInput()
{
    if (m_bFinished)
        return;
    Pending pending;
    pending.ending = true;
    m_pending.push_back(pending);
    advanceLater();
}

void CCtlRequestSession::advanceLater()
{
    // Never from inside the link's receive or send: the rest of a read is
    // parsed, and a frame's own signals are through, before more goes out.
    if (m_bAdvancePosted)
        return;
    m_bAdvancePosted = true;
    QMetaObject::invokeMethod(this, &CCtlRequestSession::advance, Qt::QueuedConnection);
}

void CCtlRequestSession::advance()
{
    m_bAdvancePosted = false;
    // Nothing is answered before the line that reports the link.
    while (!m_bFinished && m_bLinked) {
        while (!m_pending.empty() && m_pending.front().done) {
            print(m_pending.front().answer);
            m_pending.pop_front();
            ++m_nFirstId;
        }
        const auto next = std::find_if(m_pending.begin(), m_pending.end(), [](const Pending &p) { return !p.started; });
        if (next == m_pending.end())
            return;
        // Settings go out at once; anything else waits for the answers before it.
        const CtlOp op = next->request.op;
        const bool atOnce = !next->ending && ((op == CtlOp::Set && !next->request.verify) || op == CtlOp::Off);
        if (!atOnce && next != m_pending.begin())
            return;
        start(*next, m_nFirstId + (next - m_pending.begin()));
    }
}

void CCtlRequestSession::start(Pending &pending, qint64 id)
{
    pending.started = true;
    const CtlRequest &request = pending.request;
    if (pending.ending || request.op == CtlOp::Close) {
        finish({});
        return;
    }
    if (request.op == CtlOp::Watch) {
        m_bWatching = request.on;
        complete(pending, FormatAnswer());
        return;
    }
    const bool readsReport = request.op == CtlOp::Get || request.verify;
    try {
        if (request.op != CtlOp::Get) {
            m_bOpenReport = false;
            for (int code : CDimraProtocol::kValueCodes) {
                if (!request.values[code] || readsReport)
                    continue;
                // Noted before it is sent: a frame can leave within send().
                m_unsent[code].append({id, *request.values[code]});
                ++pending.framesToGo;
            }
            for (int code : CDimraProtocol::kValueCodes)
                if (request.values[code])
                    m_link.send(code, *request.values[code]);
        }
        if (readsReport) {
            m_nReading = id;
            m_timer.start(m_options.timeoutMs);
            // The open-link frame asked already, unless something was set since.
            if (std::exchange(m_bOpenReport, false))
                checkReport();
            else
                m_link.requestReport();
        }
    } catch (const CSerialError &e) {
        finish(CtlSendFailure(e));
    }
}

void CCtlRequestSession::complete(Pending &pending, const QString &answer)
{
    pending.done = true;
    pending.answer = answer;
    advanceLater();
}

CCtlRequestSession::Pending *CCtlRequestSession::pendingWithId(qint64 id)
{
    const qint64 index = id - m_nFirstId;
    return index >= 0 && index < qint64(m_pending.size()) ? &m_pending[size_t(index)] : nullptr;
}

void CCtlRequestSession::onReply(int code, int value)
{
    if (m_bFinished)
        return;
    if (m_bWatching)
        print(FormatReportEvent(code, value));
    checkReport();
}

void CCtlRequestSession::checkReport()
{
    Pending *reading = pendingWithId(m_nReading);
    if (!reading || !m_link.isLinked())
        return;
    const BoardValues &reported = m_link.reported();
    if (reading->request.op == CtlOp::Get && CtlAllReported(kCtlAllValues, reported)) {
        complete(*reading, FormatAnswer(&reported));
    } else if (reading->request.op == CtlOp::Set && CtlAllReported(reading->request.values, reported)) {
        const std::optional<CtlFailure> mismatch = CtlCompareFailure(reading->request.values, reported);
        complete(*reading, mismatch ? FormatErrorAnswer(mismatch->exitCode, mismatch->message) : FormatAnswer());
    } else {
        return;
    }
    m_nReading = -1;
    m_timer.stop();
}

void CCtlRequestSession::onFrameSent(int code, int value)
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
            complete(*pending, FormatAnswer());
    unsent.remove(0, last + 1);
}

void CCtlRequestSession::onTimeout()
{
    if (!m_bLinked) {
        // As get or set would end: "nothing was set" where a setting waits.
        const bool settingWaits = std::any_of(m_pending.begin(), m_pending.end(), [](const Pending &p) {
            return p.request.error.isEmpty() && !p.ending && (p.request.op == CtlOp::Set || p.request.op == CtlOp::Off);
        });
        finish(CtlNoAnswerFailure(m_link.devicePath(), m_options.timeoutMs, settingWaits));
        return;
    }
    Pending *reading = pendingWithId(m_nReading);
    if (!reading)
        return;
    m_nReading = -1;
    if (reading->request.op == CtlOp::Set) {
        const CtlFailure failure = CtlNotVerifiedFailure(m_link.devicePath(), m_options.timeoutMs);
        complete(*reading, FormatErrorAnswer(failure.exitCode, failure.message));
    } else if (!m_link.isLinked()) {
        const CtlFailure failure = CtlNoAnswerFailure(m_link.devicePath(), m_options.timeoutMs, false);
        complete(*reading, FormatErrorAnswer(failure.exitCode, failure.message));
    } else {
        // The board answered but left values out: null, and the one-shot get's message.
        complete(*reading, FormatAnswer(&m_link.reported(), CtlMissingValuesText(m_link.reported(), m_options.timeoutMs)));
    }
}

void CCtlRequestSession::closed(const CtlFailure &result)
{
    // Frames that left while the line drained have answered their sets.
    // What was asked is answered in order, up to a close; after a stop
    // signal only what was done.
    for (const Pending &pending : m_pending) {
        if (pending.ending)
            break;
        if (pending.done)
            print(pending.answer);
        else if (stopSignal() != 0)
            break;
        else if (result.exitCode == ExitOk)
            print(FormatAnswer());
        else
            print(FormatErrorAnswer(result.exitCode, result.message, result.details));
        if (pending.request.op == CtlOp::Close && pending.request.error.isEmpty())
            break;
    }
    m_pending.clear();
}
