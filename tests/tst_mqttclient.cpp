#include "mosquittobroker.h"
#include "mqttclient.h"
#include "mqttrecorder.h"

#include <QSignalSpy>
#include <QTest>

// The MQTT client on the event loop against a real broker: messages both
// ways, retained ones to a late subscriber, a broker that dies and comes
// back, and the will sent only when the client dies.
class tst_MqttClient : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void publishedMessagesArriveAndRetainedOnesReachLateSubscribers();
    void aBrokerThatRestartsIsConnectedToAgain();
    void theWillIsSentWhenTheClientDiesButNotWhenItStops();

private:
    std::unique_ptr<MosquittoBroker> m_broker;
};

namespace {

CMqttClient::Settings localSettings(int port, const QString &will = QString())
{
    CMqttClient::Settings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = port;
    settings.firstRetryMs = 50;
    settings.maxRetryMs = 200;
    settings.willTopic = will;
    settings.willPayload = "offline";
    return settings;
}

} // namespace

void tst_MqttClient::init()
{
    m_broker = std::make_unique<MosquittoBroker>();
    QVERIFY2(m_broker->start(), qPrintable(m_broker->error()));
}

void tst_MqttClient::publishedMessagesArriveAndRetainedOnesReachLateSubscribers()
{
    MqttRecorder early(m_broker->port(), {QStringLiteral("t/#")});
    QVERIFY(early.waitConnected());
    QVERIFY(early.publish(QStringLiteral("t/retained"), "kept", true));
    QVERIFY(early.publish(QStringLiteral("t/plain"), "once"));
    QVERIFY(early.waitFor(QStringLiteral("t/plain"), "once"));
    QVERIFY(!early.on(QStringLiteral("t/retained")).constFirst().retained);

    MqttRecorder late(m_broker->port(), {QStringLiteral("t/#")});
    QVERIFY(late.waitConnected());
    QVERIFY(late.waitFor(QStringLiteral("t/retained"), "kept"));
    QVERIFY(late.on(QStringLiteral("t/retained")).constFirst().retained);
    QVERIFY(late.on(QStringLiteral("t/plain")).isEmpty());
}

void tst_MqttClient::aBrokerThatRestartsIsConnectedToAgain()
{
    CMqttClient client(localSettings(m_broker->port()));
    QSignalSpy connected(&client, &CMqttClient::connected);
    QSignalSpy disconnected(&client, &CMqttClient::disconnected);
    QVERIFY(connected.isValid() && disconnected.isValid());
    client.start();
    QVERIFY(connected.wait(5000));

    m_broker->kill();
    QVERIFY(disconnected.wait(5000));
    QVERIFY(!client.isConnected());
    QVERIFY(!client.publish(QStringLiteral("t/x"), QByteArray("lost"), false));

    QVERIFY2(m_broker->start(), qPrintable(m_broker->error()));
    QVERIFY(connected.wait(5000));
    MqttRecorder observer(m_broker->port(), {QStringLiteral("t/#")});
    QVERIFY(observer.waitConnected());
    QVERIFY(client.publish(QStringLiteral("t/x"), QByteArray("again"), false));
    QVERIFY(observer.waitFor(QStringLiteral("t/x"), "again"));
}

void tst_MqttClient::theWillIsSentWhenTheClientDiesButNotWhenItStops()
{
    MqttRecorder observer(m_broker->port(), {QStringLiteral("will/#")});
    QVERIFY(observer.waitConnected());

    auto stopping = std::make_unique<CMqttClient>(localSettings(m_broker->port(), QStringLiteral("will/stopping")));
    auto dying = std::make_unique<CMqttClient>(localSettings(m_broker->port(), QStringLiteral("will/dying")));
    QSignalSpy stoppingUp(stopping.get(), &CMqttClient::connected);
    QSignalSpy dyingUp(dying.get(), &CMqttClient::connected);
    stopping->start();
    dying->start();
    QVERIFY(stoppingUp.count() > 0 || stoppingUp.wait(5000));
    QVERIFY(dyingUp.count() > 0 || dyingUp.wait(5000));
    QVERIFY(stopping->publish(QStringLiteral("will/stopping"), "online", true));
    QVERIFY(stopping->stop(2000));
    dying.reset(); // the socket closes without a DISCONNECT

    QVERIFY(observer.waitFor(QStringLiteral("will/dying"), "offline"));
    QVERIFY(observer.waitFor(QStringLiteral("will/stopping"), "online"));
    QVERIFY(!observer.waitFor(QStringLiteral("will/stopping"), "offline", 300));
}

QTEST_GUILESS_MAIN(tst_MqttClient)
#include "tst_mqttclient.moc"
