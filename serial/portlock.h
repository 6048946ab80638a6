#pragma once

#include "serialerror.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// The guard on a serial device: a lock file LCK..<name> in the system's lock
// folder, the convention every serial program on the machine follows
// (terminal programs, modem tools, Qt's own serial port).
//
// A device has one lock whatever path reached it: symlinks such as
// /dev/serial/by-id/... and /proc/self/fd/N are followed to the device node,
// and the name is the device's own (ttyUSB0, pts/3), not the path's. A lock
// whose process lives means the device is in use, and is never touched; so
// does a lock that cannot be read or names no process. Only a lock whose
// process is gone is removed. The lock is held with the file's own advisory
// lock too, so that Qt's stale-lock rule (any lock older than 30 s) cannot
// take it either.
//
// The port itself is then opened through openName(), a path that leads to
// exactly the device locked, even if a symlink changes meanwhile. No other
// lock file is ever made: the device's own is the one guard.

// The process a lock file names, read from its content: ten ASCII characters
// and a newline (the usual form), the PID as the machine's binary int (the
// old form), or Qt's PID, program and host, a line each.
struct LockFileOwner
{
    qint64 pid = 0; // 0: the content names no process
    QString host;   // the host Qt's form names; empty when it names none
};

LockFileOwner ReadLockOwner(const QByteArray &content);

// The name a device is locked under: its kernel name when the system knows
// one, else its node's path below /dev/ (or all of it outside /dev), with
// '/' written as '_'. nodePath is the device node, symlinks resolved.
QByteArray PortLockName(const QByteArray &nodePath, const QByteArray &kernelName);

// The device node a path leads to, links followed, and the kernel's name
// for it (empty where neither is known, as off Linux). Unix only: Windows
// has no node to look at (portlock_unix.cpp).
struct PortIdentity
{
    QByteArray node;
    QByteArray kernelName;
};

PortIdentity IdentifyPort(const QByteArray &path);

// The folder the lock files live in: DIMRA_LOCK_DIR when it is set (for
// tests and unusual installations), else the system's (/var/lock).
QByteArray PortLockFolder();

// The error for a device another program holds; the details say which
// lock or which refusal of the system showed it.
CSerialError PortInUseError(const QString &where, const QString &details);

class CPortLock
{
    // Its messages are written in Chinese and told in the run's language.
    Q_DECLARE_TR_FUNCTIONS(CPortLock)

public:
    CPortLock() = default;
    ~CPortLock() { release(); }
    CPortLock(const CPortLock &) = delete;
    CPortLock &operator=(const CPortLock &) = delete;

    // Takes the lock of the device at path (the system's bytes). Throws
    // CSerialError InUse, naming the device as where, when a live process
    // holds it or its lock cannot be read; the lock file is then left as it
    // is. A path that leads to no device takes nothing and throws nothing:
    // opening it fails, and the diagnosis says why. Where the lock folder
    // does not let this user write, the device is opened unlocked; the
    // port's exclusive open still keeps other users out.
    void acquire(const QByteArray &path, const QString &where);
    // Removes the lock file, if it is still this process's.
    void release();

    // The path to open the port by, the system's bytes; empty when acquire
    // found no device.
    QByteArray openName() const { return m_openName; }

private:
    QByteArray m_openName;
    QByteArray m_lockPath;
    int m_pathHandle = -1; // the device, as found at acquire
    int m_lockHandle = -1; // the lock file, advisory-locked
};
