#pragma once

#include "mqttclient.h"

#include <QList>
#include <QObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

// A real mosquitto broker for one test, on 127.0.0.1 at a free port:
// anonymous clients, nothing kept on disk, run as the test's own user (root
// included; mosquitto would otherwise leave root for "mosquitto"). kill()
// and start() again keep the port, as a broker that restarts does.
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
    int port() const { return m_nPort; }
    int tlsPort() const { return m_nTlsPort; }
    QString error() const { return m_strError; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_nPort = 0;
    int m_nTlsPort = 0;
    QStringList m_tls;
    QString m_strError;
};

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
