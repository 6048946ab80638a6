#include "mosquittobroker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <arpa/inet.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Binds to port (0: the system picks a free one) or connects to it; the port, or 0 when that fails.
int tryLoopback(int port, bool connectTo)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const bool ok = connectTo ? ::connect(fd, reinterpret_cast<sockaddr *>(&address), length) == 0
                              : ::bind(fd, reinterpret_cast<sockaddr *>(&address), length) == 0
            && ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0;
    ::close(fd);
    return ok ? ntohs(address.sin_port) : 0;
}

} // namespace

bool MosquittoBroker::start()
{
    if (m_process.state() != QProcess::NotRunning)
        return true;
    if (m_nPort == 0)
        m_nPort = tryLoopback(0, false);
    const passwd *user = ::getpwuid(::geteuid());
    QFile config(m_dir.filePath(QStringLiteral("mosquitto.conf")));
    if (!user || !config.open(QIODevice::WriteOnly)) {
        m_strError = QStringLiteral("cannot write %1").arg(config.fileName());
        return false;
    }
    config.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\nuser %2\n")
                     .arg(m_nPort)
                     .arg(QString::fromLocal8Bit(user->pw_name))
                     .toUtf8());
    if (!m_user.isEmpty()) {
        const QString passwords = m_dir.filePath(QStringLiteral("passwords"));
        QFile::remove(passwords);
        if (QProcess::execute(QStringLiteral("mosquitto_passwd"), {QStringLiteral("-c"), QStringLiteral("-b"), passwords, m_user[0], m_user[1]}) != 0) {
            m_strError = QStringLiteral("mosquitto_passwd cannot write %1").arg(passwords);
            return false;
        }
        config.write(QStringLiteral("password_file %1\n").arg(passwords).toUtf8());
    }
    if (!m_tls.isEmpty()) {
        m_nTlsPort = tryLoopback(0, false);
        config.write(QStringLiteral("listener %1 127.0.0.1\ncertfile %2\nkeyfile %3\n").arg(m_nTlsPort).arg(m_tls[0], m_tls[1]).toUtf8());
    }
    config.close();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), config.fileName()});
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
        if (tryLoopback(m_nPort, true))
            return true;
        QThread::msleep(10);
    }
    m_process.waitForFinished(100);
    m_strError = QStringLiteral("mosquitto did not take connections on port %1: %2 %3")
                     .arg(m_nPort)
                     .arg(m_process.errorString(), QString::fromLocal8Bit(m_process.readAll()));
    kill();
    return false;
}

void MosquittoBroker::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}
