#pragma once

#include "serialerror.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// The diagnoses are written in Chinese and told in the run's language.
class OpenDiagnosis
{
    Q_DECLARE_TR_FUNCTIONS(OpenDiagnosis)
};

// Why a device could not be opened, told apart only from what can be seen
// of it: nothing at the path, something that is not a serial device, a
// device this user may not open, a device another program holds. Anything
// else is said to be undiagnosed; the system's own words always go to the
// details, never a guessed cause to the user.
//
// `where` names the device for the user ("/dev/ttyUSB0（COM1）"), `path` is
// the path as the system takes it, `systemError` and `systemText` what the
// open reported and `variable` the environment variable that names the
// port's device. The device is looked at in opendiagnosis_unix.cpp; on
// Windows, which lets nobody look at a port another program holds, the
// open's error alone tells (opendiagnosis_win.cpp).
CSerialError DiagnoseOpenFailure(const QString &where, const QByteArray &path, int systemError,
                                 const QString &systemText, const QString &variable);

// Refuses, before anything is locked or opened, a device that is a
// terminal but no serial line (the console, /dev/tty, /dev/ptmx, a virtual
// console) with the same error as any other device that is not a serial
// port. Anything else passes.
void CheckSerialDevice(const QString &where, const QByteArray &path, const QString &variable);

// The message for a failure no cause is known for; the system's words go
// to the details.
CSerialError UndiagnosedOpenFailure(const QString &where, const QString &systemText);

// What decides how a user gets access to a device: its owning group and
// mode bits, and what udev knows it by.
struct DeviceAccess
{
    unsigned groupId = 0;
    unsigned mode = 0;
    QString groupName;  // empty when the group has no name
    QString kernelName; // ttyUSB0, ttyS0, pts/3
    bool usb = false;   // a USB adapter, with the IDs below
    quint16 vendorId = 0;
    quint16 productId = 0;
};

// The advice for a device this user may not open, decided from what the
// system says of it alone. A group that is not root and may read and write
// the device: join it. Otherwise no group helps, and a udev rule gives the
// device to whoever is logged in at the desktop: for a USB adapter a rule on
// its own vendor and product, which holds whatever port it is plugged into;
// else a rule on its kernel name. A pseudo-terminal is no udev device: it
// belongs to the user who made it.
QString PermissionAdvice(const QString &where, const DeviceAccess &device);

#ifdef Q_OS_WIN
// What a refused open of a port means, told by Windows' error alone: no
// port of that number, a port another program has open (Windows keeps a
// port to one program), something that is no serial port; Failed for the
// rest.
CSerialError::Kind OpenErrorKind(quint32 error);

// Whether a failed read or write means the device is gone (an adapter
// pulled out, the far end of a line hung up), not a line merely busy.
bool DeviceGoneError(quint32 error);
#endif
