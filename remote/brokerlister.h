#pragma once

#include "brokerboards.h"
#include "remoteaddress.h"

#include <QObject>
#include <QTimer>

#include <memory>

class CMqttClient;
struct RemoteFailure;

// dimractl list mqtt://host: connects to the broker, subscribes to what the
// bridges keep there (BrokerBoardTopics) and, once the broker has sent back
// all of it, says which boards it shows. The broker's end of what it keeps
// is a marker of this client's own, published after the subscriptions: at
// QoS 0 the broker sends everything in order, so once the marker is back,
// everything kept is here.
class CBrokerLister : public QObject
{
    Q_OBJECT

public:
    explicit CBrokerLister(QObject *parent = nullptr);
    ~CBrokerLister() override;

    // Throws CSerialError where the password file cannot be read. finished
    // follows once, from the event loop, within about timeoutMs.
    void start(const RemoteAddress &address, int timeoutMs);

signals:
    void finished(const BrokerListing &listing);

private:
    // Ends the listing with why the broker could not be asked.
    void fail(const RemoteFailure &failure);
    void finish();

    RemoteAddress m_address;
    std::unique_ptr<CMqttClient> m_client;
    QString m_marker;
    QList<RetainedMessage> m_kept;
    BrokerListing m_listing;
    QTimer m_timer;
    bool m_bFinished = false;
};
