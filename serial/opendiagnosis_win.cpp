#include "opendiagnosis.h"

// Without a way to look at the device here, no cause is guessed.
CSerialError DiagnoseOpenFailure(const QString &where, const QByteArray &, const QString &systemText,
                                 const QString &)
{
    return UndiagnosedOpenFailure(where, systemText);
}

void CheckSerialDevice(const QString &, const QByteArray &, const QString &)
{
}
