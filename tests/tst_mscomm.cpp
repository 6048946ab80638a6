#include "envoverride.h"
#include "eventidle.h"
#include "mscomm.h"
#include "protocolnumbers.h"
#include "ptypair.h"
#include "serialerror.h"
#include "usertexts.h"

#include <QSignalSpy>
#include <QTest>

#include <unistd.h>

namespace {

// The dialog's open sequence.
void openAsTheDialogDoes(CMSComm &comm, short port)
{
    comm.put_CommPort(port);
    comm.put_InputMode(CMSComm::comInputModeBinary);
    comm.put_Settings(Dimra::kLineSettings);
    comm.put_InputLen(Dimra::kReadSize);
    comm.put_RThreshold(1);
    comm.put_RTSEnable(true);
    comm.put_PortOpen(true);
}

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
    void openSequenceOpensThePseudoTerminal();
    void settingsReachTheLine_data();
    void settingsReachTheLine();
    void outputReachesTheFarEndWhole();
    void receivedBytesArriveThroughTheNotification();
    void inputLenLimitsOneReadAndTheRestFollows();
    void staleBytesAreClearedAtOpen();
    void missingDeviceRaisesAnError();
    void portNumberWithoutDeviceRaisesAnError();
    void secondOpenSaysThePortIsInUse();
    void propertiesThatCannotChangeWhileOpen();
    void closedPortRefusesInputAndOutput();
    void deviceLossClosesThePortAndIsAnnouncedOnce();
    void writeToAVanishedDeviceThrowsOnceAndAnnouncesNothingElse();
    void handlerExceptionDoesNotStopLaterNotifications();
    void heldNotificationsArriveOnRelease();
    void lossWhileHeldIsAnnouncedOnRelease();
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

void tst_MSComm::openSequenceOpensThePseudoTerminal()
{
    PtyPair line;
    QVERIFY(line.isValid());
    PortOverride com3(3, line.slavePath());
    CMSComm comm;
    QVERIFY(!comm.get_PortOpen());
    openAsTheDialogDoes(comm, 3);
    QVERIFY(comm.get_PortOpen());
    QCOMPARE(comm.get_DevicePath(), line.slavePath());
    comm.put_PortOpen(false);
    QVERIFY(!comm.get_PortOpen());
    comm.put_PortOpen(false); // closing a closed port is no error
    openAsTheDialogDoes(comm, 3); // and it opens again
    QVERIFY(comm.get_PortOpen());
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
    CMSComm comm;
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
}

void tst_MSComm::outputReachesTheFarEndWhole()
{
    PtyPair line;
    PortOverride com1(1, line.slavePath());
    CMSComm comm;
    openAsTheDialogDoes(comm, 1);
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
    PtyPair line;
    PortOverride com1(1, line.slavePath());
    CMSComm comm;
    QByteArray received;
    QList<short> events;
    connect(&comm, &CMSComm::OnComm, this, [&] {
        events.append(comm.get_CommEvent());
        received += comm.get_Input();
    });
    openAsTheDialogDoes(comm, 1);
    const QByteArray reply = QByteArray::fromHex("3DAA00010001321B");
    QVERIFY(line.write(reply));
    QTRY_COMPARE(received, reply);
    QVERIFY(!events.isEmpty());
    for (short e : events)
        QCOMPARE(e, short(CMSComm::comEvReceive));
}

void tst_MSComm::inputLenLimitsOneReadAndTheRestFollows()
{
    PtyPair line;
    PortOverride com1(1, line.slavePath());
    CMSComm comm;
    QList<int> reads;
    QByteArray received;
    connect(&comm, &CMSComm::OnComm, this, [&] {
        const QByteArray chunk = comm.get_Input();
        reads.append(chunk.size());
        received += chunk;
    });
    openAsTheDialogDoes(comm, 1);
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
    openAsTheDialogDoes(comm, 1);
    QVERIFY(line.write("fresh"));
    QTRY_COMPARE(received, QByteArray("fresh"));
}

void tst_MSComm::missingDeviceRaisesAnError()
{
    PortOverride com1(1, QStringLiteral("/dev/dimra-no-such-device"));
    CMSComm comm;
    const QString error = errorOf([&] { openAsTheDialogDoes(comm, 1); });
    QVERIFY2(error.contains(QStringLiteral("/dev/dimra-no-such-device")), qPrintable(error));
    QVERIFY2(error.contains(QStringLiteral("COM1")), qPrintable(error));
    QVERIFY(!comm.get_PortOpen());
}

void tst_MSComm::portNumberWithoutDeviceRaisesAnError()
{
    CMSComm comm;
    // No machine has 255 serial ports; without an override it leads nowhere.
    const QString error = errorOf([&] { openAsTheDialogDoes(comm, 255); });
    QVERIFY2(error.contains(QStringLiteral("DIMRA_COM255")), qPrintable(error));
    QVERIFY(!comm.get_PortOpen());
}

void tst_MSComm::secondOpenSaysThePortIsInUse()
{
    PtyPair line;
    PortOverride com1(1, line.slavePath());
    CMSComm first;
    openAsTheDialogDoes(first, 1);
    CMSComm second;
    const QString error = errorOf([&] { openAsTheDialogDoes(second, 1); });
    QVERIFY2(error.contains(UserText::kInUse), qPrintable(error));
    QVERIFY(!second.get_PortOpen());
    QVERIFY(first.get_PortOpen());
}

void tst_MSComm::propertiesThatCannotChangeWhileOpen()
{
    PtyPair line;
    PortOverride com1(1, line.slavePath());
    CMSComm comm;
    openAsTheDialogDoes(comm, 1);
    QVERIFY(!errorOf([&] { comm.put_CommPort(2); }).isEmpty());
    QVERIFY(!errorOf([&] { comm.put_PortOpen(true); }).isEmpty());
    QCOMPARE(comm.get_CommPort(), short(1));
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
    PtyPair line;
    PortOverride com1(1, line.slavePath());
    CMSComm comm;
    QList<short> events;
    QList<bool> openDuringEvent;
    connect(&comm, &CMSComm::OnComm, this, [&] {
        events.append(comm.get_CommEvent());
        openDuringEvent.append(comm.get_PortOpen());
        if (comm.get_CommEvent() == CMSComm::comEvReceive)
            comm.get_Input();
    });
    openAsTheDialogDoes(comm, 1);
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
    PtyPair line;
    PortOverride com1(1, line.slavePath());
    CMSComm comm;
    QSignalSpy notifications(&comm, &CMSComm::OnComm);
    QVERIFY(notifications.isValid());
    openAsTheDialogDoes(comm, 1);
    line.closeMaster();
    // The write comes before the event loop has noticed the loss.
    const QString error = errorOf([&] { comm.put_Output(QByteArray::fromHex("3DAA00000000E7")); });
    QVERIFY2(error.contains(UserText::kLinkLost), qPrintable(error));
    QVERIFY(!comm.get_PortOpen());
    QVERIFY(ProcessEventsUntilIdle(comm));
    QCOMPARE(notifications.count(), 0);
}

void tst_MSComm::handlerExceptionDoesNotStopLaterNotifications()
{
    PtyPair line;
    PortOverride com1(1, line.slavePath());
    CMSComm comm;
    QByteArray received;
    bool thrown = false;
    connect(&comm, &CMSComm::OnComm, this, [&] {
        received += comm.get_Input();
        if (!thrown) {
            thrown = true;
            throw CSerialError(QStringLiteral("handler failed"));
        }
    });
    openAsTheDialogDoes(comm, 1);
    QTest::ignoreMessage(QtCriticalMsg, "Dimra: unhandled error in a serial event handler: handler failed");
    QVERIFY(line.write("a"));
    QTRY_COMPARE(received, QByteArray("a"));
    QVERIFY(line.write("b"));
    QTRY_COMPARE(received, QByteArray("ab"));
}

void tst_MSComm::heldNotificationsArriveOnRelease()
{
    PtyPair line;
    PortOverride com1(1, line.slavePath());
    CMSComm comm;
    QByteArray received;
    connect(&comm, &CMSComm::OnComm, this, [&] { received += comm.get_Input(); });
    openAsTheDialogDoes(comm, 1);
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
    PtyPair line;
    PortOverride com1(1, line.slavePath());
    CMSComm comm;
    QList<short> events;
    connect(&comm, &CMSComm::OnComm, this, [&] { events.append(comm.get_CommEvent()); });
    openAsTheDialogDoes(comm, 1);
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

QTEST_GUILESS_MAIN(tst_MSComm)
#include "tst_mscomm.moc"
