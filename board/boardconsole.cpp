#include "boardconsole.h"

#include "boardserver.h"
#include "stopsignals.h"

CBoardConsole::CBoardConsole(CBoardServer *server, const CBoardModel *model, FILE *out, bool trace, bool live)
    : QObject(server), m_server(server), m_model(model), m_out(out), m_bTrace(trace), m_bLive(live)
{
    connect(server, &CBoardServer::framesReceived, this, [this](const QList<CFrameReader::Frame> &frames) {
        if (m_bTrace)
            for (const CFrameReader::Frame &frame : frames)
                print(traceLine(tr("RX", "received, in the trace"), frame.raw, CBoardModel::describe(frame)));
        showStatus();
    });
    connect(server, &CBoardServer::sent, this, [this](const CBoardModel::Output &output) {
        if (m_bTrace)
            print(traceLine(tr("TX", "sent, in the trace"), output.bytes, output.meaning));
    });
    connect(server, &CBoardServer::answersDropped, this, &CBoardConsole::showStatus);
}

QString CBoardConsole::statusLine(const CBoardModel &model, qint64 droppedAnswers)
{
    const CBoardModel::State &s = model.state();
    return tr("Frequency %1 Hz  Channel 1 %2 %  Channel 2 %3 %  Channel 3 %4 %  "
              "(frames: %5 received, %6 dropped; answers not sent: %7)")
        .arg(s.frequency)
        .arg(s.duty[0])
        .arg(s.duty[1])
        .arg(s.duty[2])
        .arg(model.reader().goodFrames())
        .arg(model.reader().badFrames())
        .arg(droppedAnswers);
}

QString CBoardConsole::traceLine(const QString &direction, const QByteArray &bytes, const QString &meaning)
{
    return QStringLiteral("%1 %2  %3").arg(direction, QString::fromLatin1(bytes.toHex(' ').toUpper()), meaning);
}

void CBoardConsole::showStatus()
{
    const QString status = statusLine(*m_model, m_server->droppedAnswers());
    if (m_bLive)
        CStopSignals::write(m_out, QStringLiteral("\r\033[K") + status);
    else if (status != m_strLastStatus)
        CStopSignals::write(m_out, status + QLatin1Char('\n'));
    m_strLastStatus = status;
}

void CBoardConsole::print(const QString &line)
{
    // Above the live line, which is drawn again after it.
    CStopSignals::write(m_out, m_bLive ? QStringLiteral("\r\033[K%1\n%2").arg(line, m_strLastStatus)
                                       : line + QLatin1Char('\n'));
}

void CBoardConsole::finish()
{
    if (m_bLive)
        CStopSignals::write(m_out, QStringLiteral("\n"));
}
