#pragma once

#include "serialerror.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <optional>

// Which device a port number (COM1, COM2, ...) opens on this machine.
//
// On Windows COMn is Windows' own port COMn; the list names it as the
// Device Manager does (commport_win.cpp). Elsewhere the numbers follow the
// adapters' stable names, so that an adapter keeps its number when it is
// plugged in again or the machine restarts, whatever node the system gives
// it this time (as long as the same adapters are plugged in):
//   1. the links in <root>/serial/by-id, which name vendor, model and serial
//      number, sorted by name, whatever node each points at;
//   2. then adapters that have only a link in <root>/serial/by-path;
//   3. then serial ports without a stable name that really exist: built-in
//      UARTs, and adapters on a system that makes no such links.
// A device takes one number however many links lead to it. <root> is /dev,
// or DIMRA_DEV_ROOT where a test sets up a tree of its own. DIMRA_COM<n>,
// when set, names the device of COMn instead.

// A serial port found on this machine, before it has a number.
struct FoundPort
{
    enum Kind { ById, ByPath, Unnamed }; // in the order the numbers go
    Kind kind = Unnamed;
    QString path;    // the stable link (<root>/serial/by-id/...), or the node itself for a port without one
    QString node;    // the device node the path leads to now (/dev/ttyUSB0); empty for a link that leads nowhere
    QString product; // what the device is ("CH340 serial converter"); may be empty
    QString vendor;  // who made it; may be empty
};

// What a port name opens: a number or a device path, resolved once.
struct CommPortTarget
{
    QString device;        // the node to open, as shown to the user; empty when n leads to no device
    QString description;   // for the user: what the device is
    QByteArray nativePath; // the path as the system takes it, byte for byte
    // What stays the same for the same adapter when the system gives it
    // another node: its stable link, the path DIMRA_COM<n> names, or the
    // node of a port without a stable name. Empty when there is no device.
    QString identity;
    QString label;         // the short name beside the number: "ttyUSB0 · CH340", "（无设备）"
    int number = 0;        // the port number that leads to it; 0 for a path, and when there is no device

    bool operator==(const CommPortTarget &other) const
    {
        return device == other.device && description == other.description && nativePath == other.nativePath
            && identity == other.identity && label == other.label && number == other.number;
    }
};

// The found ports in the order of their numbers, each device once; links
// that lead nowhere take no number.
QList<FoundPort> OrderFoundPorts(QList<FoundPort> ports);

// A short name for a product, for a narrow list: the whole name when it is
// short, else its first word ("CH340 serial converter" gives "CH340").
QString ShortProductName(const QString &product);

// The product a by-id link's name tells, when nothing better is known:
// "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0" gives
// "FTDI FT232R USB UART A50285BI".
QString ProductFromLinkName(const QString &linkName);

// What port number n (1 based) resolves to, given the ordered ports and the
// value of DIMRA_COM<n> (empty when unset), as the system's bytes. A
// relative path counts from the working directory.
CommPortTarget ResolveCommPort(int n, const QList<FoundPort> &ordered, const QByteArray &override);

// The target for a device named by its path (the system's bytes); a
// relative path counts from the working directory.
CommPortTarget CommPortTargetForPath(const QByteArray &path);

// The target of a number with no device behind it: "（无设备）".
CommPortTarget NoDeviceTarget();

#ifdef Q_OS_WIN
// The target of COMn on Windows: the port itself when the system knows a
// device by that name (present), labelled with its friendly name less the
// "(COMn)" the system adds ("USB-SERIAL CH340 (COM3)" gives
// "USB-SERIAL CH340"), shortened as a product name is.
CommPortTarget WindowsCommPortTarget(int n, bool present, const QString &friendlyName);
#endif

// What port number n resolves to on this machine now (commport_unix.cpp,
// commport_win.cpp).
CommPortTarget ResolveCommPort(int n);

// What the numbers of the port list open, by number.
using CommPortTargets = QMap<int, CommPortTarget>;

// The numbers the port list offers, in order: COM1 to kCommPortCount
// whether or not a device answers to them, then every number above them up
// to kCommPortMax that has a device (present, in any order), each once; so
// that no port the system has is out of reach.
QList<int> ListedCommPortNumbers(QList<int> present);

// What the port list's numbers resolve to, given the ordered ports and the
// DIMRA_COM<n> that are set (by n): one number for each port found, and
// one for each variable set.
CommPortTargets ResolveListedCommPorts(const QList<FoundPort> &ordered, const QMap<int, QByteArray> &overrides);

// What the port list's numbers resolve to on this machine now, looking for
// ports once (commport_unix.cpp, commport_win.cpp).
CommPortTargets ResolveListedCommPorts();

// The entry of the port list for number n: "COM1  ttyUSB0 · CH340".
QString CommPortEntryText(int n, const CommPortTarget &target);

// The error for a port number with no device behind it: what the user can
// do about it in the window; in the details the environment variable, where
// there is one, and the numbers that have a device now.
CSerialError NoDeviceError(int n);

// The details' sentence naming the numbers of targets that have a device.
QString PortsWithDeviceText(const CommPortTargets &targets);

// The window's port list always offers COM1 to COM12.
inline constexpr int kCommPortCount = 12;
// The highest port number: Windows numbers its ports up to COM256, and a
// machine may have seen that many adapters.
inline constexpr int kCommPortMax = 256;

// The name of port number n, as the port list and the messages show it: "COM3".
QString CommPortName(int n);

// The number n of a port named COMn (any case), n from 1 to kCommPortMax;
// 0 for any other name, which is a device path; nothing for COMn out of
// range.
std::optional<int> CommPortNumber(const QString &port);

// The environment variable that names the device for port number n.
QString CommPortVariable(int n);

// The folder that holds the device nodes and the serial/ links: /dev, or
// the value of DIMRA_DEV_ROOT.
QString DeviceRoot();
