#include "mqttrecorder.h"

MqttRecorder::MqttRecorder(int port, const QStringList &filters)
    : m_client([port] {
        CMqttClient::Settings settings;
        settings.host = QStringLiteral("127.0.0.1");
        settings.port = port;
        settings.firstRetryMs = 100;
        settings.maxRetryMs = 500;
        return settings;
    }())
{
    connect(&m_client, &CMqttClient::connected, this, [this, filters] {
        for (const QString &filter : filters)
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
    return QTest::qWaitFor([&] {
        for (; seen < m_messages.size() && !found; ++seen)
            found = m_messages.at(seen).topic == topic && (!accept || accept(m_messages.at(seen).payload));
        return found;
    }, timeoutMs);
}
