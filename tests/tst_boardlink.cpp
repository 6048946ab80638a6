#include "boardlink.h"
#include "boardmodel.h"
#include "codechost.h"
#include "devicetree.h"
#include "envoverride.h"
#include "eventidle.h"
#include "ptypair.h"
#include "serialerror.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <list>

namespace {

using Values = QList<QPair<int, int>>;

QByteArray reply(int code, int value)
{
    return CBoardModel::buildReply(code, CBoardModel::valueData(code, value));
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
    void opensByNumberOrPathWithTheOpenLinkFrameAndAgainAfterClose();
    void portNumberWithoutDeviceRaisesAnError();
    void onlyTheFirstChannel1ReplyLinksAndRequestReportStartsAfresh();
    void everyByteIsAnnouncedBeforeTheReplyItCompletes();
    void settingsLeaveMergedUnderTheirCodeAndCloseSaysWhetherTheyLeft();
    void lossIsSaidOnceAndForgetsTheLink();
    void afterALossTheSameNameOpensOnlyTheSameAdapter_data();
    void afterALossTheSameNameOpensOnlyTheSameAdapter();
};

void tst_BoardLink::opensByNumberOrPathWithTheOpenLinkFrameAndAgainAfterClose()
{
    PtyPair line;
    PtyPair other;
    QVERIFY(line.isValid() && other.isValid());
    const PortOverride com3(3, line.slavePath());
    CBoardLink link;
    QSignalSpy opened(&link, &CBoardLink::opened);
    QVERIFY(opened.isValid());
    QVERIFY(!link.isOpen());

    link.open("COM3");
    QVERIFY(link.isOpen());
    QCOMPARE(opened.count(), 1);
    QCOMPARE(link.devicePath(), line.slavePath());
    QCOMPARE(line.read().toHex(' '), frame(CDimraProtocol::CmdOpenLink, 0).toHex(' '));

    QCOMPARE(link.close(1000), CBoardLink::Drained);
    QVERIFY(!link.isOpen());
    QCOMPARE(link.close(1000), CBoardLink::Drained); // closing a closed link is no error
    link.open(QFile::encodeName(other.slavePath())); // a device path instead of a number
    QCOMPARE(link.devicePath(), other.slavePath());
    QCOMPARE(other.read(), frame(CDimraProtocol::CmdOpenLink, 0));
    link.close(1000);
    link.open("com3"); // and a number again forgets the path
    QVERIFY(link.isOpen());
    QCOMPARE(line.read(), frame(CDimraProtocol::CmdOpenLink, 0));
}

void tst_BoardLink::portNumberWithoutDeviceRaisesAnError()
{
    CBoardLink link;
    // No machine has 255 serial ports; without an override it leads nowhere.
    // What to do in the window is the text; the variable, for those who
    // start Dimra from a shell, is in the details.
    try {
        link.open("COM255");
        QFAIL("COM255 opened");
    } catch (const CSerialError &e) {
        QCOMPARE(e.kind(), CSerialError::NoSuchDevice);
        QVERIFY2(e.text().startsWith(QStringLiteral("COM255 ")), qPrintable(e.text()));
        QVERIFY2(e.details().contains(QStringLiteral("DIMRA_COM255")), qPrintable(e.details()));
    }
    QVERIFY(!link.isOpen());
}

void tst_BoardLink::onlyTheFirstChannel1ReplyLinksAndRequestReportStartsAfresh()
{
    PtyPair line;
    const PortOverride com1(1, line.slavePath());
    CBoardLink link;
    QSignalSpy linked(&link, &CBoardLink::linked);
    QSignalSpy reported(&link, &CBoardLink::valueReported);
    QVERIFY(linked.isValid() && reported.isValid());
    link.open("COM1");
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
    link.open("COM1");
    QVERIFY(line.write(QByteArray::fromHex("FF") + reply(1, 40)));
    QTRY_VERIFY(heard.contains(QStringLiteral("1=40")));
    QStringList expected(9, QStringLiteral("byte"));
    expected << QStringLiteral("linked") << QStringLiteral("1=40");
    QCOMPARE(heard, expected);
}

void tst_BoardLink::settingsLeaveMergedUnderTheirCodeAndCloseSaysWhetherTheyLeft()
{
    PtyPair line;
    const PortOverride com1(1, line.slavePath());
    CBoardLink link;
    QSignalSpy sent(&link, &CBoardLink::frameSent);
    QVERIFY(sent.isValid());
    link.open("COM1");
    QCOMPARE(line.read(), frame(CDimraProtocol::CmdOpenLink, 0));
    QCOMPARE(sent.count(), 0); // the open-link frame is no setting

    // Sent faster than the line carries them: it takes the first frame and
    // one more; the rest merges in place: the newest value, where the first
    // of its code was queued.
    for (const auto &[code, value] : Values{{1, 10}, {2, 20}, {1, 11}, {2, 21}, {1, 12}, {4, 1500}})
        link.send(code, value);
    const Values expected = {{1, 10}, {2, 20}, {1, 12}, {2, 21}, {4, 1500}};
    QByteArray frames;
    for (const auto &[code, value] : expected)
        frames += frame(code, value);
    // Close sends what waits before it closes, each frame announced as it leaves.
    QCOMPARE(link.close(5000), CBoardLink::Drained);
    QVERIFY(!link.isOpen());
    QCOMPARE(line.readExactly(int(frames.size()), 5000).toHex(' '), frames.toHex(' '));
    QVERIFY(ProcessEventsUntilIdle());
    QCOMPARE(valuesOf(sent), expected);

    // A board that has stopped reading: a full pseudo-terminal still takes
    // some hundred bytes in small writes; 1400 are more than that, and more
    // than the close waits for.
    link.open("COM1");
    QVERIFY(line.fillLine() > 0);
    for (int i = 0; i < 200; ++i)
        link.requestReport(); // never merged: they all wait
    QVERIFY(link.bytesWaiting() > 0);
    QCOMPARE(link.close(50), CBoardLink::TimedOut);
    QVERIFY(!link.isOpen());
}

void tst_BoardLink::lossIsSaidOnceAndForgetsTheLink()
{
    PtyPair line;
    const PortOverride com1(1, line.slavePath());
    CBoardLink link;
    QSignalSpy lost(&link, &CBoardLink::lost);
    QVERIFY(lost.isValid());
    link.open("COM1");
    QVERIFY(line.write(reply(1, 0)));
    QTRY_VERIFY(link.isLinked());

    line.closeMaster();
    QTRY_COMPARE(lost.count(), 1);
    QVERIFY(ProcessEventsUntilIdle(link));
    QCOMPARE(lost.count(), 1);
    QVERIFY(!link.isOpen());
    QVERIFY(!link.isLinked());
    QVERIFY2(lost.first().at(0).toString().contains(line.slavePath()), qPrintable(lost.first().at(0).toString()));
    QVERIFY(!lost.first().at(1).toString().isEmpty());
}

void tst_BoardLink::afterALossTheSameNameOpensOnlyTheSameAdapter_data()
{
    QTest::addColumn<bool>("sameOnly");    // SameAdapterOnly, not AskOnce
    QTest::addColumn<QString>("replugged"); // the adapters plugged in after the loss of usb-B at COM1
    QTest::addColumn<int>("lostAt");        // where lostAdapterNumber() finds usb-B then
    QTest::addColumn<QList<bool>>("opens"); // COM1 opened again and again
    QTest::addColumn<int>("refusal");       // the error of an open that fails
    QTest::addColumn<QString>("details");   // a part of its details
    QTest::addColumn<int>("ahead");         // adapters plugged in before the replug, whose names sort first
    const int other = CSerialError::OtherAdapter;
    QTest::newRow("the same adapter under a new node") << false << "usb-B" << 1 << QList<bool>{true} << other << "" << 0;
    QTest::newRow("another adapter, asked once") << false << "usb-A" << 0 << QList<bool>{false, true} << other << "usb-A" << 0;
    QTest::newRow("another adapter, never") << true << "usb-A usb-B" << 2 << QList<bool>{false, false} << other << "usb-A" << 0;
    // Said instead of tried: nothing is there; the variable only for a shell, in the details.
    QTest::newRow("still unplugged") << false << "" << 0 << QList<bool>{false} << int(CSerialError::NoSuchDevice)
                                     << "DIMRA_COM1" << 0;
    // Found above the twelve, where the window reconnects to it.
    QTest::newRow("the same adapter back as COM13") << false << "usb-B" << 13 << QList<bool>{} << other << "" << 12;
}

void tst_BoardLink::afterALossTheSameNameOpensOnlyTheSameAdapter()
{
    QFETCH(bool, sameOnly);
    QFETCH(QString, replugged);
    QFETCH(int, lostAt);
    QFETCH(QList<bool>, opens);
    QFETCH(int, refusal);
    QFETCH(QString, details);
    QFETCH(int, ahead);
    DeviceTree devices;
    PtyPair first;
    PtyPair a;
    PtyPair b;
    const QString byId = QStringLiteral("serial/by-id/");
    QVERIFY(devices.plug(byId + "usb-B", first.slavePath()));
    CBoardLink link;
    if (sameOnly)
        link.setAdapterCheck(CBoardLink::SameAdapterOnly);
    link.open("COM1");
    QCOMPARE(link.identity(), devices.path(byId + "usb-B"));
    // Half a reply, then the adapter is pulled: the half must not spoil the next open.
    QVERIFY(first.write(reply(1, 5).left(5)));
    QVERIFY(ProcessEventsUntilIdle(link));
    QSignalSpy lost(&link, &CBoardLink::lost);
    first.closeMaster();
    QTRY_COMPARE(lost.count(), 1); // the port closes a turn before the loss is told
    QVERIFY(!link.isOpen());
    QVERIFY(devices.unplug(byId + "usb-B"));
    std::list<PtyPair> aheadLines(ahead);
    int i = 0;
    for (const PtyPair &line : aheadLines)
        QVERIFY(devices.plug(byId + QStringLiteral("usb-A%1").arg(i++, 2, 10, QLatin1Char('0')), line.slavePath()));
    for (const QString &name : replugged.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        QVERIFY(devices.plug(byId + name, (name == QLatin1String("usb-A") ? a : b).slavePath()));
    QCOMPARE(link.lostAdapterNumber(), lostAt);

    for (const bool expected : opens) {
        CSerialError error{QString()};
        try {
            link.open("COM1");
        } catch (const CSerialError &e) {
            error = e;
        }
        QCOMPARE(link.isOpen(), expected);
        if (!expected) {
            QCOMPARE(int(error.kind()), refusal);
            QVERIFY2(error.details().contains(details), qPrintable(error.details()));
        }
    }
    if (link.isOpen()) {
        PtyPair &now = replugged == QLatin1String("usb-B") ? b : a;
        QCOMPARE(now.read(), frame(CDimraProtocol::CmdOpenLink, 0));
        QVERIFY(now.write(reply(1, 42)));
        QTRY_VERIFY(link.isLinked());
    }
}

QTEST_GUILESS_MAIN(tst_BoardLink)
#include "tst_boardlink.moc"
