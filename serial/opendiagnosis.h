#pragma once

#include "serialerror.h"

#include <QByteArray>
#include <QString>

// Why a device could not be opened, told apart only from what can be seen
// of it: nothing at the path, something that is not a serial device, a
// device this user may not open, a device another program holds. Anything
// else is said to be undiagnosed; the system's own words always go to the
// details, never a guessed cause to the user.
//
// `where` names the device for the user ("/dev/ttyUSB0（COM1）"), `path` is
// the path as the system takes it, `systemText` what the open reported and
// `variable` the environment variable that names the port's device. The
// device is looked at in opendiagnosis_unix.cpp (opendiagnosis_win.cpp).
CSerialError DiagnoseOpenFailure(const QString &where, const QByteArray &path, const QString &systemText,
                                 const QString &variable);

// The message for a failure no cause is known for; the system's words go
// to the details.
CSerialError UndiagnosedOpenFailure(const QString &where, const QString &systemText);

// The advice for a device this user may not open, decided from its status
// alone: join its group when that group is not root and may read and write
// it; otherwise no group grants access, and a udev rule does.
QString PermissionAdvice(const QString &where, unsigned groupId, unsigned mode, const QString &groupName);
