#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// A board that dimra-mqtt serves, named as a port is:
//   mqtt://[user@]host[:port]/<board-id>     mqtts://... for TLS
// and without the board id, the broker itself (dimractl list mqtt://host).
// The port is MQTT's own unless given: 1883, and 8883 with TLS. A password
// is never written in an address, where a shell's history and the process
// list would keep it: it comes from the environment as the client connects
// (remoteclient.h).
struct RemoteAddress
{
    bool tls = false;
    QString user;    // none when empty
    QString host;    // an IPv6 address without its brackets
    int port = 0;
    QString boardId; // empty: the broker itself

    // As messages and dimractl list write it: with its port, never a password.
    QString text() const;
    // The broker's part of it: mqtt://host:1883.
    QString brokerText() const;
};

// Whether a port's name names a board on a broker: it begins with mqtt://
// or mqtts://, in any case. Anything else is a serial port's name.
bool IsRemotePortName(const QByteArray &name);

// The address text gives, or nothing, with error saying why. boardNamed: a
// board id follows the broker; otherwise none may. An error never quotes
// the text, which may hold a password.
std::optional<RemoteAddress> ParseRemoteAddress(const QString &text, bool boardNamed, QString *error);
