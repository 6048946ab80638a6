#include "brokerlister.h"

#include "mqttclient.h"
#include "remoteclient.h"

#include <QRandomGenerator>

CBrokerLister::CBrokerLister(QObject *parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CBrokerLister::finish);
}

CBrokerLister::~CBrokerLister() = default;

void CBrokerLister::start(const RemoteAddress &address, int timeoutMs)
{
    m_address = address;
    m_client = std::make_unique<CMqttClient>(RemoteClientSettings(address));
    // A marker no other client publishes, under the bridges' own kind of name.
    m_marker = bridgeTopic(QStringLiteral("dimractl-%1").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0')),
                           QStringLiteral("sync"));
    // From the event loop: libmosquitto's callbacks are no place to stop its client.
    connect(m_client.get(), &CMqttClient::connected, this, [this] {
        for (const QString &topic : BrokerBoardTopics())
            m_client->subscribe(topic, 0);
        m_client->subscribe(m_marker, 0);
        m_client->publish(m_marker, QByteArray("1"), false);
    }, Qt::QueuedConnection);
    connect(m_client.get(), &CMqttClient::messageReceived, this,
            [this](const QString &topic, const QByteArray &payload, bool retained) {
                if (topic == m_marker) {
                    m_listing.answered = true;
                    finish();
                } else if (retained) {
                    m_kept.append({topic, payload});
                }
            },
            Qt::QueuedConnection);
    connect(m_client.get(), &CMqttClient::connectFailed, this,
            [this](const QString &reason) { fail(ConnectFailure(m_address, *m_client, reason)); }, Qt::QueuedConnection);
    connect(m_client.get(), &CMqttClient::disconnected, this,
            [this](const QString &reason) { fail(BrokerLost(m_address, reason)); }, Qt::QueuedConnection);
    connect(m_client.get(), &CMqttClient::subscriptionRefused, this, [this] { fail(SubscriptionRefused(m_address)); },
            Qt::QueuedConnection);
    m_timer.start(timeoutMs);
    m_client->start();
}

void CBrokerLister::fail(const RemoteFailure &failure)
{
    m_listing.failure = failure.text;
    m_listing.failureKind = failure.kind;
    finish();
}

void CBrokerLister::finish()
{
    if (std::exchange(m_bFinished, true))
        return;
    m_timer.stop();
    m_client->stop(0);
    if (m_listing.failure.isEmpty())
        m_listing.boards = BrokerBoards(m_kept);
    emit finished(m_listing);
}
