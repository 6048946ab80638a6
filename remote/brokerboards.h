#pragma once

#include "abstractboardlink.h"
#include "bridgemessages.h"

#include <QList>
#include <QString>
#include <QStringList>

// The boards a broker knows, as dimractl list mqtt://host shows them, read
// from what the bridges keep there: each board's availability and state,
// each bridge's status and boards list, and the board's name from its Home
// Assistant discovery config (under a one-word prefix, homeassistant by
// default), where the bridge publishes one.
struct BrokerBoard
{
    QString id;
    QString name;   // empty where no discovery config names it
    QString bridge; // a running bridge that lists it, else any that does; empty where none does
    bool online = false; // its bridge runs and reports it linked
    bool operator==(const BrokerBoard &other) const
    {
        return id == other.id && name == other.name && bridge == other.bridge && online == other.online;
    }
};

// What a listing learned: the boards, or why the broker could not be asked.
struct BrokerListing
{
    QList<BrokerBoard> boards; // by id
    QString failure;           // empty when the broker was asked
    CAbstractBoardLink::LossKind failureKind = CAbstractBoardLink::LinkBroken;
    bool answered = false;     // the broker sent back all it keeps in time
};

// The topics a listing subscribes to.
QStringList BrokerBoardTopics();
// The boards that the messages kept under those topics show, by id.
QList<BrokerBoard> BrokerBoards(const QList<RetainedMessage> &kept);
