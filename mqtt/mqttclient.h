#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

struct mosquitto;
struct mosquitto_message;
class QSocketNotifier;

// An MQTT client (libmosquitto) driven by the Qt event loop, without a
// thread of its own: the broker's socket is watched by two socket
// notifiers (writing only while libmosquitto has something to write), and
// its housekeeping (keep-alive pings) runs on a timer only while connected.
// Nothing wakes the process while nothing happens.
//
// start() connects and keeps the connection: when it fails or breaks, the
// client tries again after a delay that doubles up to a limit, each attempt
// with a fresh session. Subscriptions and retained messages are the
// owner's to make again on connected(). An attempt that fails says why at
// once: the broker's refusal of a user or password, or what went wrong in
// the TLS handshake (an untrusted certificate, one made out to another host
// name, a port without TLS), as libmosquitto logs it.
class CMqttClient : public QObject
{
    Q_OBJECT

public:
    struct Settings
    {
        QString host = QStringLiteral("localhost");
        int port = 1883;
        QString clientId;
        QString user;     // none when empty
        QString password;
        QString caFile;   // TLS, the broker's certificate checked against it, when set
        bool tls = false; // TLS against the system's CAs, when caFile is not set
        QString willTopic; // a retained will when set
        QByteArray willPayload;
        int keepAliveSeconds = 60;
        int firstRetryMs = 500;
        int maxRetryMs = 30000;
    };

    explicit CMqttClient(const Settings &settings, QObject *parent = nullptr);
    ~CMqttClient() override;

    void start();

    // False when not connected: nothing is kept for later.
    bool publish(const QString &topic, const QByteArray &payload, bool retain);
    // QoS 1 by default; QoS 0 keeps what comes in the order the broker sends
    // it, retained messages and this client's own publications alike.
    bool subscribe(const QString &topic, int qos = 1);
    bool unsubscribe(const QString &topic);

    // Ends the session cleanly, so that the will is not sent: every message
    // published goes out, then DISCONNECT; waits, running the event loop,
    // until the broker has closed the connection. False when that took
    // longer than msecs.
    bool stop(int msecs);

    // The last attempt failed because the broker refused this user, its
    // password or a client without one: what trying again cannot mend.
    bool accessRefused() const { return m_bAccessRefused; }

signals:
    void connected();
    // A session that was up has ended; the client tries again.
    void disconnected(const QString &reason);
    // An attempt did not lead to a session; the client tries again.
    void connectFailed(const QString &reason);
    // retained: the broker kept the message and sends it on subscribing.
    void messageReceived(const QString &topic, const QByteArray &payload, bool retained);
    // The broker refused a subscription: this user may not read there.
    void subscriptionRefused();

private:
    static void onConnect(mosquitto *, void *self, int rc);
    static void onDisconnect(mosquitto *, void *self, int rc);
    static void onMessage(mosquitto *, void *self, const mosquitto_message *message);
    static void onLog(mosquitto *, void *self, int level, const char *text);

    void attempt();
    void attemptFailed(const QString &reason);
    void retryLater();
    bool makeHandle(QString *error);
    void freeHandle();
    void syncSocket(); // notifiers follow libmosquitto's socket and wishes
    void dropNotifiers();
    void readable();
    void writable();
    void afterLoop(int rc); // an attempt that libmosquitto ended without a callback fails here
    QString attemptError(int rc) const;
    void housekeeping();
    bool waitFor(const std::function<bool()> &done, int msecs);

    Settings m_settings;
    mosquitto *m_mosq = nullptr;
    int m_nFd = -1;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QTimer m_retryTimer;
    QTimer m_housekeepingTimer; // runs only while connected
    QTimer m_connectTimer;      // an attempt that hangs is given up
    int m_nRetryMs = 0;
    bool m_bConnected = false;
    bool m_bStopping = false;
    QString m_strRefusal;   // the broker's answer to the last CONNECT, when it refused
    bool m_bAccessRefused = false; // and that answer refused the user or its password
    bool m_bNameMismatch = false;  // the system's CAs trust the broker's certificate, made out to another host
    QStringList m_attemptLog; // libmosquitto's errors and warnings during this attempt
    int m_nUnacknowledged = 0; // subscriptions and unsubscriptions the broker has not acknowledged
};
