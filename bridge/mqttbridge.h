#pragma once

#include "bridgeboard.h"
#include "bridgeconfig.h"
#include "bridgepresets.h"
#include "mqttclient.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QTimer>

// dimra-mqtt: the boards of one computer on an MQTT broker.
//
//   broker ── CMqttClient ── CMqttBridge ── CBridgeBoard ── CBoardLink ── port ── board
//              (event loop)   topics,        state, owed      codec, paced
//                             payloads,      commands,        merging output
//                             discovery,     fades,
//                             other bridges  reopening
//
// Each bridge has an identity of its own, its bridge id: its status topic
// and last will, and the list of boards it serves, live under it, so that
// several bridges on one host or one broker leave each other alone.
//
// Before it serves anything, the first session checks what the broker keeps:
// every bridge's status and boards list and, for restore, its boards' last
// state. A board that another bridge lists and that bridge still answers
// (asked on its ping topic) or has just published its list is left to it;
// another bridge that answers to this one's own id stops this one. Only then
// are the ports opened, and a board is published only once its port has
// opened: before that, only availability offline. A port that another
// program holds as it is opened may be that of a bridge started together
// with this one: for a while the bridge listens for a list naming the board,
// and leaves the board to its sender; when none comes, the port is merely in
// use (the window, dimractl) and is tried again as long as it is. The boards
// an earlier run of this bridge listed, that it no longer serves and that no
// other bridge lists, are emptied.
//
// The bridge turns messages into commands (bridgemessages.h parses and
// checks them whole; a refused one sends nothing and says why on the
// board's error topic) and every change of a board's state into retained
// messages. A message on a board's get topic asks the board to report, and
// its state is published once it has, changed or not: what a program that
// reaches the board over the broker takes for the board's answer. A preset
// command applies a preset of the presets file (bridgepresets.h) as a set
// of its values would, and the board's preset topic says which preset it
// holds; with discovery, Home Assistant's select "Preset" offers the file's
// presets, and its config follows the file. Whenever a session with the
// broker begins, and that is after every reconnect too, it publishes
// everything again: its own status, each board's availability, state,
// lights and preset, the subscriptions and, with discovery, the Home
// Assistant configs. Home Assistant announcing itself online gets the
// configs again.
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

    QString bridgeId() const { return m_strBridgeId; }

signals:
    void logged(const QString &line);
    // Another running bridge has this one's bridge id; this one must not run.
    void identityTaken();

private:
    struct Route
    {
        static constexpr int kGet = -1;
        CBridgeBoard *board = nullptr;
        int channel = 0; // 0: the board's set topic; 1-3: a light's; kGet: its get topic
    };
    enum class Phase { Waiting, Checking, Asking, Contending, Serving };

    void onConnected();
    void beginCheck();
    void onCheckMessage(const QString &topic, const QByteArray &payload, bool retained);
    void askOwners();
    // The running bridge that lists the board id, or nothing.
    QString ownerOf(const QString &id) const;
    void decide();
    // Settles the boards whose ports another program held; with timeUp,
    // those no bridge has claimed are taken, their ports merely in use.
    void settleHeld(bool timeUp);
    void leave(CBridgeBoard *board, const QString &owner);
    void beginServing();
    void endCheck();
    void serve();
    void take(CBridgeBoard *board);
    void onMessage(const QString &topic, const QByteArray &payload, bool retained);
    void onCommand(const QString &topic, const Route &route, const QByteArray &payload, bool retained);
    void refuse(const Route &route, const QString &topic, const QString &reason);
    // Availability, state and lights, at every change of the board's state.
    void publishBoard(CBridgeBoard *board);
    void publishRetained(const QString &topic, const QByteArray &payload);
    void publishDiscovery(CBridgeBoard *board);
    // The preset topic, which changes only as the board's preset or the
    // presets file does, not with each value the board takes.
    void publishPreset(CBridgeBoard *board);
    void onPresetsChanged();
    void removeBoards(const QStringList &ids);
    void logRefusal(const QString &line);
    void endRefusalBurst();
    QString ownTopic(const char *leaf) const;

    BridgeConfig m_config;
    QString m_strBridgeId;
    QByteArray m_token; // this run's sync marker
    CMqttClient m_client;
    CBridgePresets m_presets;
    QList<CBridgeBoard *> m_boards; // every board configured
    QList<CBridgeBoard *> m_served; // those this bridge serves
    QHash<QString, Route> m_routes; // command topic -> board and channel
    QHash<QString, QByteArray> m_published; // what each retained topic holds, this session; emptied as one begins
    Phase m_phase = Phase::Waiting;
    QTimer m_checkTimer; // bounds the check and the wait for answers
    QHash<QString, QByteArray> m_statuses;  // bridge id -> its status, as kept
    QHash<QString, QStringList> m_lists;    // bridge id -> the boards it lists
    bool m_bOwnListRefused = false;         // this id's list was no list a bridge writes
    QHash<QString, QByteArray> m_memory;    // board id -> its kept state, for restore
    QSet<QString> m_asked;                  // bridge ids asked whether they run
    QSet<QString> m_answered;
    QSet<QString> m_running;                // bridge ids that published their list during the check
    QList<CBridgeBoard *> m_held;           // boards whose ports another program held at the claim
    QString m_strLastBrokerProblem;
    bool m_bStopping = false; // every board is offline from now on
    QTimer m_refusalTimer; // runs while commands are being refused in a burst
    int m_nRefusedInBurst = 0;
};
