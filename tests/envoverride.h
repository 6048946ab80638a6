#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Sets an environment variable for the guard's life and puts back what was
// there before (or unsets it) when the guard goes, however the test ends.
class EnvOverride
{
public:
    EnvOverride(const char *name, const QByteArray &value);
    ~EnvOverride();
    EnvOverride(const EnvOverride &) = delete;
    EnvOverride &operator=(const EnvOverride &) = delete;

private:
    QByteArray m_name;
    std::optional<QByteArray> m_previous;
};

// COM<n> leads to device (DIMRA_COM<n>).
class PortOverride : public EnvOverride
{
public:
    PortOverride(int n, const QString &device);
    // The path's bytes as they are, text or not.
    PortOverride(int n, const QByteArray &path);
};
