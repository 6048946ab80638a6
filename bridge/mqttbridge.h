#pragma once

#include "bridgeboard.h"
#include "bridgeconfig.h"
#include "mqttclient.h"

#include <QHash>
#include <QObject>
#include <QTimer>

// dimra-mqtt: the boards of one computer on an MQTT broker.
//
//   broker ── CMqttClient ── CMqttBridge ── CBridgeBoard ── CBoardLink ── port ── board
//              (event loop)   topics,        state, owed      codec, paced
//                             payloads,      commands,        merging output
//                             discovery      reopening
//
// The bridge turns messages into commands (bridgemessages.h parses and
// checks them whole; a refused one sends nothing and says why on the
// board's error topic) and every change of a board's state into retained
// messages. Whenever the session with the broker begins, and that is after
// every reconnect too, it publishes everything again: its own status, each
// board's availability, state and lights, the subscriptions and, with
// discovery, the Home Assistant configs; those of boards that an earlier run
// served and this one does not are emptied. Home Assistant announcing
// itself online gets the configs again.
class CMqttBridge : public QObject
{
    Q_OBJECT

public:
    // password: the broker's, already read from its file.
    CMqttBridge(const BridgeConfig &config, const QString &password, QObject *parent = nullptr);

    void start();
    // Publishes offline for every board and the bridge, sends what waits for
    // the lines and ends the session; at most about msecs. False when
    // something did not get out.
    bool shutdown(int msecs);

    QString hostName() const { return m_strHost; }

signals:
    void logged(const QString &line);

private:
    struct Route
    {
        CBridgeBoard *board = nullptr;
        int channel = 0; // 0: the board's set topic; 1-3: a light's
    };

    void onConnected();
    void onMessage(const QString &topic, const QByteArray &payload, bool retained);
    void onCommand(const QString &topic, const Route &route, const QByteArray &payload, bool retained);
    void refuse(const Route &route, const QString &topic, const QString &reason);
    void publishBoard(CBridgeBoard *board, bool all);
    void publishRetained(const QString &topic, const QByteArray &payload, bool always);
    void publishDiscovery();
    void removeBoards(const QStringList &ids);
    void logRefusal(const QString &line);
    void endRefusalBurst();

    BridgeConfig m_config;
    QString m_strHost;
    CMqttClient m_client;
    QList<CBridgeBoard *> m_boards;
    QHash<QString, Route> m_routes; // command topic -> board and channel
    QHash<QString, QByteArray> m_published; // what each retained topic holds, this session
    QString m_strLastBrokerProblem;
    bool m_bStopping = false; // every board is offline from now on
    QTimer m_refusalTimer; // runs while commands are being refused in a burst
    int m_nRefusedInBurst = 0;
};
