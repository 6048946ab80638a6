#pragma once

#include "mqttclient.h"

#include <QList>
#include <QObject>
#include <QTest>
#include <functional>

// A test's own MQTT client: subscribes to filters on the broker at
// 127.0.0.1:port and keeps every message it receives, in order.
class MqttRecorder : public QObject
{
    Q_OBJECT

public:
    struct Message
    {
        QString topic;
        QByteArray payload;
        bool retained = false;
    };

    MqttRecorder(int port, const QStringList &filters);
    // Connected and subscribed (a retained message may still be on its way).
    bool waitConnected() { return QTest::qWaitFor([this] { return m_bSubscribed; }); }
    const QList<Message> &messages() const { return m_messages; }
    void clear() { m_messages.clear(); }
    QByteArray last(const QString &topic) const; // null when none came
    // Whether a message on topic that accept takes (any, without accept) came within timeoutMs.
    bool waitFor(const QString &topic, const std::function<bool(const QByteArray &)> &accept = {}, int timeoutMs = 5000);
    bool waitFor(const QString &topic, const QByteArray &payload, int timeoutMs = 5000)
    {
        return waitFor(topic, [&](const QByteArray &p) { return p == payload; }, timeoutMs);
    }
    bool publish(const QString &topic, const QByteArray &payload, bool retain = false)
    {
        return m_client.publish(topic, payload, retain);
    }

private:
    CMqttClient m_client;
    QList<Message> m_messages;
    bool m_bSubscribed = false;
};
