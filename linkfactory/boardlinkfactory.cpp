#include "boardlinkfactory.h"

#include "boardlink.h"
#include "serialerror.h"

#ifdef DIMRA_REMOTE_LINK
#include "brokerlister.h"
#include "remoteboardlink.h"
#endif

namespace {

#ifndef DIMRA_REMOTE_LINK
[[noreturn]] void refuseRemote()
{
    throw CSerialError(CBoardLinkFactory::tr("this build of Dimra reaches no board over MQTT: it was built without "
                                             "libmosquitto"),
                       CSerialError::NoSuchDevice);
}
#endif

} // namespace

std::unique_ptr<CAbstractBoardLink> CBoardLinkFactory::create(const QByteArray &port, QObject *parent)
{
    if (!IsRemotePortName(port))
        return std::make_unique<CBoardLink>(parent);
#ifdef DIMRA_REMOTE_LINK
    return std::make_unique<CRemoteBoardLink>(parent);
#else
    refuseRemote();
#endif
}

bool CBoardLinkFactory::suits(const CAbstractBoardLink &link, const QByteArray &port)
{
    return IsRemotePortName(port) == (qobject_cast<const CBoardLink *>(&link) == nullptr);
}

void CBoardLinkFactory::listBoards(const RemoteAddress &address, int timeoutMs, QObject *context,
                                   const std::function<void(const BrokerListing &)> &done)
{
#ifdef DIMRA_REMOTE_LINK
    auto *lister = new CBrokerLister(context);
    QObject::connect(lister, &CBrokerLister::finished, context, [lister, done](const BrokerListing &listing) {
        lister->deleteLater();
        done(listing);
    });
    try {
        lister->start(address, timeoutMs);
    } catch (...) {
        delete lister;
        throw;
    }
#else
    Q_UNUSED(address);
    Q_UNUSED(timeoutMs);
    Q_UNUSED(context);
    Q_UNUSED(done);
    refuseRemote();
#endif
}
