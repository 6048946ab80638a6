#include "envoverride.h"
#include "eventidle.h"
#include "mscomm.h"
#include "opendiagnosis.h"
#include "protocolnumbers.h"
#include "ptypair.h"
#include "serialerror.h"
#include "usertexts.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Opens a port resolved as the link would, with a receive notification for
// every byte; the link's own lookup and open sequence are tested with it.
void openPort(CMSComm &comm, const CommPortTarget &port)
{
    comm.put_CommPort(port);
    comm.put_RThreshold(1);
    comm.put_PortOpen(true);
}

CSerialError openFailure(CMSComm &comm, const CommPortTarget &port)
{
    try {
        openPort(comm, port);
    } catch (const CSerialError &e) {
        return e;
    }
    return CSerialError(QString());
}

// COM1 on a pseudo-terminal, opened.
struct OpenCom1
{
    OpenCom1() { openPort(comm, ResolveCommPort(1)); }
    PtyPair line;
    PortOverride com1{1, line.slavePath()};
    CMSComm comm;
};

QString errorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const CSerialError &e) {
        return e.text();
    }
    return QString();
}

} // namespace

class tst_MSComm : public QObject
{
    Q_OBJECT

private slots:
    void settingsTexts_data();
    void settingsTexts();
    void settingsReachTheLine_data();
    void settingsReachTheLine();
    void outputReachesTheFarEndWhole();
    void receivedBytesArriveThroughTheNotification();
    void inputLenLimitsOneReadAndTheRestFollows();
    void staleBytesAreClearedAtOpen();
    void secondOpenSaysThePortIsInUse();
    void propertiesThatCannotChangeWhileOpen();
    void closedPortRefusesInputAndOutput();
    void deviceLossClosesThePortAndIsAnnouncedOnce();
    void writeToAVanishedDeviceThrowsOnceAndAnnouncesNothingElse();
    void refusedWriteToANodeGoneOrMovedIsALoss_data();
    void refusedWriteToANodeGoneOrMovedIsALoss();
    void handlerExceptionDoesNotStopLaterNotifications();
    void heldNotificationsArriveOnRelease();
    void lossWhileHeldIsAnnouncedOnRelease();
    void busyLineSendsTheNewestValueOfEachKeyAndClosingSendsItAll();
    void fullLineIsBackPressureAndTheLastValueArrives();
    void heldEventsKeepTheReadBufferBounded();
    void openErrorsNameTheirCause_data();
    void openErrorsNameTheirCause();
    void pathsThatAreNotPlainTextStillOpen_data();
    void pathsThatAreNotPlainTextStillOpen();
    void permissionAdvice_data();
    void permissionAdvice();

private:
    QTemporaryDir m_dir;
};

void tst_MSComm::settingsTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("the dialog's") << QString(Dimra::kLineSettings) << true;
    QTest::newRow("upper case parity") << "19200,E,7,2" << true;
    QTest::newRow("spaces around fields") << " 115200 , o , 8 , 1.5 " << true;
    QTest::newRow("mark and space") << "300,m,5,1" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("three fields") << "9600,n,8" << false;
    QTest::newRow("five fields") << "9600,n,8,1,1" << false;
    QTest::newRow("baud not a number") << "fast,n,8,1" << false;
    QTest::newRow("negative baud") << "-9600,n,8,1" << false;
    QTest::newRow("zero baud") << "0,n,8,1" << false;
    QTest::newRow("unknown parity") << "9600,x,8,1" << false;
    QTest::newRow("parity word") << "9600,none,8,1" << false;
    QTest::newRow("9 data bits") << "9600,n,9,1" << false;
    QTest::newRow("3 stop bits") << "9600,n,8,3" << false;
}

void tst_MSComm::settingsTexts()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    CMSComm comm;
    const QString error = errorOf([&] { comm.put_Settings(text); });
    QCOMPARE(error.isEmpty(), valid);
    if (!valid)
        QVERIFY2(error.contains(text.isEmpty() ? QStringLiteral("“”") : text), qPrintable(error));
}

void tst_MSComm::settingsReachTheLine_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<int>("speed");
    QTest::addColumn<bool>("twoStopBits");
    QTest::newRow("the dialog's 9600 8N1") << QString(Dimra::kLineSettings) << int(B9600) << false;
    QTest::newRow("19200 7E2") << "19200,e,7,2" << int(B19200) << true;
    QTest::newRow("4800 8O1") << "4800,o,8,1" << int(B4800) << false;
}

void tst_MSComm::settingsReachTheLine()
{
    QFETCH(QString, settings);
    QFETCH(int, speed);
    QFETCH(bool, twoStopBits);
    PtyPair line;
    PortOverride com1(1, line.slavePath());
    const termios before = line.lineSettings();
    CMSComm comm;
    comm.put_CommPort(ResolveCommPort(1));
    comm.put_Settings(settings);
    comm.put_PortOpen(true);
    // A pseudo-terminal keeps speed and stop bits as set, but forces 8 data
    // bits and no parity whatever is asked; those only a real port shows.
    const termios tio = line.lineSettings();
    QCOMPARE(int(cfgetospeed(&tio)), speed);
    QCOMPARE(int(cfgetispeed(&tio)), speed);
    QCOMPARE(bool(tio.c_cflag & CSTOPB), twoStopBits);
    QCOMPARE(int(tio.c_cflag & CRTSCTS), 0); // no hardware handshake
    if (settings == Dimra::kLineSettings) {
        QCOMPARE(int(tio.c_cflag & CSIZE), int(CS8));
        QCOMPARE(int(tio.c_cflag & PARENB), 0);
    }
    // Closing puts back the speed the line had before.
    comm.put_PortOpen(false);
    const termios after = line.lineSettings();
    QCOMPARE(int(cfgetospeed(&after)), int(cfgetospeed(&before)));
}

void tst_MSComm::outputReachesTheFarEndWhole()
{
    OpenCom1 port;
    auto &[line, com1, comm] = port;
    const QByteArray frame = QByteArray::fromHex("3DAA0004000396000084");
    comm.put_Output(frame);
    QCOMPARE(line.read(), frame);
    // All 256 byte values pass unchanged: the line is raw.
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    comm.put_Output(all);
    QCOMPARE(line.readExactly(all.size()), all);
}

void tst_MSComm::receivedBytesArriveThroughTheNotification()
{
    OpenCom1 port;
    auto &[line, com1, comm] = port;
    QByteArray received;
    QList<short> events;
    connect(&comm, &CMSComm::OnComm, this, [&] {
        events.append(comm.get_CommEvent());
        received += comm.get_Input();
    });
    const QByteArray reply = QByteArray::fromHex("3DAA00010001321B");
    QVERIFY(line.write(reply));
    QTRY_COMPARE(received, reply);
    QVERIFY(!events.isEmpty());
    for (short e : events)
        QCOMPARE(e, short(CMSComm::comEvReceive));
}

void tst_MSComm::inputLenLimitsOneReadAndTheRestFollows()
{
    OpenCom1 port;
    auto &[line, com1, comm] = port;
    QList<int> reads;
    QByteArray received;
    connect(&comm, &CMSComm::OnComm, this, [&] {
        const QByteArray chunk = comm.get_Input();
        reads.append(chunk.size());
        received += chunk;
    });
    comm.put_InputLen(16);
    QByteArray burst;
    for (int i = 0; i < 100; ++i)
        burst.append(char(i));
    QVERIFY(line.write(burst));
    QTRY_COMPARE(received.size(), burst.size());
    QCOMPARE(received, burst);
    for (int n : reads)
        QVERIFY(n > 0 && n <= 16);
}

void tst_MSComm::staleBytesAreClearedAtOpen()
{
    PtyPair line;
    PortOverride com1(1, line.slavePath());
    QVERIFY(line.write("stale"));
    QTRY_VERIFY(line.programHasUnreadInput());
    CMSComm comm;
    QByteArray received;
    connect(&comm, &CMSComm::OnComm, this, [&] { received += comm.get_Input(); });
    openPort(comm, ResolveCommPort(1));
    QVERIFY(line.write("fresh"));
    QTRY_COMPARE(received, QByteArray("fresh"));
}

void tst_MSComm::secondOpenSaysThePortIsInUse()
{
    PtyPair line;
    PortOverride com1(1, line.slavePath());
    CMSComm first;
    openPort(first, ResolveCommPort(1));
    CMSComm second;
    const QString error = errorOf([&] { openPort(second, ResolveCommPort(1)); });
    QVERIFY2(error.contains(UserText::kInUse), qPrintable(error));
    QVERIFY(!second.get_PortOpen());
    QVERIFY(first.get_PortOpen());
}

void tst_MSComm::propertiesThatCannotChangeWhileOpen()
{
    OpenCom1 port;
    auto &[line, com1, comm] = port;
    QVERIFY(!errorOf([&] { comm.put_CommPort(ResolveCommPort(2)); }).isEmpty());
    // Opening by path instead, and a number forgetting the path, are tst_boardlink's.
    QVERIFY(!errorOf([&] { comm.put_CommPort(CommPortTargetForPath(QByteArray())); }).isEmpty());
    QVERIFY(!errorOf([&] { comm.put_PortOpen(true); }).isEmpty());
    QCOMPARE(comm.get_CommPort().number, 1);
    QVERIFY(comm.get_PortOpen());
    QVERIFY(!errorOf([&] { comm.put_InputMode(2); }).isEmpty());
    QVERIFY(!errorOf([&] { comm.put_InputLen(-1); }).isEmpty());
    QVERIFY(!errorOf([&] { comm.put_RThreshold(-1); }).isEmpty());
    QVERIFY(errorOf([&] { comm.put_Settings(QStringLiteral("19200,n,8,1")); }).isEmpty());
}

void tst_MSComm::closedPortRefusesInputAndOutput()
{
    CMSComm comm;
    QVERIFY(!errorOf([&] { comm.put_Output("x"); }).isEmpty());
    QVERIFY(!errorOf([&] { comm.get_Input(); }).isEmpty());
}

void tst_MSComm::deviceLossClosesThePortAndIsAnnouncedOnce()
{
    OpenCom1 port;
    auto &[line, com1, comm] = port;
    QList<short> events;
    QList<bool> openDuringEvent;
    connect(&comm, &CMSComm::OnComm, this, [&] {
        events.append(comm.get_CommEvent());
        openDuringEvent.append(comm.get_PortOpen());
        if (comm.get_CommEvent() == CMSComm::comEvReceive)
            comm.get_Input();
    });
    line.closeMaster();
    QTRY_VERIFY(events.contains(CMSComm::comEvDeviceLost));
    // A runaway error loop would never come to rest.
    QVERIFY(ProcessEventsUntilIdle(comm));
    QCOMPARE(events.count(CMSComm::comEvDeviceLost), 1);
    QCOMPARE(events.size(), 1);
    QCOMPARE(openDuringEvent, QList<bool>{false});
    QVERIFY(!comm.get_PortOpen());
    QVERIFY2(comm.get_ErrorText().contains(line.slavePath()), qPrintable(comm.get_ErrorText()));
    // The loss has been reported; writing now is an error of its own.
    QVERIFY(!errorOf([&] { comm.put_Output("x"); }).isEmpty());
}

void tst_MSComm::writeToAVanishedDeviceThrowsOnceAndAnnouncesNothingElse()
{
    OpenCom1 port;
    auto &[line, com1, comm] = port;
    QSignalSpy notifications(&comm, &CMSComm::OnComm);
    QVERIFY(notifications.isValid());
    line.closeMaster();
    // The write comes before the event loop has noticed the loss.
    const QString error = errorOf([&] { comm.put_Output(QByteArray::fromHex("3DAA00000000E7")); });
    QVERIFY2(error.contains(UserText::kLinkLost), qPrintable(error));
    QVERIFY(!comm.get_PortOpen());
    QVERIFY(ProcessEventsUntilIdle(comm));
    QCOMPARE(notifications.count(), 0);
}

void tst_MSComm::refusedWriteToANodeGoneOrMovedIsALoss_data()
{
    QTest::addColumn<bool>("moved"); // the path leads to another device, not to nothing
    QTest::newRow("the node is gone") << false;
    QTest::newRow("the path leads to another device") << true;
}

void tst_MSComm::refusedWriteToANodeGoneOrMovedIsALoss()
{
    // A full line refuses the write without hanging up: only the port's own
    // path tells that its device is gone.
    QFETCH(bool, moved);
    PtyPair line;
    PtyPair other;
    const QByteArray path = QFile::encodeName(m_dir.filePath(QStringLiteral("moving")));
    ::unlink(path.constData());
    QCOMPARE(::symlink(QFile::encodeName(line.slavePath()).constData(), path.constData()), 0);
    const auto removeLink = qScopeGuard([&path] { ::unlink(path.constData()); });
    PortOverride com1(1, path);
    CMSComm comm;
    openPort(comm, ResolveCommPort(1));
    QVERIFY(line.fillLine() > 0);
    ::unlink(path.constData());
    if (moved)
        QCOMPARE(::symlink(QFile::encodeName(other.slavePath()).constData(), path.constData()), 0);
    const QString error = errorOf([&] { comm.put_Output("x"); });
    QVERIFY2(error.contains(UserText::kLinkLost), qPrintable(error));
    QVERIFY(!comm.get_PortOpen());
}

void tst_MSComm::handlerExceptionDoesNotStopLaterNotifications()
{
    OpenCom1 port;
    auto &[line, com1, comm] = port;
    QByteArray received;
    bool thrown = false;
    connect(&comm, &CMSComm::OnComm, this, [&] {
        received += comm.get_Input();
        if (!thrown) {
            thrown = true;
            throw CSerialError(QStringLiteral("handler failed"));
        }
    });
    QTest::ignoreMessage(QtCriticalMsg, "Dimra: unhandled error in a serial event handler: handler failed");
    QVERIFY(line.write("a"));
    QTRY_COMPARE(received, QByteArray("a"));
    QVERIFY(line.write("b"));
    QTRY_COMPARE(received, QByteArray("ab"));
}

void tst_MSComm::heldNotificationsArriveOnRelease()
{
    OpenCom1 port;
    auto &[line, com1, comm] = port;
    QByteArray received;
    connect(&comm, &CMSComm::OnComm, this, [&] { received += comm.get_Input(); });
    comm.HoldEvents();
    comm.HoldEvents();
    QVERIFY(line.write("held"));
    QVERIFY(ProcessEventsUntilIdle(comm));
    QVERIFY(!line.programHasUnreadInput()); // the port has them: only the hold keeps them back
    QVERIFY(received.isEmpty());
    comm.ReleaseEvents();
    QVERIFY(ProcessEventsUntilIdle(comm));
    QVERIFY(received.isEmpty()); // still held once
    comm.ReleaseEvents();
    QTRY_COMPARE(received, QByteArray("held"));
}

void tst_MSComm::lossWhileHeldIsAnnouncedOnRelease()
{
    OpenCom1 port;
    auto &[line, com1, comm] = port;
    QList<short> events;
    connect(&comm, &CMSComm::OnComm, this, [&] { events.append(comm.get_CommEvent()); });
    comm.HoldEvents();
    line.closeMaster();
    QTRY_VERIFY(!comm.get_PortOpen()); // closed at once...
    QVERIFY(ProcessEventsUntilIdle(comm));
    QVERIFY(events.isEmpty());         // ...announced only when released
    comm.put_Output("x");              // the pending announcement covers this write
    comm.ReleaseEvents();
    QTRY_COMPARE(events, QList<short>{CMSComm::comEvDeviceLost});
    QVERIFY(ProcessEventsUntilIdle(comm));
    QCOMPARE(events.size(), 1);
}

void tst_MSComm::busyLineSendsTheNewestValueOfEachKeyAndClosingSendsItAll()
{
    OpenCom1 port;
    // A slow line, so that everything below is pushed while it is busy.
    port.comm.put_Settings(QStringLiteral("600,n,8,1"));
    const int none = COutputQueue::NoMerge;
    const QList<QPair<QByteArray, int>> pushed = {
        {"open1", none}, {"ch1=10", 1}, {"ch2=20", 2}, {"ch1=11", 1}, {"f=1000", 4},
        {"ch1=12", 1}, {"open2", none}, {"ch2=21", 2}, {"f=2000", 4},
    };
    for (const auto &[bytes, key] : pushed)
        port.comm.put_Output(bytes, key);
    QVERIFY(port.comm.get_OutBufferCount() > 0);
    // A disconnect the user asks for still gets the last values out.
    port.comm.put_PortOpen(false);
    QCOMPARE(port.comm.get_OutBufferCount(), 0);
    // The line is free for the first frame and takes one more beyond it;
    // the rest waits and merges in place.
    const QByteArray expected = "open1ch1=10ch2=21ch1=12f=2000open2";
    QCOMPARE(port.line.readExactly(int(expected.size()), 5000), expected);
}

void tst_MSComm::fullLineIsBackPressureAndTheLastValueArrives()
{
    OpenCom1 port;
    QSignalSpy notifications(&port.comm, &CMSComm::OnComm);
    QVERIFY(notifications.isValid());
    // A board that has stopped reading.
    QVERIFY(port.line.fillLine() > 0);
    for (int value = 1; value <= 100; ++value)
        port.comm.put_Output("v" + QByteArray::number(value), 1);
    QVERIFY(port.comm.get_PortOpen());
    QVERIFY(port.comm.get_OutBufferCount() > 0);

    // It reads again: what waited goes out, newest value only.
    QByteArray received;
    const auto readMore = [&] {
        received += port.line.read(0, 0);
        return received;
    };
    QTRY_VERIFY_WITH_TIMEOUT(readMore().endsWith("v100"), 5000);
    QCOMPARE(QByteArray(received).replace('\0', QByteArray()), QByteArray("v100"));
    QVERIFY(port.comm.get_PortOpen());
    QCOMPARE(notifications.count(), 0);
}

void tst_MSComm::heldEventsKeepTheReadBufferBounded()
{
    OpenCom1 port;
    qint64 received = 0;
    connect(&port.comm, &CMSComm::OnComm, this, [&] { received += port.comm.get_Input().size(); });
    port.comm.HoldEvents();
    // A flood while a message is open: the port keeps a bounded amount
    // and the system's buffers hold back the rest.
    const QByteArray chunk(4096, 'x');
    qint64 offered = 0;
    for (int i = 0; i < 1024; ++i) {
        offered += port.line.offer(chunk);
        QCoreApplication::processEvents();
    }
    QVERIFY2(port.comm.get_InBufferCount() <= 64 * 1024, qPrintable(QString::number(port.comm.get_InBufferCount())));
    QVERIFY(offered < 1024 * 4096);
    port.comm.ReleaseEvents();
    QTRY_COMPARE(received, offered);
}

void tst_MSComm::openErrorsNameTheirCause_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("byPath"); // named directly (dimractl -p), not as COM1
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("says");
    const QByteArray folder = QFile::encodeName(m_dir.path());
    QTest::newRow("a directory") << folder << false << int(CSerialError::NotSerial) << QStringLiteral("不是串口设备");
    // A regular file, by a path that is never a format: what it holds stays as it is.
    QFile percent(m_dir.filePath(QStringLiteral("kind%1")));
    QVERIFY(percent.open(QIODevice::WriteOnly));
    QTest::newRow("a path holding %1") << folder + "/kind%1" << true << int(CSerialError::NotSerial)
                                       << QStringLiteral("不是串口设备");
    QTest::newRow("/dev/null") << QByteArray("/dev/null") << false << int(CSerialError::NotSerial)
                               << QStringLiteral("不是串口设备");
    QTest::newRow("nothing there") << folder + "/none" << false << int(CSerialError::NoSuchDevice)
                                   << QStringLiteral("DIMRA_COM1");
    QTest::newRow("nothing there by path") << folder + "/none" << true << int(CSerialError::NoSuchDevice)
                                           << QStringLiteral("找不到");
    QTest::newRow("relative, nothing there") << QByteArray("relative/dev") << false
                                             << int(CSerialError::NoSuchDevice) << QStringLiteral("找不到");
    // Nothing can be at a path too long for the system either.
    QTest::newRow("a 300-character name") << folder + "/" + QByteArray(300, 'n') << true
                                          << int(CSerialError::NoSuchDevice) << QStringLiteral("找不到");
    QTest::newRow("5000 characters") << "/" + QByteArray(4999, 'a') << false << int(CSerialError::NoSuchDevice)
                                     << QStringLiteral("找不到");
    // Links that loop, or one too many in a row (the 45th to the folder): nothing can be there either.
    QVERIFY(::symlink("loop", folder + "/loop") == 0 || errno == EEXIST);
    for (int i = 1; i <= 45; ++i)
        QVERIFY(::symlink(i > 1 ? folder + "/link" + QByteArray::number(i - 1) : folder,
                          folder + "/link" + QByteArray::number(i)) == 0 || errno == EEXIST);
    for (const char *link : {"loop", "link45"})
        QTest::newRow(link) << folder + '/' + link << true << int(CSerialError::NoSuchDevice) << QStringLiteral("符号链接构成循环");
    // Terminals that are no line: refused before they are opened, so that
    // /dev/ptmx makes no new pseudo-terminal to wait on.
    QTest::newRow("/dev/ptmx") << QByteArray("/dev/ptmx") << true << int(CSerialError::NotSerial)
                               << QStringLiteral("不是串口的终端设备");
    QTest::newRow("/dev/tty") << QByteArray("/dev/tty") << false << int(CSerialError::NotSerial)
                              << QStringLiteral("不是串口的终端设备");
}

void tst_MSComm::openErrorsNameTheirCause()
{
    QFETCH(QByteArray, path);
    QFETCH(bool, byPath);
    QFETCH(int, kind);
    QFETCH(QString, says);
    std::optional<PortOverride> com1;
    CMSComm comm;
    if (!byPath)
        com1.emplace(1, path);
    const CSerialError error = openFailure(comm, byPath ? CommPortTargetForPath(path) : ResolveCommPort(1));
    QVERIFY2(error.text().contains(says), qPrintable(error.text()));
    QCOMPARE(int(error.kind()), kind);
    // The message names the file tried, made absolute, and COM1 only when
    // that is how the port was named.
    const QString tried = QDir::current().absoluteFilePath(QFile::decodeName(path));
    QVERIFY2(error.text().contains(tried), qPrintable(error.text()));
    QCOMPARE(error.text().contains(QStringLiteral("COM1")), !byPath);
    // The system's words are kept for a report, apart from the sentence.
    QVERIFY(!error.details().isEmpty());
    QVERIFY2(!error.text().contains(error.details()), qPrintable(error.text()));
    QVERIFY(!comm.get_PortOpen());
}

void tst_MSComm::pathsThatAreNotPlainTextStillOpen_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("a byte that is not UTF-8") << QByteArray("port\xff");
    const qsizetype room = 258 - QFile::encodeName(m_dir.path()).size() - 1;
    QTest::newRow("258 characters in all") << QByteArray(room, 'p');
}

void tst_MSComm::pathsThatAreNotPlainTextStillOpen()
{
    QFETCH(QByteArray, name);
    PtyPair line;
    const QByteArray path = QFile::encodeName(m_dir.path()) + '/' + name;
    ::unlink(path.constData());
    QCOMPARE(::symlink(QFile::encodeName(line.slavePath()).constData(), path.constData()), 0);
    // The folder's own clean-up cannot name a file whose name is not text.
    const auto removeLink = qScopeGuard([&path] { ::unlink(path.constData()); });
    PortOverride com1(1, path);
    CMSComm comm;
    const CSerialError error = openFailure(comm, ResolveCommPort(1));
    QVERIFY2(comm.get_PortOpen(), qPrintable(error.text()));
    comm.put_Output("x");
    QCOMPARE(line.read(), QByteArray("x"));
}

void tst_MSComm::permissionAdvice_data()
{
    QTest::addColumn<unsigned>("gid");
    QTest::addColumn<unsigned>("mode");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("kernelName");
    QTest::addColumn<int>("usbVendor"); // -1: not a USB adapter
    QTest::addColumn<int>("usbProduct");
    QTest::addColumn<QString>("rule"); // the udev rule proposed; empty for none
    QTest::newRow("a group that may read and write")
        << 20u << 0660u << "dialout" << "ttyUSB0" << 0x1a86 << 0x7523 << QString();
    QTest::newRow("group root, a USB adapter")
        << 0u << 0660u << "root" << "ttyUSB0" << 0x1a86 << 0x7523
        << R"(SUBSYSTEM=="tty", ATTRS{idVendor}=="1a86", ATTRS{idProduct}=="7523", TAG+="uaccess")";
    QTest::newRow("a group that may only read, an ACM board")
        << 20u << 0640u << "dialout" << "ttyACM0" << 0x2341 << 0x0043
        << R"(SUBSYSTEM=="tty", ATTRS{idVendor}=="2341", ATTRS{idProduct}=="0043", TAG+="uaccess")";
    QTest::newRow("no group access, a built-in port")
        << 20u << 0600u << "dialout" << "ttyS0" << -1 << -1 << R"(SUBSYSTEM=="tty", KERNEL=="ttyS0", TAG+="uaccess")";
    QTest::newRow("a group without a name") << 1234u << 0660u << "" << "ttyAMA0" << -1 << -1
                                            << R"(SUBSYSTEM=="tty", KERNEL=="ttyAMA0", TAG+="uaccess")";
    QTest::newRow("another user's pseudo-terminal") << 5u << 0620u << "tty" << "pts/3" << -1 << -1 << QString();
}

void tst_MSComm::permissionAdvice()
{
    QFETCH(unsigned, gid);
    QFETCH(unsigned, mode);
    QFETCH(QString, group);
    QFETCH(QString, kernelName);
    QFETCH(int, usbVendor);
    QFETCH(int, usbProduct);
    QFETCH(QString, rule);
    DeviceAccess device{gid, mode, group, kernelName, usbVendor >= 0, quint16(qMax(usbVendor, 0)),
                        quint16(qMax(usbProduct, 0))};
    const QString advice = PermissionAdvice(QStringLiteral("/dev/%1").arg(kernelName), device);
    const bool namesTheGroup = gid != 0 && (mode & 060) == 060 && !group.isEmpty();
    QVERIFY2(advice.contains(QStringLiteral("没有权限")), qPrintable(advice));
    QCOMPARE(advice.contains(QStringLiteral("用户组 %1").arg(group)), namesTheGroup);
    QVERIFY(!advice.contains(QStringLiteral("-aG root")));
    QCOMPARE(advice.contains(QStringLiteral("udev")), !rule.isEmpty());
    if (!rule.isEmpty())
        QVERIFY2(advice.contains(rule), qPrintable(advice));
    QVERIFY(!advice.contains(QLatin1Char('*'))); // a rule for this device, not for a family of names
}

QTEST_GUILESS_MAIN(tst_MSComm)
#include "tst_mscomm.moc"
