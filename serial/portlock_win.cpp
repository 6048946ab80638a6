#include "portlock.h"

// Windows keeps a port to one program itself; there are no lock files.

PortIdentity IdentifyPort(const QByteArray &path)
{
    return {path, QByteArray()};
}

void CPortLock::acquire(const QByteArray &path, const QString &where)
{
    Q_UNUSED(where);
    release();
    m_openName = path;
}

void CPortLock::release()
{
    m_openName.clear();
}
