#pragma once

#include "abstractboardlink.h"
#include "brokerboards.h"
#include "remoteaddress.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QObject>

#include <functional>
#include <memory>

// The one door every program reaches a board through: the link a port's
// name calls for. mqtt:// and mqtts:// name a board that dimra-mqtt serves
// (remote/); anything else is a serial port (link/). Which links a build
// has is decided here alone: without libmosquitto there is no remote link,
// and its addresses are refused with a message that says so.
class CBoardLinkFactory
{
    Q_DECLARE_TR_FUNCTIONS(CBoardLinkFactory)

public:
    // A link for the port, not yet open. Throws CSerialError for an
    // address this build cannot reach.
    static std::unique_ptr<CAbstractBoardLink> create(const QByteArray &port, QObject *parent = nullptr);
    // Whether link is of the kind the port's name calls for, so that it may
    // open it: a program that reaches one board after another keeps its link
    // (and what a serial link knows of a lost adapter) while the kind stays.
    static bool suits(const CAbstractBoardLink &link, const QByteArray &port);

    // Reads what the broker at address keeps of its boards; done is called
    // once, from the event loop, within about timeoutMs. Throws CSerialError
    // where this build reaches no broker, or its password file cannot be read.
    static void listBoards(const RemoteAddress &address, int timeoutMs, QObject *context,
                           const std::function<void(const BrokerListing &)> &done);
};
