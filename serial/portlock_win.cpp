#include "portlock.h"

// Windows keeps a port to one program itself, and there are no lock files:
// a port another program holds refuses the open (ERROR_ACCESS_DENIED), and
// the open's diagnosis says it is in use (opendiagnosis_win.cpp).

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
