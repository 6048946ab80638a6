#include "remoteclient.h"

#include "serialerror.h"

#include <QCoreApplication>
#include <QFile>

namespace {

// Written in English and told in the run's language.
struct RemoteClientText
{
    Q_DECLARE_TR_FUNCTIONS(RemoteClient)
};

// The first line of the password file.
QString passwordFrom(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw CSerialError(RemoteClientText::tr("cannot read the password file %1 (DIMRA_MQTT_PASSWORD_FILE): %2")
                               .arg(path, file.errorString()));
    QByteArray line = file.read(4096).split('\n').constFirst();
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

} // namespace

CMqttClient::Settings RemoteClientSettings(const RemoteAddress &address)
{
    CMqttClient::Settings settings;
    settings.host = address.host;
    settings.port = address.port;
    settings.user = address.user;
    // A password goes with a user; an empty variable is none.
    if (!address.user.isEmpty()) {
        settings.password = qEnvironmentVariable("DIMRA_MQTT_PASSWORD");
        const QString file = qEnvironmentVariable("DIMRA_MQTT_PASSWORD_FILE");
        if (settings.password.isEmpty() && !file.isEmpty())
            settings.password = passwordFrom(file);
    }
    settings.tls = address.tls;
    if (address.tls)
        settings.caFile = qEnvironmentVariable("DIMRA_MQTT_CAFILE");
    return settings;
}

RemoteFailure ConnectFailure(const RemoteAddress &address, const CMqttClient &client, const QString &reason)
{
    if (client.accessRefused())
        return {CAbstractBoardLink::NotAllowed,
                RemoteClientText::tr("the broker at %1 does not let this client in: %2").arg(address.brokerText(), reason)};
    return {CAbstractBoardLink::NotReached, RemoteClientText::tr("cannot reach the broker at %1: %2").arg(address.brokerText(), reason)};
}

RemoteFailure SubscriptionRefused(const RemoteAddress &address)
{
    return {CAbstractBoardLink::NotAllowed,
            address.user.isEmpty()
                ? RemoteClientText::tr("the broker at %1 does not let a client without a user read the boards' topics")
                      .arg(address.brokerText())
                : RemoteClientText::tr("the broker at %1 does not let the user \"%2\" read the boards' topics")
                      .arg(address.brokerText(), address.user)};
}

RemoteFailure BrokerLost(const RemoteAddress &address, const QString &reason)
{
    return {CAbstractBoardLink::LinkBroken, RemoteClientText::tr("lost the broker at %1: %2").arg(address.brokerText(), reason)};
}
