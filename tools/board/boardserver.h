#pragma once

#include "boardmodel.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QSocketNotifier;

// Puts a board model on a line: a new pseudo-terminal, or a pair of
// descriptors such as standard input and output. Bytes read go to the
// model; its answers go out paced at 9600 baud (960 bytes a second), as
// real hardware would send them, unless pacing is switched off.
class CBoardServer : public QObject
{
    Q_OBJECT

public:
    explicit CBoardServer(CBoardModel *model, QObject *parent = nullptr);
    ~CBoardServer() override;

    // Serves on a new pseudo-terminal; devicePath() is what a program opens.
    bool OpenPty(QString *error);
    // Serves on descriptors the caller owns.
    void Attach(int inFd, int outFd);
    // Makes a symbolic link at path to the device. Anything already at path
    // is an error and stays as it was. On destruction the link is removed
    // if it still points at the device.
    bool LinkTo(const QString &path, QString *error);

    QString devicePath() const { return m_strDevice; }
    void setPaced(bool paced) { m_bPaced = paced; }
    // Bytes queued but not yet on the line.
    qsizetype pendingBytes() const { return m_pending.size(); }

signals:
    void framesReceived(const QList<CFrameReader::Frame> &frames);
    void sent(const CBoardModel::Output &output);
    void inputEnded();

private:
    void readInput();
    void queue(const QByteArray &bytes);
    void writePending();

    CBoardModel *m_model;
    int m_inFd = -1;
    int m_outFd = -1;
    int m_ptySlave = -1; // held open, so reads at the master never fail while no program has the port
    bool m_bOwnFds = false;
    QString m_strDevice;
    QByteArray m_link; // the link made, to remove on exit
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;

    bool m_bPaced = true;
    QByteArray m_pending;
    QTimer m_paceTimer;
    QElapsedTimer m_burstClock; // since the pending bytes began to flow
    qint64 m_nBurstSent = 0;
};
