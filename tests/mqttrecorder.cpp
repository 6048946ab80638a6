#include "mqttrecorder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

namespace {

CMqttClient::Settings settingsFor(int port)
{
    CMqttClient::Settings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = port;
    settings.firstRetryMs = 100;
    settings.maxRetryMs = 500;
    return settings;
}

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    return done();
}

} // namespace

MqttRecorder::MqttRecorder(int port, const QStringList &filters, QObject *parent)
    : QObject(parent)
    , m_client(settingsFor(port))
    , m_filters(filters)
{
    connect(&m_client, &CMqttClient::connected, this, [this] {
        for (const QString &filter : m_filters)
            m_client.subscribe(filter);
        m_bSubscribed = true;
    });
    connect(&m_client, &CMqttClient::disconnected, this, [this] { m_bSubscribed = false; });
    connect(&m_client, &CMqttClient::messageReceived, this,
            [this](const QString &topic, const QByteArray &payload, bool retained) {
                m_messages.append({topic, payload, retained});
            });
    m_client.start();
}

bool MqttRecorder::waitConnected(int timeoutMs)
{
    return waitUntil([this] { return m_bSubscribed; }, timeoutMs);
}

QByteArray MqttRecorder::last(const QString &topic) const
{
    for (auto it = m_messages.crbegin(); it != m_messages.crend(); ++it)
        if (it->topic == topic)
            return it->payload;
    return QByteArray();
}

bool MqttRecorder::waitFor(const QString &topic, const std::function<bool(const QByteArray &)> &accept, int timeoutMs)
{
    qsizetype seen = 0;
    bool found = false;
    waitUntil(
        [&] {
            for (; seen < m_messages.size() && !found; ++seen)
                found = m_messages.at(seen).topic == topic && (!accept || accept(m_messages.at(seen).payload));
            return found;
        },
        timeoutMs);
    return found;
}

bool MqttRecorder::waitFor(const QString &topic, const QByteArray &payload, int timeoutMs)
{
    return waitFor(topic, [&](const QByteArray &p) { return p == payload; }, timeoutMs);
}

bool MqttRecorder::publish(const QString &topic, const QByteArray &payload, bool retain)
{
    return m_client.publish(topic, payload, retain);
}
