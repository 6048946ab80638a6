#include "boardconsole.h"

#include "boardserver.h"

CBoardConsole::CBoardConsole(CBoardServer *server, const CBoardModel *model, FILE *out, bool trace, bool live)
    : QObject(server), m_server(server), m_model(model), m_out(out), m_bTrace(trace), m_bLive(live)
{
    connect(server, &CBoardServer::framesReceived, this, [this](const QList<CFrameReader::Frame> &frames) {
        if (m_bTrace)
            for (const CFrameReader::Frame &frame : frames)
                print(TraceLine(QStringLiteral("收"), frame.raw, CBoardModel::Describe(frame)));
        showStatus();
    });
    connect(server, &CBoardServer::sent, this, [this](const CBoardModel::Output &output) {
        if (m_bTrace)
            print(TraceLine(QStringLiteral("发"), output.bytes, output.meaning));
    });
    connect(server, &CBoardServer::answersDropped, this, &CBoardConsole::showStatus);
}

QString CBoardConsole::StatusLine(const CBoardModel &model, qint64 droppedAnswers)
{
    const CBoardModel::State &s = model.state();
    return QStringLiteral("频率 %1 Hz  通道1 %2 %  通道2 %3 %  通道3 %4 %  （收到 %5 帧，丢弃 %6 帧，未发出应答 %7 条）")
        .arg(s.frequency)
        .arg(s.duty[0])
        .arg(s.duty[1])
        .arg(s.duty[2])
        .arg(model.reader().goodFrames())
        .arg(model.reader().badFrames())
        .arg(droppedAnswers);
}

QString CBoardConsole::TraceLine(const QString &direction, const QByteArray &bytes, const QString &meaning)
{
    return QStringLiteral("%1 %2  %3").arg(direction, QString::fromLatin1(bytes.toHex(' ').toUpper()), meaning);
}

void CBoardConsole::showStatus()
{
    const QString status = StatusLine(*m_model, m_server->droppedAnswers());
    if (m_bLive) {
        std::fprintf(m_out, "\r\033[K%s", status.toLocal8Bit().constData());
        std::fflush(m_out);
    } else if (status != m_strLastStatus) {
        std::fprintf(m_out, "%s\n", status.toLocal8Bit().constData());
        std::fflush(m_out);
    }
    m_strLastStatus = status;
}

void CBoardConsole::print(const QString &line)
{
    // Above the live line, which is drawn again after it.
    std::fprintf(m_out, m_bLive ? "\r\033[K%s\n" : "%s\n", line.toLocal8Bit().constData());
    if (m_bLive)
        std::fprintf(m_out, "%s", m_strLastStatus.toLocal8Bit().constData());
    std::fflush(m_out);
}

void CBoardConsole::finish()
{
    if (m_bLive) {
        std::fprintf(m_out, "\n");
        std::fflush(m_out);
    }
}
