#include "boardlink.h"
#include "boardmodel.h"
#include "codechost.h"
#include "envoverride.h"
#include "eventidle.h"
#include "ptypair.h"

#include <QSignalSpy>
#include <QTest>

namespace {

using Values = QList<QPair<int, int>>;

QByteArray reply(int code, int value)
{
    return CBoardModel::BuildReply(code, CBoardModel::ValueData(code, value));
}

QByteArray frame(int code, int value)
{
    return CodecHost().frameFor(code, value);
}

// (code, value) of every signal of that kind the spy saw.
Values valuesOf(const QSignalSpy &spy)
{
    Values values;
    for (const QList<QVariant> &args : spy)
        values.append({args.at(0).toInt(), args.at(1).toInt()});
    return values;
}

} // namespace

class tst_BoardLink : public QObject
{
    Q_OBJECT

private slots:
    void openSendsTheOpenLinkFrameOnTheLineAndOpensAgainAfterClose();
    void aDevicePathIsOpenedInsteadOfAPortNumber();
    void onlyTheFirstChannel1ReplyLinksAndRequestReportStartsAfresh();
    void everyByteIsAnnouncedBeforeTheReplyItCompletes();
    void settingsLeaveWholeMergedUnderTheirCodeAndFrameSentFollowsTheLine();
    void closeSendsWhatWaitsAndSaysWhetherItLeft();
    void lossIsSaidOnceAndForgetsTheLink();
};

void tst_BoardLink::openSendsTheOpenLinkFrameOnTheLineAndOpensAgainAfterClose()
{
    PtyPair line;
    QVERIFY(line.isValid());
    const PortOverride com3(3, line.slavePath());
    CBoardLink link;
    QSignalSpy opened(&link, &CBoardLink::opened);
    QVERIFY(opened.isValid());
    QVERIFY(!link.isOpen());

    link.open(3);
    QVERIFY(link.isOpen());
    QCOMPARE(opened.count(), 1);
    QCOMPARE(link.devicePath(), line.slavePath());
    QCOMPARE(line.read().toHex(' '), frame(CDimraProtocol::CmdOpenLink, 0).toHex(' '));
    const termios tio = line.lineSettings();
    QCOMPARE(int(cfgetospeed(&tio)), int(B9600));
    QCOMPARE(int(tio.c_cflag & CSIZE), int(CS8));
    QCOMPARE(int(tio.c_cflag & (PARENB | CSTOPB)), 0);

    QCOMPARE(link.close(1000), CMSComm::Drained);
    QVERIFY(!link.isOpen());
    QCOMPARE(link.close(1000), CMSComm::Drained); // closing a closed link is no error
    link.open(3);              // and it opens again
    QVERIFY(link.isOpen());
    QCOMPARE(line.read().toHex(' '), frame(CDimraProtocol::CmdOpenLink, 0).toHex(' '));
}

void tst_BoardLink::aDevicePathIsOpenedInsteadOfAPortNumber()
{
    PtyPair line;
    const PortOverride com1(1, QStringLiteral("/dev/dimra-no-such-device"));
    CBoardLink link;
    link.open(0, line.slavePath());
    QCOMPARE(link.devicePath(), line.slavePath());
    QCOMPARE(line.read(), frame(CDimraProtocol::CmdOpenLink, 0));
    link.close(1000);

    // A port number again forgets the path.
    try {
        link.open(1);
        QFAIL("COM1 leads nowhere, yet it opened");
    } catch (const CSerialError &e) {
        QVERIFY2(e.text().contains(QStringLiteral("/dev/dimra-no-such-device")), qPrintable(e.text()));
    }
}

void tst_BoardLink::onlyTheFirstChannel1ReplyLinksAndRequestReportStartsAfresh()
{
    PtyPair line;
    const PortOverride com1(1, line.slavePath());
    CBoardLink link;
    QSignalSpy linked(&link, &CBoardLink::linked);
    QSignalSpy reported(&link, &CBoardLink::valueReported);
    QVERIFY(linked.isValid() && reported.isValid());
    link.open(1);
    line.read();

    // What comes before the channel 1 reply is reported, but not kept.
    QVERIFY(line.write(reply(2, 10) + reply(3, 10) + reply(4, 1000)));
    QTRY_COMPARE(reported.count(), 3);
    QVERIFY(!link.isLinked());
    QCOMPARE(linked.count(), 0);
    QCOMPARE(link.reported(), BoardValues{});

    QVERIFY(line.write(reply(1, 0) + reply(2, 20) + reply(1, 5)));
    QTRY_COMPARE(reported.count(), 6);
    QVERIFY(link.isLinked());
    QCOMPARE(linked.count(), 1);
    QCOMPARE(valuesOf(reported), (Values{{2, 10}, {3, 10}, {4, 1000}, {1, 0}, {2, 20}, {1, 5}}));
    QCOMPARE(link.reported(), (BoardValues{std::nullopt, 5, 20, std::nullopt, std::nullopt}));

    // Asking again forgets the link and the values, and sends the open-link frame.
    link.requestReport();
    QVERIFY(!link.isLinked());
    QCOMPARE(link.reported(), BoardValues{});
    QCOMPARE(line.read(), frame(CDimraProtocol::CmdOpenLink, 0));
    QVERIFY(line.write(reply(1, 7)));
    QTRY_COMPARE(linked.count(), 2);
}

void tst_BoardLink::everyByteIsAnnouncedBeforeTheReplyItCompletes()
{
    // What the window rewrites its edits on: every byte, and the reply after
    // its last byte, the link first.
    PtyPair line;
    const PortOverride com1(1, line.slavePath());
    CBoardLink link;
    QStringList heard;
    connect(&link, &CBoardLink::byteReceived, this, [&] { heard.append(QStringLiteral("byte")); });
    connect(&link, &CBoardLink::linked, this, [&] { heard.append(QStringLiteral("linked")); });
    connect(&link, &CBoardLink::valueReported, this,
            [&](int code, int value) { heard.append(QStringLiteral("%1=%2").arg(code).arg(value)); });
    link.open(1);
    QVERIFY(line.write(QByteArray::fromHex("FF") + reply(1, 40)));
    QTRY_VERIFY(heard.contains(QStringLiteral("1=40")));
    QStringList expected(9, QStringLiteral("byte"));
    expected << QStringLiteral("linked") << QStringLiteral("1=40");
    QCOMPARE(heard, expected);
}

void tst_BoardLink::settingsLeaveWholeMergedUnderTheirCodeAndFrameSentFollowsTheLine()
{
    PtyPair line;
    const PortOverride com1(1, line.slavePath());
    CBoardLink link;
    QSignalSpy sent(&link, &CBoardLink::frameSent);
    QVERIFY(sent.isValid());
    link.open(1);
    QCOMPARE(line.read(), frame(CDimraProtocol::CmdOpenLink, 0));
    QCOMPARE(sent.count(), 0); // the open-link frame is no setting

    // A slow line, so that the later frames wait while it is busy.
    link.comm().put_Settings(QStringLiteral("600,n,8,1"));
    link.send(CDimraProtocol::CmdChannel1, 10);
    link.send(CDimraProtocol::CmdChannel2, 20);
    link.send(CDimraProtocol::CmdChannel1, 11);
    link.send(CDimraProtocol::CmdChannel2, 21);
    link.send(CDimraProtocol::CmdChannel1, 12);
    link.send(CDimraProtocol::CmdFrequency, 1500);

    // The line is free for the first frame and takes one more beyond it;
    // the rest waits and merges in place: the newest value, where the first
    // of its code was queued.
    const Values expected = {{1, 10}, {2, 20}, {1, 12}, {2, 21}, {4, 1500}};
    QByteArray frames;
    for (const auto &[code, value] : expected)
        frames += frame(code, value);
    QCOMPARE(line.readExactly(int(frames.size()), 5000).toHex(' '), frames.toHex(' '));
    QVERIFY(ProcessEventsUntilIdle(link.comm()));
    QCOMPARE(valuesOf(sent), expected);
}

void tst_BoardLink::closeSendsWhatWaitsAndSaysWhetherItLeft()
{
    PtyPair line;
    const PortOverride com1(1, line.slavePath());
    CBoardLink link;
    link.open(1);
    line.read();
    link.comm().put_Settings(QStringLiteral("600,n,8,1"));
    for (int value = 1; value <= 5; ++value)
        link.send(CDimraProtocol::CmdChannel3, value);
    QVERIFY(link.comm().get_OutBufferCount() > 0);
    QCOMPARE(link.close(5000), CMSComm::Drained);
    QVERIFY(!link.isOpen());
    const QByteArray expected = frame(3, 1) + frame(3, 2) + frame(3, 5);
    QCOMPARE(line.readExactly(int(expected.size()), 5000).toHex(' '), expected.toHex(' '));

    // A board that has stopped reading: what waits cannot leave in time.
    // A full pseudo-terminal still takes some hundred bytes in small
    // writes; 1400 are more than it takes, and more than the close waits for.
    link.open(1);
    QVERIFY(line.fillLine() > 0);
    for (int i = 0; i < 200; ++i)
        link.requestReport(); // never merged: they all wait
    QVERIFY(link.comm().get_OutBufferCount() > 0);
    QCOMPARE(link.close(50), CMSComm::TimedOut);
    QVERIFY(!link.isOpen());
}

void tst_BoardLink::lossIsSaidOnceAndForgetsTheLink()
{
    PtyPair line;
    const PortOverride com1(1, line.slavePath());
    CBoardLink link;
    QSignalSpy lost(&link, &CBoardLink::lost);
    QVERIFY(lost.isValid());
    link.open(1);
    QVERIFY(line.write(reply(1, 0)));
    QTRY_VERIFY(link.isLinked());

    line.closeMaster();
    QTRY_COMPARE(lost.count(), 1);
    QVERIFY(ProcessEventsUntilIdle(link.comm()));
    QCOMPARE(lost.count(), 1);
    QVERIFY(!link.isOpen());
    QVERIFY(!link.isLinked());
    QVERIFY2(lost.first().at(0).toString().contains(line.slavePath()), qPrintable(lost.first().at(0).toString()));
    QVERIFY(!lost.first().at(1).toString().isEmpty());
}

QTEST_GUILESS_MAIN(tst_BoardLink)
#include "tst_boardlink.moc"
