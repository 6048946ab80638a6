#pragma once

#include "commandline.h"

#include <QFileDevice>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// What dimra-mqtt serves and where it publishes: from the command line for
// one board (bridgeoptions.h), or from a configuration file for several, in
// INI format (inireader.h) with the sections [broker], [discovery] and one
// [board.NAME] a board; the shipped example, mqtt.conf, shows every key.
//
// Everything is checked before anything opens, and only what is read
// exactly is taken: besides what the reader refuses, a key the bridge does
// not know, a port out of range, an id that is not fit for a topic, two
// boards with one id or on one port refuse the file, naming the key's line.

// The broker's port when none is given: MQTT's own.
inline constexpr int kDefaultBrokerPort = 1883;

struct BridgeBoardConfig
{
    QString port; // a device path or COM1 to COM256
    QString id;   // empty until derived from the port
    QString name;
    bool restore = false;
};

struct BridgeConfig
{
    QString host = QStringLiteral("localhost");
    int port = kDefaultBrokerPort;
    QString caFile;
    QString user;
    QString passwordFile;
    QString bridgeId;   // empty: the default, see bridgeIdOf
    QString configFile; // the file read, its canonical path; empty for -p
    // The presets file that {"preset":...} applies from and Home Assistant's
    // select offers; empty: none. By default the user's with -p, none from
    // a configuration file, which a service runs with.
    QString presetsFile;
    bool discovery = true;
    QString discoveryPrefix = QStringLiteral("homeassistant");
    QList<BridgeBoardConfig> boards;
};

using BridgeParse = CliParse<BridgeConfig>;

// The bridge's identity: the bridge id configured, else one from this host's
// name and the configuration file (or, with -p, the board's id), which stays
// the same when the same bridge runs again.
QString bridgeIdOf(const BridgeConfig &config);

// Reads a configuration file. A refusal quotes the file as it is, control
// characters and all, for the caller to show.
BridgeParse loadBridgeConfig(const QString &file);

// The configuration with the one board of the command line: its port
// checked, its id given (idGiven) or made from the port, the whole checked
// as a file's is; a refusal names --port or --id.
BridgeParse oneBoardConfig(const BridgeConfig &config, BridgeBoardConfig board, bool idGiven);

// The id a board gets when none is configured, so that it stays the same
// across replug and reboot: the name of the link the port was given by
// (/dev/serial/by-id/... is such a link), else the by-id name of the device
// the port leads to, else the device's own name; tidied by tidyBoardId.
QString derivedBoardId(const QString &port);
// The same from what was found on the system, for the tests.
QString derivedBoardId(const QString &linkName, const QString &byIdName, const QString &deviceName);

// The broker password: the first line of passwordFile, or when none is
// configured of the systemd credential "mqtt-password" if there is one.
// Nothing, with error set, when a file named cannot be read.
std::optional<QString> readBrokerPassword(const QString &passwordFile, QString *error);

// Why caFile cannot be the CA that the broker's certificate is checked
// against: a folder or a device, a file this user cannot read, or one that
// holds no certificate in PEM format. Nothing when it can be.
std::optional<QString> caFileProblem(const QString &caFile);

#ifdef Q_OS_WIN
// Whom an entry of a file's access list allows what: a SID in its text form
// (S-1-5-18), the account's name to show, and the rights (an access mask).
struct FileAccessEntry
{
    QString sid;
    QString name;
    quint32 rights = 0;
};
// A warning for a file of the configuration that others than its owner, the
// administrators and SYSTEM may read, given its owner's SID and the entries
// of its access list that allow, naming them and the icacls command that
// keeps it to the administrators and SYSTEM; empty when it is kept.
QString accessWarning(const QString &file, const QString &ownerSid, const QList<FileAccessEntry> &allowed);
#else
// A warning for a file of the configuration that others than its owner may
// read, naming the chmod that keeps it to its owner; empty when it is kept.
QString accessWarning(const QString &file, QFileDevice::Permissions permissions);
#endif
// Those warnings for the configuration file and the password file; systemd's
// credentials are its to guard and are left out.
QStringList accessWarnings(const BridgeConfig &config);

// What the configuration asks of the system (bridgeconfig_unix.cpp, _win.cpp).
namespace BridgeConfigPlatform {
// The warning for a file that others may read, from what the system says
// of it; empty when it is kept or cannot be asked.
QString accessWarning(const QString &file);
// The by-id link that names the device a port leads to; empty where there
// is none, and where the system has no such names.
QString byIdLink(const QString &device);
} // namespace BridgeConfigPlatform
