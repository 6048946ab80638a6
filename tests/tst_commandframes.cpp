#include "codechost.h"
#include "protocolnumbers.h"

#include <QTest>

class tst_CommandFrames : public QObject
{
    Q_OBJECT

private slots:
    void workedFrames_data();
    void workedFrames();
    void checksumMatchesTheBytesSent_data();
    void checksumMatchesTheBytesSent();
    void headerImageIsSetOnce();
    void checksumWrapsAndCountsOnlyTheEntriesAsked();
    void unknownCommandBuildsNothing();
};

void tst_CommandFrames::workedFrames_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("open link") << 0 << 0 << QByteArray::fromHex("3DAA00000000E7");
    QTest::newRow("open link ignores value") << 0 << 77 << QByteArray::fromHex("3DAA00000000E7");
    QTest::newRow("channel 1 at 0") << 1 << 0 << QByteArray::fromHex("3DAA0001000100E9");
    QTest::newRow("channel 1 at 50") << 1 << 50 << QByteArray::fromHex("3DAA00010001321B");
    QTest::newRow("channel 2 at 10") << 2 << 10 << QByteArray::fromHex("3DAA000200010AF4");
    QTest::newRow("channel 2 at 40") << 2 << 40 << QByteArray::fromHex("3DAA0002000128 12");
    QTest::newRow("channel 3 at 100") << 3 << 100 << QByteArray::fromHex("3DAA00030001644F");
    QTest::newRow("frequency 25") << 4 << 25 << QByteArray::fromHex("3DAA000400030000 1907");
    QTest::newRow("frequency 999") << 4 << 999 << QByteArray::fromHex("3DAA0004000300 03E7D8");
    QTest::newRow("frequency 1000") << 4 << 1000 << QByteArray::fromHex("3DAA00040003010000EF");
    QTest::newRow("frequency 1500") << 4 << 1500 << QByteArray::fromHex("3DAA00040003 0101F4E4");
    QTest::newRow("frequency 5000") << 4 << 5000 << QByteArray::fromHex("3DAA00040003050000F3");
    QTest::newRow("frequency 150000") << 4 << 150000 << QByteArray::fromHex("3DAA00040003960000 84");
}

void tst_CommandFrames::workedFrames()
{
    QFETCH(int, code);
    QFETCH(int, value);
    QFETCH(QByteArray, frame);
    CodecHost host;
    QCOMPARE(host.frameFor(code, value).toHex(' ').toUpper(), frame.toHex(' ').toUpper());
}

void tst_CommandFrames::checksumMatchesTheBytesSent_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("value");
    for (int v = Dimra::kDutyMin; v <= Dimra::kDutyMax; v += 7)
        for (int c = CDimraProtocol::CmdChannel1; c <= CDimraProtocol::CmdChannel3; ++c)
            QTest::addRow("channel %d at %d", c, v) << c << v;
    for (int f : {Dimra::kFrequencyMin, 26, 255, 256, 999, 1000, 1001, 1255, 1256, 65535, 99999, 149999, Dimra::kFrequencyMax})
        QTest::addRow("frequency %d", f) << int(CDimraProtocol::CmdFrequency) << f;
}

void tst_CommandFrames::checksumMatchesTheBytesSent()
{
    // The checksum is the low byte of the sum of every byte before it,
    // and the data decode back to the value sent.
    QFETCH(int, code);
    QFETCH(int, value);
    using namespace Dimra;
    CodecHost host;
    const QByteArray frame = host.frameFor(code, value);
    QCOMPARE(frame.size(), kFrameOverhead + CDimraProtocol::DataLength(code));
    int sum = 0;
    for (int i = 0; i < frame.size() - 1; ++i)
        sum += uchar(frame.at(i));
    QCOMPARE(uchar(frame.back()), uchar(sum & 0xFF));
    QCOMPARE(host.codec.ChecksumText(), QString::asprintf("%02X", sum & 0xFF));
    QCOMPARE(int(uchar(frame.at(kCodeOffset))), code);
    const auto data = [&frame](int i) { return int(uchar(frame.at(kDataOffset + i))); };
    if (code == CDimraProtocol::CmdFrequency)
        QCOMPARE(data(0) * kFrequencyThousand + data(1) * 256 + data(2), value);
    else
        QCOMPARE(data(0), value);
}

void tst_CommandFrames::headerImageIsSetOnce()
{
    // InitTxFrame fills the header entries of the frame image; a command
    // fills only its own entries and sums only its own length.
    CodecHost host;
    host.frameFor(CDimraProtocol::CmdFrequency, 1500); // data 01 01 F4 in entries 6-8
    QCOMPARE(host.frameFor(CDimraProtocol::CmdChannel1, 50), QByteArray::fromHex("3DAA00010001321B"));
    QList<int> image;
    for (int i = 0; i < 9; ++i)
        image.append(host.codec.TxFrameEntry(i));
    // The header as InitTxFrame left it, the channel frame's own entries,
    // and the frequency's 01 F4 still there, unsummed.
    QCOMPARE(image, (QList<int>{0x3D, 0xAA, 0x00, 1, 0x00, 1, 50, 0x01, 0xF4}));

    // A codec whose image was never filled sums zeros for the header.
    CDimraProtocol bare;
    QCOMPARE(bare.BuildFrame(CDimraProtocol::CmdChannel1, 50), QByteArray::fromHex("3DAA000100013234"));
}

void tst_CommandFrames::checksumWrapsAndCountsOnlyTheEntriesAsked()
{
    CodecHost host;
    host.frameFor(CDimraProtocol::CmdChannel1, 50); // 61 + 170 + 1 + 1 + 50 = 283
    host.codec.ComputeChecksum(7);
    QCOMPARE(host.codec.ChecksumText(), QStringLiteral("1B"));
    host.codec.ComputeChecksum(6);
    QCOMPARE(host.codec.ChecksumText(), QStringLiteral("E9"));
}

void tst_CommandFrames::unknownCommandBuildsNothing()
{
    CodecHost host;
    QVERIFY(host.frameFor(5, 1).isEmpty());
    QVERIFY(host.frameFor(-1, 1).isEmpty());
}

QTEST_GUILESS_MAIN(tst_CommandFrames)
#include "tst_commandframes.moc"
