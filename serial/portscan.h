#pragma once

#include "commport.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Looks for serial ports under a device root (/dev, or a test's own tree):
// the links in serial/by-id and serial/by-path, whatever node each leads
// to, and the root's tty nodes that are serial ports really there; each
// with what the device is, as far as the system tells. In the order of
// their port numbers (OrderFoundPorts).
QList<FoundPort> FindSerialPorts(const QString &root);

// The link in serial/by-id under root that leads to device (a node, or
// any link to it) now: the one its port number follows. Empty when none
// does.
QString FindByIdLink(const QString &root, const QString &device);

// The value of a property in a udev database record (its "E:KEY=value"
// lines); empty when the record has none.
QString UdevProperty(const QByteArray &record, const QByteArray &key);

// The USB device a serial port belongs to, as the system describes it.
struct UsbAdapter
{
    bool usb = false; // the port is on a USB device with the IDs below
    quint16 vendorId = 0;
    quint16 productId = 0;
    QString manufacturer; // the device's own strings; may be empty
    QString product;
};

// What the platform tells about one node (portscan_unix.cpp).
namespace PortScanPlatform {
// The device number ("188:0") of the character device at path, links
// followed; empty for anything else.
QString charDeviceId(const QString &path);
// Whether the tty node at path is a serial port that is really there: a
// driver stands behind it and, for a UART, reports a port of a known type
// (the kernel makes ttyS0 to ttyS31 whether or not the hardware exists).
bool isPresentSerialPort(const QString &path);
// The udev database's record of the device at path; empty without udev.
QByteArray udevRecord(const QString &path);
// The USB device behind the node at path, from sysfs; usb false for a
// port on no USB device and where sysfs does not tell.
UsbAdapter usbAdapter(const QString &path);
} // namespace PortScanPlatform
