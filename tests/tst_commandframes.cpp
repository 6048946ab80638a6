#include "capturingprotocol.h"
#include "envoverride.h"
#include "mscomm.h"
#include "protocolnumbers.h"
#include "ptypair.h"

#include <QTest>

namespace {

// Keeps the frames, and counts the store exchanges a frame causes.
class RecordingProtocol : public CapturingProtocol
{
public:
    int storeExchanges = 0;

    bool UpdateData(bool bSaveAndValidate) override
    {
        if (!bSaveAndValidate)
            ++storeExchanges;
        return true;
    }
};

} // namespace

class tst_CommandFrames : public QObject
{
    Q_OBJECT

private slots:
    void workedFrames_data();
    void workedFrames();
    void checksumMatchesTheBytesSent_data();
    void checksumMatchesTheBytesSent();
    void headerImageIsSetOnce();
    void checksumWrapsAndRefreshesTheEdits();
    void unknownCommandSendsNothing();
    void frameGoesOutInOneWriteThroughThePort();
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
    RecordingProtocol protocol;
    protocol.SendCommand(code, value);
    QCOMPARE(protocol.frames.size(), 1);
    QCOMPARE(protocol.frames.first().toHex(' ').toUpper(), frame.toHex(' ').toUpper());
}

void tst_CommandFrames::checksumMatchesTheBytesSent_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("value");
    for (int v = Dimra::kDutyMin; v <= Dimra::kDutyMax; v += 7)
        for (int c = 1; c <= 3; ++c)
            QTest::addRow("channel %d at %d", c, v) << c << v;
    for (int f : {Dimra::kFrequencyMin, 26, 255, 256, 999, 1000, 1001, 1255, 1256, 65535, 99999, 149999, Dimra::kFrequencyMax})
        QTest::addRow("frequency %d", f) << 4 << f;
}

void tst_CommandFrames::checksumMatchesTheBytesSent()
{
    // The checksum is the low byte of the sum of every byte before it,
    // and the data decode back to the value sent.
    QFETCH(int, code);
    QFETCH(int, value);
    RecordingProtocol protocol;
    protocol.SendCommand(code, value);
    const QByteArray frame = protocol.frames.value(0);
    QCOMPARE(frame.size(), code == 4 ? 10 : 8);
    int sum = 0;
    for (int i = 0; i < frame.size() - 1; ++i)
        sum += uchar(frame.at(i));
    QCOMPARE(uchar(frame.back()), uchar(sum & 0xFF));
    QCOMPARE(protocol.m_strChecksum, QString::asprintf("%02X", sum & 0xFF));
    QCOMPARE(int(uchar(frame.at(3))), code);
    if (code == 4)
        QCOMPARE(uchar(frame.at(6)) * 1000 + uchar(frame.at(7)) * 256 + uchar(frame.at(8)), value);
    else
        QCOMPARE(int(uchar(frame.at(6))), value);
}

void tst_CommandFrames::headerImageIsSetOnce()
{
    // InitTxFrame fills the header entries of the frame image; a command
    // fills only its own entries and sums only its own length.
    RecordingProtocol protocol;
    protocol.SendCommand(CDimraProtocol::CmdFrequency, 1500); // data 01 01 F4 in entries 6-8
    protocol.SendCommand(CDimraProtocol::CmdChannel1, 50);
    QCOMPARE(protocol.frames.last(), QByteArray::fromHex("3DAA00010001321B"));
    const QList<int> image(std::begin(protocol.m_nTxFrame), std::begin(protocol.m_nTxFrame) + 9);
    // The header as InitTxFrame left it, the channel frame's own entries,
    // and the frequency's 01 F4 still there, unsummed.
    QCOMPARE(image, (QList<int>{0x3D, 0xAA, 0x00, 1, 0x00, 1, 50, 0x01, 0xF4}));

    // A protocol whose image was never filled sums zeros for the header.
    struct Uninitialised : CDimraProtocol
    {
        QByteArray last;
        void WriteFrame(const QByteArray &bytes) override { last = bytes; }
    } bare;
    bare.SendCommand(CDimraProtocol::CmdChannel1, 50);
    QCOMPARE(bare.last, QByteArray::fromHex("3DAA000100013234"));
}

void tst_CommandFrames::checksumWrapsAndRefreshesTheEdits()
{
    RecordingProtocol protocol;
    protocol.m_nTxFrame[3] = 1;
    protocol.m_nTxFrame[5] = 1;
    protocol.m_nTxFrame[6] = 50; // 61 + 170 + 1 + 1 + 50 = 283
    protocol.ComputeChecksum(7);
    QCOMPARE(protocol.m_strChecksum, QStringLiteral("1B"));
    QCOMPARE(protocol.storeExchanges, 1);
    protocol.ComputeChecksum(6);
    QCOMPARE(protocol.m_strChecksum, QStringLiteral("E9"));
}

void tst_CommandFrames::unknownCommandSendsNothing()
{
    RecordingProtocol protocol;
    protocol.SendCommand(5, 1);
    protocol.SendCommand(-1, 1);
    QVERIFY(protocol.frames.isEmpty());
}

void tst_CommandFrames::frameGoesOutInOneWriteThroughThePort()
{
    PtyPair line;
    QVERIFY(line.isValid());
    const PortOverride com2(2, line.slavePath());

    // The codec owns no port: whoever owns the line writes its frames.
    struct PortProtocol : CDimraProtocol
    {
        CMSComm m_comm;
        void WriteFrame(const QByteArray &bytes) override { m_comm.put_Output(bytes); }
    } protocol;
    protocol.InitTxFrame();
    protocol.m_comm.put_CommPort(2);
    protocol.m_comm.put_PortOpen(true);
    QVERIFY(protocol.m_comm.get_PortOpen());

    protocol.SendCommand(4, 1500);
    QCOMPARE(line.read().toHex(' '), QByteArray("3d aa 00 04 00 03 01 01 f4 e4"));
    protocol.SendCommand(0, 0);
    QCOMPARE(line.read().toHex(' '), QByteArray("3d aa 00 00 00 00 e7"));
}

QTEST_GUILESS_MAIN(tst_CommandFrames)
#include "tst_commandframes.moc"
