#pragma once

#include "abstractboardlink.h"
#include "mqttclient.h"
#include "remoteaddress.h"

#include <QString>

// How a program connects to the broker an address names, for the remote
// link and for dimractl list alike.
//
// It connects as the address's user, with the password from
// DIMRA_MQTT_PASSWORD, or else from the first line of the file that
// DIMRA_MQTT_PASSWORD_FILE names (the bridge too reads its password from a
// file, never from its command line); with mqtts://, the broker's
// certificate is checked against DIMRA_MQTT_CAFILE, or else the system's CAs.
// Throws CSerialError when the password file cannot be read.
CMqttClient::Settings RemoteClientSettings(const RemoteAddress &address);

// Why a connection to the broker failed or ended, for the user.
struct RemoteFailure
{
    CAbstractBoardLink::LossKind kind = CAbstractBoardLink::LinkBroken;
    QString text;
};

// An attempt that failed for reason: the broker refused the user (or, with
// subscription, a topic), or it was never reached.
RemoteFailure ConnectFailure(const RemoteAddress &address, const CMqttClient &client, const QString &reason);
RemoteFailure SubscriptionRefused(const RemoteAddress &address);
// A session that was up has ended.
RemoteFailure BrokerLost(const RemoteAddress &address, const QString &reason);
