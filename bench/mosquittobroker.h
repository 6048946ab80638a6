#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// A real mosquitto broker for a benchmark or a test run, on 127.0.0.1 at a
// free port: anonymous clients, nothing kept on disk, run as the caller's
// own user (root included; mosquitto would otherwise leave root for
// "mosquitto"). kill() and start() again keep the port, as a broker that
// restarts does.
class MosquittoBroker
{
public:
    ~MosquittoBroker() { kill(); }
    // Waits until it takes connections; false, with error() saying why, when
    // it does not within a few seconds.
    bool start();
    void kill(); // SIGKILL, as a crash would
    // From the next start on, a TLS listener too, at tlsPort(), showing this certificate.
    void setTls(const QString &certificateFile, const QString &keyFile) { m_tls = {certificateFile, keyFile}; }
    // From the next start on, a client that names user must give password;
    // one without a user name is still let in.
    void setUser(const QString &user, const QString &password) { m_user = {user, password}; }
    int port() const { return m_nPort; }
    int tlsPort() const { return m_nTlsPort; }
    QString error() const { return m_strError; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_nPort = 0;
    int m_nTlsPort = 0;
    QStringList m_tls;
    QStringList m_user; // name and password
    QString m_strError;
};
