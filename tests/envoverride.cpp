#include "envoverride.h"

#include "commport.h"

#include <QFile>

EnvOverride::EnvOverride(const char *name, const QByteArray &value) : m_name(name)
{
    if (qEnvironmentVariableIsSet(name))
        m_previous = qgetenv(name);
    qputenv(name, value);
}

EnvOverride::~EnvOverride()
{
    if (m_previous)
        qputenv(m_name.constData(), *m_previous);
    else
        qunsetenv(m_name.constData());
}

PortOverride::PortOverride(int n, const QString &device)
    : EnvOverride(CommPortVariable(n).toLatin1().constData(), QFile::encodeName(device))
{
}

PortOverride::PortOverride(int n, const QByteArray &path)
    : EnvOverride(CommPortVariable(n).toLatin1().constData(), path)
{
}
