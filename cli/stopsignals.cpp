#include "stopsignals.h"

#include "consoletext.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <cerrno>

bool CStopSignals::write(FILE *stream, const QByteArray &bytes)
{
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) == size_t(bytes.size())
        && std::fflush(stream) == 0)
        return true;
    if (!readerGone(errno))
        return false; // errno says why
    s_readerGone = true;
    if (s_instance)
        s_instance->requestStop(brokenPipe());
    return false;
}

bool CStopSignals::write(FILE *stream, const QString &text)
{
    return WriteConsoleText(stream, text) || write(stream, text.toUtf8());
}

void CStopSignals::requestStop(int signalNumber)
{
    QMetaObject::invokeMethod(this, [this, signalNumber] { emit stopRequested(signalNumber); }, Qt::QueuedConnection);
}

bool QuitOnStopSignals(QCoreApplication *app)
{
    CStopSignals *stops = CStopSignals::watch();
    if (!stops)
        return false;
    QObject::connect(stops, &CStopSignals::stopRequested, app, &QCoreApplication::quit);
    return true;
}
