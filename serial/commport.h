#pragma once

#include <QList>
#include <QString>

// Which device a port number (COM1, COM2, ...) opens on this machine.
//
// On Windows COMn is the device itself. Elsewhere the environment variable
// DIMRA_COM<n> names the device when it is set (for example /dev/ttyUSB0 or
// a virtual board's /dev/pts/7); otherwise n counts through the serial ports
// the system reports, USB and ACM adapters first, so that COM1 is usually the
// adapter the user has just plugged in.
struct CommPortTarget
{
    QString device;      // path to open, as shown to the user; empty when n leads to no device
    QString description; // for the user: what the device is, or why there is none
    QByteArray nativePath; // the path as the system takes it, byte for byte
};

// A serial port as the system reports it.
struct DetectedPort
{
    QString path;
    QString description;
    bool usb = false; // a USB or ACM adapter
};

// USB and ACM adapters first, each group sorted by path.
QList<DetectedPort> OrderDetectedPorts(QList<DetectedPort> ports);

// The ports the system reports now, in the order above.
QList<DetectedPort> DetectSerialPorts();

// What port number n (1 based) resolves to, given the detected ports and the
// value of DIMRA_COM<n> (empty when unset), as the system's bytes. A
// relative path counts from the working directory.
CommPortTarget ResolveCommPort(int n, const QList<DetectedPort> &ordered, const QByteArray &override);

// The target for a device named by its path (the system's bytes); a
// relative path counts from the working directory.
CommPortTarget CommPortTargetForPath(const QByteArray &path);

// What port number n resolves to on this machine now.
CommPortTarget ResolveCommPort(int n);

// What port numbers 1 to count resolve to now, detecting the ports once.
QList<CommPortTarget> ResolveCommPorts(int count);

// The environment variable that names the device for port number n.
QString CommPortVariable(int n);
