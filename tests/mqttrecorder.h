#pragma once

#include "mqttclient.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

// A test's own MQTT client: it subscribes to topic filters and keeps every
// message it receives, in order, for the test to look through and wait for.
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

    // Connects to the broker at 127.0.0.1:port and subscribes to filters.
    MqttRecorder(int port, const QStringList &filters, QObject *parent = nullptr);

    // Waits until connected and subscribed (a retained message sent on
    // subscribing may still be on its way); false after timeoutMs.
    bool waitConnected(int timeoutMs = 5000);

    const QList<Message> &messages() const { return m_messages; }
    void clear() { m_messages.clear(); }
    // The last payload seen on topic, or a null array.
    QByteArray last(const QString &topic) const;

    // Waits until a message on topic satisfies accept (any message when
    // accept is empty); returns whether one came within timeoutMs.
    bool waitFor(const QString &topic, const std::function<bool(const QByteArray &)> &accept = {},
                 int timeoutMs = 5000);
    bool waitFor(const QString &topic, const QByteArray &payload, int timeoutMs = 5000);

    bool publish(const QString &topic, const QByteArray &payload, bool retain = false);

private:
    CMqttClient m_client;
    QStringList m_filters;
    QList<Message> m_messages;
    bool m_bSubscribed = false;
};
