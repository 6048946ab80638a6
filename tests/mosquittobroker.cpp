#include "mosquittobroker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A port nobody listens on now: the system's pick for port 0.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool acceptsConnections(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

} // namespace

MosquittoBroker::MosquittoBroker()
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

MosquittoBroker::~MosquittoBroker()
{
    kill();
}

bool MosquittoBroker::start()
{
    if (isRunning())
        return true;
    if (m_nPort == 0)
        m_nPort = freePort();
    const passwd *user = ::getpwuid(::geteuid());
    const QString config = m_dir.filePath(QStringLiteral("mosquitto.conf"));
    QFile file(config);
    if (!user || !file.open(QIODevice::WriteOnly)) {
        m_strError = QStringLiteral("cannot write %1").arg(config);
        return false;
    }
    file.write(QStringLiteral("listener %1 127.0.0.1\n"
                              "allow_anonymous true\n"
                              "persistence false\n"
                              "user %2\n"
                              "log_dest stdout\n")
                   .arg(m_nPort)
                   .arg(QString::fromLocal8Bit(user->pw_name))
                   .toUtf8());
    file.close();

    m_process.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), config});
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
        if (acceptsConnections(m_nPort))
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
