#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real mosquitto broker for one test, on 127.0.0.1 at a free port, with a
// configuration of its own: anonymous clients, nothing kept on disk. It
// runs as the user the test runs as, root included (mosquitto would
// otherwise leave root for a user "mosquitto"). kill() and start() again
// keep the port, as a broker that restarts does.
class MosquittoBroker
{
public:
    MosquittoBroker();
    ~MosquittoBroker();
    MosquittoBroker(const MosquittoBroker &) = delete;
    MosquittoBroker &operator=(const MosquittoBroker &) = delete;

    // Starts the broker and waits until it takes connections; false, with
    // the reason in error(), when it does not within a few seconds.
    bool start();
    // Ends it at once (SIGKILL), as a crash or a pulled cable would.
    void kill();
    bool isRunning() const { return m_process.state() == QProcess::Running; }

    int port() const { return m_nPort; }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_nPort); }
    QString error() const { return m_strError; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_nPort = 0;
    QString m_strError;
};
