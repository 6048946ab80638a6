#pragma once

#include "boardmodel.h"
#include "protocolnumbers.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>

class QSocketNotifier;
class QTimer;

// Puts a board model on a line: a new pseudo-terminal, or a pair of
// descriptors such as standard input and output. Bytes read go to the
// model; its answers go out paced at 9600 baud (960 bytes a second), as
// real hardware would send them, unless pacing is switched off. Nothing
// wakes the server while nothing is to be sent. At most about a second of
// line time waits: beyond it the oldest whole answers are dropped.
//
// On a pseudo-terminal the server holds its own end open all along, so that
// reading never fails while no program has the port, and watches hosts open
// and close the device. When the last host has closed it, however it ended
// (killed included), the answers owed are dropped and the line is taken
// back: not exclusive any more, raw, its unread bytes gone. The next host
// starts afresh; nothing a host does ends the board.
class CBoardServer : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype kQueueLimit = Dimra::kLineBytesPerSecond; // bytes: one second of the line

    explicit CBoardServer(CBoardModel *model, QObject *parent = nullptr);
    ~CBoardServer() override;

    // Serves on a new pseudo-terminal; devicePath() is what a program opens.
    bool openPty(QString *error);
    // Serves on descriptors the caller owns. They are made non-blocking
    // while served and get their flags back when the server is destroyed.
    void attach(int inFd, int outFd);
    // Makes a symbolic link at path (the system's bytes, text or not) to
    // the device. Anything already at path is an error and stays as it was.
    // On destruction the link is removed if it still points at the device.
    bool linkTo(const QByteArray &path, QString *error);

    QString devicePath() const { return m_strDevice; }
    void setPaced(bool paced) { m_bPaced = paced; }
    // Bytes queued but not yet on the line.
    qsizetype pendingBytes() const { return m_nQueued; }
    // Answers that never went out: beyond the queue's limit, or owed to a
    // host that closed the port.
    qint64 droppedAnswers() const { return m_nDropped; }
    // Why serving stopped, when it stopped for a fault.
    QString errorString() const { return m_strError; }

signals:
    void framesReceived(const QList<CFrameReader::Frame> &frames);
    // An answer is on the line, all of it.
    void sent(const CBoardModel::Output &output);
    void answersDropped();
    // The input ended and all it was owed is sent, or the line failed.
    void finished();

private:
    void readInput();
    void readOpens();
    void hostLeft();
    void endInput(const QString &error = QString());
    void enqueue(const CBoardModel::Output &answer);
    void dropAll();
    void dropAt(int index);
    void writePending();
    void lineWritable();

    CBoardModel *m_model;
    int m_inFd = -1;
    int m_outFd = -1;
    int m_inFlags = -1; // as the caller had them
    int m_outFlags = -1;
    bool m_bOwnFds = false;
    int m_ptySlave = -1; // our own end of the pseudo-terminal
    int m_opensFd = -1;  // hosts opening and closing the device
    int m_nHostOpens = 0;
    QString m_strDevice;
    QByteArray m_link; // the link made, to remove on exit
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;

    bool m_bPaced = true;
    bool m_bInputEnded = false;
    bool m_bFinished = false;
    QList<CBoardModel::Output> m_queue;
    qsizetype m_nQueued = 0;   // bytes in m_queue not yet written
    qsizetype m_nHeadSent = 0; // bytes of the first answer already written
    qint64 m_nDropped = 0;
    QTimer *m_paceTimer;
    QElapsedTimer m_burstClock; // since the pending bytes began to flow
    qint64 m_nBurstSent = 0;
    QString m_strError;
};
