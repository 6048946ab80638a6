#include "mqttclient.h"

#include "systemcas.h"
#include "tcpquickack.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mosquitto.h>
#include <mqtt_protocol.h>

namespace {

// Published messages go at QoS 0: whatever a broken session lost is published
// again on the next, and a QoS 1 publish draws an acknowledgement that,
// unacknowledged by TCP for a while (delayed ACK), holds the broker's next
// message to us back under Nagle's algorithm (brokers leave it on) for tens
// of milliseconds. Subscriptions and the will keep QoS 1.
constexpr int kPublishQos = 0;
constexpr int kQos = 1;
// An attempt whose TCP connect or CONNACK has not come by then is given up.
constexpr int kConnectTimeoutMs = 10000;
// The packets taken in one go when a burst waits, before others get a turn.
constexpr int kPacketsPerRead = 64;
// What a broker grants a subscription it refuses, instead of a QoS.
constexpr int kSubscriptionRefused = 0x80;

// libmosquitto's text for an error code, and the system's words when the
// error came from the system.
QString errorText(int rc)
{
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    return QString::fromUtf8(mosquitto_strerror(rc));
}

// libmosquitto is set up once for the process, before the first client.
void initLibrary()
{
    static const bool done = [] {
        mosquitto_lib_init();
        return true;
    }();
    Q_UNUSED(done);
}

} // namespace

CMqttClient::CMqttClient(const Settings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
{
    initLibrary();
    m_retryTimer.setSingleShot(true);
    m_connectTimer.setSingleShot(true);
    m_housekeepingTimer.setInterval(m_settings.keepAliveSeconds * 1000 / 4);
    connect(&m_retryTimer, &QTimer::timeout, this, &CMqttClient::attempt);
    connect(&m_housekeepingTimer, &QTimer::timeout, this, &CMqttClient::housekeeping);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        attemptFailed(tr("no answer from %1:%2 within %3 s").arg(m_settings.host).arg(m_settings.port)
                          .arg(kConnectTimeoutMs / 1000));
    });
}

CMqttClient::~CMqttClient()
{
    freeHandle();
}

void CMqttClient::start()
{
    m_bStopping = false;
    m_nRetryMs = 0;
    attempt();
}

bool CMqttClient::makeHandle(QString *error)
{
    const QByteArray id = m_settings.clientId.toUtf8();
    m_mosq = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), true, this);
    if (!m_mosq) {
        *error = tr("cannot make an MQTT client: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    mosquitto_connect_callback_set(m_mosq, &CMqttClient::onConnect);
    mosquitto_disconnect_callback_set(m_mosq, &CMqttClient::onDisconnect);
    mosquitto_message_callback_set(m_mosq, &CMqttClient::onMessage);
    mosquitto_log_callback_set(m_mosq, &CMqttClient::onLog);
    mosquitto_subscribe_callback_set(m_mosq, [](mosquitto *, void *self, int, int count, const int *granted) {
        auto *client = static_cast<CMqttClient *>(self);
        --client->m_nUnacknowledged;
        if (std::any_of(granted, granted + count, [](int qos) { return qos == kSubscriptionRefused; }))
            emit client->subscriptionRefused();
    });
    mosquitto_unsubscribe_callback_set(m_mosq, [](mosquitto *, void *self, int) {
        --static_cast<CMqttClient *>(self)->m_nUnacknowledged;
    });
    mosquitto_int_option(m_mosq, MOSQ_OPT_TCP_NODELAY, 1);

    int rc = MOSQ_ERR_SUCCESS;
    if (!m_settings.willTopic.isEmpty())
        rc = mosquitto_will_set(m_mosq, m_settings.willTopic.toUtf8().constData(), int(m_settings.willPayload.size()),
                                m_settings.willPayload.constData(), kQos, true);
    if (rc == MOSQ_ERR_SUCCESS && !m_settings.user.isEmpty())
        rc = mosquitto_username_pw_set(m_mosq, m_settings.user.toUtf8().constData(),
                                       m_settings.password.isEmpty() ? nullptr : m_settings.password.toUtf8().constData());
    if (rc == MOSQ_ERR_SUCCESS && !m_settings.caFile.isEmpty())
        rc = mosquitto_tls_set(m_mosq, QFile::encodeName(m_settings.caFile).constData(), nullptr, nullptr, nullptr, nullptr);
    else if (rc == MOSQ_ERR_SUCCESS && m_settings.tls)
        rc = TrustSystemCas(m_mosq, m_settings.host, &m_bNameMismatch);
    if (rc != MOSQ_ERR_SUCCESS) {
        *error = errorText(rc);
        return false;
    }
    return true;
}

void CMqttClient::freeHandle()
{
    dropNotifiers();
    m_nFd = -1;
    if (m_mosq) {
        mosquitto_destroy(m_mosq);
        m_mosq = nullptr;
    }
    m_bConnected = false;
    m_housekeepingTimer.stop();
    m_connectTimer.stop();
}

void CMqttClient::attempt()
{
    // A fresh handle each time: nothing of a broken session is carried over.
    freeHandle();
    m_strRefusal.clear();
    m_bAccessRefused = false;
    m_bNameMismatch = false;
    m_attemptLog.clear();
    m_nUnacknowledged = 0;
    QString error;
    if (!makeHandle(&error)) {
        attemptFailed(error);
        return;
    }
    // Resolving the host name blocks; a name in /etc/hosts or an address
    // does not wait.
    const int rc = mosquitto_connect_async(m_mosq, m_settings.host.toUtf8().constData(), m_settings.port,
                                           m_settings.keepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        // A broker close by may have failed the TLS handshake already.
        attemptFailed(attemptError(rc));
        return;
    }
    m_connectTimer.start(kConnectTimeoutMs);
    syncSocket();
}

void CMqttClient::attemptFailed(const QString &reason)
{
    freeHandle();
    if (m_bStopping)
        return;
    emit connectFailed(reason);
    // The owner may have stopped the client on hearing it.
    if (!m_bStopping)
        retryLater();
}

void CMqttClient::retryLater()
{
    m_nRetryMs = m_nRetryMs == 0 ? m_settings.firstRetryMs : qMin(m_nRetryMs * 2, m_settings.maxRetryMs);
    // Bridges that lost one broker together do not come back in step.
    const int jitter = int(QRandomGenerator::global()->bounded(m_nRetryMs / 5 + 1));
    m_retryTimer.start(m_nRetryMs + jitter);
}

void CMqttClient::syncSocket()
{
    const int fd = m_mosq ? mosquitto_socket(m_mosq) : -1;
    if (fd != m_nFd) {
        dropNotifiers();
        m_nFd = fd;
        if (fd >= 0) {
            m_readNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
            m_writeNotifier = new QSocketNotifier(fd, QSocketNotifier::Write, this);
            connect(m_readNotifier, &QSocketNotifier::activated, this, &CMqttClient::readable);
            connect(m_writeNotifier, &QSocketNotifier::activated, this, &CMqttClient::writable);
        }
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(mosquitto_want_write(m_mosq));
}

void CMqttClient::dropNotifiers()
{
    // Possibly inside one of their own signals: off now, gone later.
    for (QSocketNotifier *notifier : {m_readNotifier, m_writeNotifier}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    m_readNotifier = nullptr;
    m_writeNotifier = nullptr;
}

void CMqttClient::readable()
{
    if (!m_mosq)
        return;
    // libmosquitto reads one packet a call; a burst is taken in one go.
    int rc = MOSQ_ERR_SUCCESS;
    for (int packets = 0; packets < kPacketsPerRead && m_mosq; ++packets) {
        rc = mosquitto_loop_read(m_mosq, 1); // a session's end comes through onDisconnect
        if (rc != MOSQ_ERR_SUCCESS || mosquitto_socket(m_mosq) != m_nFd || bytesWaiting(m_nFd) <= 0)
            break;
    }
    afterLoop(rc);
    if (!m_mosq)
        return;
    syncSocket();
    if (m_nFd >= 0)
        acknowledgeAtOnce(m_nFd);
}

void CMqttClient::writable()
{
    if (!m_mosq)
        return;
    afterLoop(mosquitto_loop_write(m_mosq, 1));
    if (m_mosq)
        syncSocket();
}

void CMqttClient::afterLoop(int rc)
{
    // A failed TLS handshake closes the socket without a callback; a refused
    // CONNECT has one, and its reason is kept.
    if (rc == MOSQ_ERR_SUCCESS || m_bConnected || !m_mosq)
        return;
    attemptFailed(!m_strRefusal.isEmpty() ? m_strRefusal : attemptError(rc));
}

QString CMqttClient::attemptError(int rc) const
{
    if (rc != MOSQ_ERR_TLS)
        return errorText(rc);
    auto logged = [this](const char *part) {
        return std::any_of(m_attemptLog.begin(), m_attemptLog.end(),
                           [part](const QString &line) { return line.contains(QLatin1String(part)); });
    };
    // libmosquitto checks the name itself and says so before OpenSSL's error.
    if (logged("host name verification failed") || m_bNameMismatch)
        return tr("TLS: the broker's certificate is not made out to %1 (host name mismatch)").arg(m_settings.host);
    if (logged("certificate verify failed"))
        return m_settings.caFile.isEmpty()
                   ? tr("TLS: the broker's certificate is not trusted by the system's CAs (untrusted certificate)")
                   : tr("TLS: the broker's certificate is not trusted by the CA in %1 (untrusted certificate)")
                         .arg(m_settings.caFile);
    if (logged("unexpected eof") || logged("wrong version number") || logged("packet length too long"))
        return tr("TLS: the broker did not answer the TLS handshake; is port %1 a listener without TLS?").arg(m_settings.port);
    return m_attemptLog.isEmpty() ? errorText(rc) : tr("TLS: %1").arg(m_attemptLog.constLast());
}

void CMqttClient::housekeeping()
{
    if (!m_mosq)
        return;
    mosquitto_loop_misc(m_mosq);
    syncSocket();
}

bool CMqttClient::publish(const QString &topic, const QByteArray &payload, bool retain)
{
    if (!m_bConnected)
        return false;
    const int rc = mosquitto_publish(m_mosq, nullptr, topic.toUtf8().constData(), int(payload.size()),
                                     payload.constData(), kPublishQos, retain);
    syncSocket();
    return rc == MOSQ_ERR_SUCCESS;
}

bool CMqttClient::subscribe(const QString &topic, int qos)
{
    if (!m_bConnected)
        return false;
    const int rc = mosquitto_subscribe(m_mosq, nullptr, topic.toUtf8().constData(), qos);
    syncSocket();
    m_nUnacknowledged += rc == MOSQ_ERR_SUCCESS;
    return rc == MOSQ_ERR_SUCCESS;
}

bool CMqttClient::unsubscribe(const QString &topic)
{
    if (!m_bConnected)
        return false;
    const int rc = mosquitto_unsubscribe(m_mosq, nullptr, topic.toUtf8().constData());
    syncSocket();
    m_nUnacknowledged += rc == MOSQ_ERR_SUCCESS;
    return rc == MOSQ_ERR_SUCCESS;
}

bool CMqttClient::waitFor(const std::function<bool()> &done, int msecs)
{
    const QDeadlineTimer deadline(msecs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, int(qMax<qint64>(deadline.remainingTime(), 1)));
    return done();
}

bool CMqttClient::stop(int msecs)
{
    m_bStopping = true;
    m_retryTimer.stop();
    if (!m_bConnected) {
        freeHandle();
        return true;
    }
    // DISCONNECT goes out behind everything published; the broker closes
    // the connection once it has taken them all.
    // The broker's acknowledgements of subscriptions are read first: unread
    // bytes at close make the system reset the connection, and a broker
    // that sees a reset before the DISCONNECT sends the will.
    const QDeadlineTimer deadline(msecs);
    waitFor([this] { return m_nUnacknowledged == 0 || !m_bConnected; }, int(deadline.remainingTime() / 2));
    if (m_bConnected)
        mosquitto_disconnect(m_mosq);
    syncSocket();
    const bool done = waitFor([this] { return !m_bConnected; }, int(qMax<qint64>(deadline.remainingTime(), 0)));
    freeHandle();
    return done;
}

void CMqttClient::onConnect(mosquitto *, void *self, int rc)
{
    auto *client = static_cast<CMqttClient *>(self);
    client->m_connectTimer.stop();
    if (rc != 0) {
        // libmosquitto ends the attempt next, through onDisconnect.
        const QString answer = QString::fromUtf8(mosquitto_connack_string(rc));
        client->m_bAccessRefused = rc == CONNACK_REFUSED_BAD_USERNAME_PASSWORD || rc == CONNACK_REFUSED_NOT_AUTHORIZED;
        if (client->m_bAccessRefused)
            client->m_strRefusal = client->m_settings.user.isEmpty()
                                       ? tr("the broker refused a client without a user name (%1)").arg(answer)
                                       : tr("the broker refused the user \"%1\" or its password (%2)")
                                             .arg(client->m_settings.user, answer);
        else
            client->m_strRefusal = tr("the broker refused: %1").arg(answer);
        return;
    }
    client->m_bConnected = true;
    client->m_nRetryMs = 0;
    client->m_housekeepingTimer.start();
    emit client->connected();
}

void CMqttClient::onDisconnect(mosquitto *, void *self, int rc)
{
    auto *client = static_cast<CMqttClient *>(self);
    const bool wasConnected = client->m_bConnected;
    client->m_bConnected = false;
    client->m_housekeepingTimer.stop();
    if (client->m_bStopping)
        return;
    const QString reason = !client->m_strRefusal.isEmpty() ? client->m_strRefusal
                           : rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_SUCCESS
                               ? tr("the broker closed the connection")
                               : errorText(rc);
    if (wasConnected)
        emit client->disconnected(reason);
    // The handle is freed from the event loop, not inside its own callback.
    mosquitto *handle = client->m_mosq;
    QMetaObject::invokeMethod(
        client,
        [client, handle, reason, wasConnected] {
            if (client->m_mosq != handle || client->m_bStopping)
                return;
            if (!wasConnected) {
                client->attemptFailed(reason);
                return;
            }
            client->freeHandle();
            client->m_nRetryMs = 0;
            client->retryLater();
        },
        Qt::QueuedConnection);
}

void CMqttClient::onLog(mosquitto *, void *self, int level, const char *text)
{
    auto *client = static_cast<CMqttClient *>(self);
    if ((level & (MOSQ_LOG_ERR | MOSQ_LOG_WARNING)) && !client->m_bConnected && client->m_attemptLog.size() < 16)
        client->m_attemptLog.append(QString::fromUtf8(text));
}

void CMqttClient::onMessage(mosquitto *, void *self, const mosquitto_message *message)
{
    auto *client = static_cast<CMqttClient *>(self);
    emit client->messageReceived(QString::fromUtf8(message->topic),
                                 QByteArray(static_cast<const char *>(message->payload), message->payloadlen),
                                 message->retain);
}
