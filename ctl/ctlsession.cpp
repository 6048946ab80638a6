#include "ctlsession.h"

#include "ctlformat.h"
#include "protocolnumbers.h"

CCtlSession::CCtlSession(const CtlOptions &options, FILE *out, FILE *err, QObject *parent)
    : CCtlRun(options, out, err, parent)
{
    connect(&m_timer, &QTimer::timeout, this, &CCtlSession::onTimeout);
    connect(&m_link, &CBoardLink::valueReported, this, &CCtlSession::onReply);
    connect(&m_link, &CBoardLink::lost, this, &CCtlSession::onLost);
}

void CCtlSession::start()
{
    if (m_options.command == CtlCommand::List) {
        listPorts();
        return;
    }
    if (const std::optional<CtlFailure> failure = OpenCtlLink(m_link, m_options)) {
        finish(*failure);
        return;
    }
    if (m_options.command != CtlCommand::Monitor)
        m_timer.start(m_options.timeoutMs);
}

void CCtlSession::listPorts()
{
    print(FormatPorts(ResolveListedCommPorts(), m_options.json));
    finish({});
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
        if (CtlAllReported(kCtlAllValues, m_link.reported())) {
            print(FormatValues(m_link.reported(), m_options.json));
            finish({});
        }
        break;
    case CtlCommand::Set:
    case CtlCommand::Off:
        if (!m_bSent && m_link.isLinked()) {
            m_bSent = true;
            // Out of the parser's loop: the rest of this read is parsed first.
            QMetaObject::invokeMethod(this, &CCtlSession::sendSettings, Qt::QueuedConnection);
        } else if (m_bVerifying && CtlAllReported(m_options.values, m_link.reported())) {
            finish(CtlCompareFailure(m_options.values, m_link.reported()).value_or(CtlFailure{}));
        }
        break;
    case CtlCommand::List:
    case CtlCommand::Session:
        break;
    }
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
        finish(CtlSendFailure(e));
        return;
    }
    finish({});
}

void CCtlSession::onTimeout()
{
    if (m_bVerifying) {
        finish(CtlNotVerifiedFailure(m_link.devicePath(), m_options.timeoutMs));
    } else if (!m_link.isLinked()) {
        finish(CtlNoAnswerFailure(m_link.devicePath(), m_options.timeoutMs, m_options.command != CtlCommand::Get));
    } else {
        // get: the board answered but left values out; they print as unknown.
        print(FormatValues(m_link.reported(), m_options.json));
        finish({ExitOk, CtlMissingValuesText(m_link.reported(), m_options.timeoutMs), QString()});
    }
}

void CCtlSession::onLost(const QString &text, const QString &details)
{
    finish(CtlLostFailure(text, details));
}
