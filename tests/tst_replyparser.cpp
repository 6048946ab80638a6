#include "dimraprotocol.h"
#include "hexconv.h"

#include <QTest>

namespace {

// Records where replies move the sliders.
class ParserUnderTest : public CDimraProtocol
{
public:
    QList<QPair<int, int>> sliderMoves; // (row, position)

    void feed(const QByteArray &hex)
    {
        for (const char b : QByteArray::fromHex(hex))
            ProcessReplyByte(ReceivedByteText(uchar(b)));
    }

protected:
    void SetSliderPos(int code, int position) override { sliderMoves.append({code, position}); }
    void WriteFrame(const QByteArray &) override {}
};

} // namespace

class tst_ReplyParser : public QObject
{
    Q_OBJECT

private slots:
    void init() { CDimraProtocol::ResetRxCounter(); }

    void channelReplyIsStoredWithoutCheckingTheChecksum();
    void frequencyReplyUsesTheCounter();
    void doubledFirstHeaderByteIsDroppedNotRetried();
    void strayByteInStateZero();
    void flagIsClearedByTheNextByte();
    void headerMismatches_data();
    void headerMismatches();
    void repliesOfOtherLengthsAreSkippedWhole_data();
    void repliesOfOtherLengthsAreSkippedWhole();
    void everyByteInEveryStateKeepsTheParserSound();
    void frequencyOfWideTextsStopsAtTheIntLimits();
    void storeExchangeAfterEveryByte();

    void replyEffects_data();
    void replyEffects();
    void onlyAChannel1ReplyEstablishesTheLink();
    void everyReplyInOneBatchTakesEffectInOrder();
    void replySplitByteByByteTakesEffectAtItsLastByte();
    void fieldsPersistAcrossReplies();
};

void tst_ReplyParser::channelReplyIsStoredWithoutCheckingTheChecksum()
{
    ParserUnderTest p;
    const QByteArray bytes = QByteArray::fromHex("3DAA00010001325A");
    for (int i = 0; i < bytes.size(); ++i) {
        QCOMPARE(p.m_bRxFrameDone, 0);
        p.ProcessReplyByte(ReceivedByteText(uchar(bytes.at(i))));
    }
    QCOMPARE(p.m_strRxFunction, QStringLiteral("01"));
    QCOMPARE(p.m_strRxData, QStringLiteral("32"));
    QCOMPARE(p.m_strRxByte, QStringLiteral("5A"));
    QCOMPARE(p.m_bRxFrameDone, 1);
    QCOMPARE(p.m_nRxState, 0);
}

void tst_ReplyParser::frequencyReplyUsesTheCounter()
{
    ParserUnderTest p;
    p.feed("3DAA0004000305");
    QCOMPARE(p.m_nRxState, 6);
    QCOMPARE(CDimraProtocol::RxCounter(), 1);
    p.feed("00");
    QCOMPARE(CDimraProtocol::RxCounter(), 2);
    p.feed("00");
    QCOMPARE(CDimraProtocol::RxCounter(), 0);
    QCOMPARE(p.m_nRxState, 7);
    p.feed("F3");
    QCOMPARE(p.m_strRxData1, QStringLiteral("05"));
    QCOMPARE(p.m_strRxData2, QStringLiteral("00"));
    QCOMPARE(p.m_strRxData3, QStringLiteral("00"));
    QCOMPARE(p.m_bRxFrameDone, 1);
    QCOMPARE(p.m_nRxState, 0);
}

void tst_ReplyParser::doubledFirstHeaderByteIsDroppedNotRetried()
{
    ParserUnderTest p;
    p.feed("3D3DAA00010001325A");
    QCOMPARE(p.m_bRxFrameDone, 0);
    QVERIFY(p.m_strRxFunction.isEmpty());
}

void tst_ReplyParser::strayByteInStateZero()
{
    ParserUnderTest p;
    p.feed("3C");
    QCOMPARE(p.m_nRxState, 0);
    QCOMPARE(p.m_bRxFrameDone, 0);
}

void tst_ReplyParser::flagIsClearedByTheNextByte()
{
    ParserUnderTest p;
    p.feed("3DAA00020001285A");
    QCOMPARE(p.m_bRxFrameDone, 1);
    p.feed("3D");
    QCOMPARE(p.m_bRxFrameDone, 0);
    QCOMPARE(p.m_nRxState, 1);
}

void tst_ReplyParser::headerMismatches_data()
{
    QTest::addColumn<QByteArray>("prefix");
    QTest::newRow("second header byte") << QByteArray("3DAB");
    QTest::newRow("third header byte") << QByteArray("3DAA01");
    QTest::newRow("length high byte") << QByteArray("3DAA000101");
}

void tst_ReplyParser::headerMismatches()
{
    // A mismatch drops the reply in progress; the next well-formed reply is
    // recognised in full.
    QFETCH(QByteArray, prefix);
    ParserUnderTest p;
    p.feed(prefix);
    QCOMPARE(p.m_nRxState, 0);
    p.feed("3DAA00030001425A");
    QCOMPARE(p.m_bRxFrameDone, 1);
    QCOMPARE(p.m_strRxData, QStringLiteral("42"));
}

void tst_ReplyParser::repliesOfOtherLengthsAreSkippedWhole_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("echoed open-link frame") << QByteArray("3DAA00000000E7");
    QTest::newRow("two data bytes") << QByteArray("3DAA000100020102FF");
    QTest::newRow("four data bytes") << QByteArray("3DAA0004000401020304FF");
    // Data bytes that look like a header are still data.
    QTest::newRow("header lookalike in data") << QByteArray("3DAA0001000 23DAA77");
    QTest::newRow("255 data bytes") << QByteArray("3DAA000100FF") + QByteArray(255, 'A').toHex() + "00";
}

void tst_ReplyParser::repliesOfOtherLengthsAreSkippedWhole()
{
    QFETCH(QByteArray, reply);
    ParserUnderTest p;
    const QByteArray bytes = QByteArray::fromHex(reply);
    for (const char b : bytes) {
        p.ProcessReplyByte(ReceivedByteText(uchar(b)));
        QCOMPARE(p.m_bRxFrameDone, 0); // no effect, not even at its end
    }
    QCOMPARE(p.m_nRxState, 0);
    QCOMPARE(CDimraProtocol::RxCounter(), 0);

    // The parser is not stuck: a well-formed reply right after is recognised.
    p.feed("3DAA000100011E00");
    QCOMPARE(p.m_bRxFrameDone, 1);
    QCOMPARE(p.m_strRxData, QStringLiteral("1E"));
    p.feed("3DAA0004000301 01F4E4");
    QCOMPARE(p.m_bRxFrameDone, 1);
    QCOMPARE(p.m_strRxData1 + p.m_strRxData2 + p.m_strRxData3, QStringLiteral("0101F4"));
}

void tst_ReplyParser::everyByteInEveryStateKeepsTheParserSound()
{
    // Bring the parser into each state with each kind of length, then offer
    // every byte value: only the byte after a reply's data completes it, the
    // counter runs only inside a three-byte reply's data and stays in 0-3,
    // and the byte is kept as its text.
    const QList<QByteArray> prefixes = {
        "", "3D", "3DAA", "3DAA00", "3DAA0001", "3DAA000100",
        "3DAA00010001", "3DAA00040003", "3DAA0004000301", "3DAA000400030102",
        "3DAA0001000132", "3DAA00010007", "3DAA00010000",
    };
    for (const QByteArray &prefix : prefixes) {
        for (int b = 0; b < 256; ++b) {
            CDimraProtocol::ResetRxCounter();
            ParserUnderTest p;
            p.feed(prefix);
            const bool completes = p.m_nRxState == 7;
            p.ProcessReplyByte(ReceivedByteText(uchar(b)));
            const QByteArray what = prefix + " then " + QByteArray::number(b);
            QVERIFY2(p.m_bRxFrameDone == (completes ? 1 : 0), what);
            QVERIFY2(p.m_nRxState == 6 || CDimraProtocol::RxCounter() == 0, what);
            QVERIFY(CDimraProtocol::RxCounter() >= 0 && CDimraProtocol::RxCounter() <= 3);
            QCOMPARE(p.m_strRxByte, IntToHex(b));
        }
    }
    CDimraProtocol::ResetRxCounter();
}

void tst_ReplyParser::frequencyOfWideTextsStopsAtTheIntLimits()
{
    // The receive path hands the parser byte texts only, but ProcessReplyByte
    // takes any text: thousands too wide for an int saturate, not overflow.
    const QList<QPair<QString, int>> cases = {{"7FFFFFFF ", INT_MAX}, {"80000000 ", INT_MIN}};
    for (const auto &[thousands, frequency] : cases) {
        ParserUnderTest p;
        p.feed("3DAA00040003");
        p.ProcessReplyByte(thousands);
        p.feed("000000");
        p.ApplyReply();
        QCOMPARE(p.m_nFrequency, frequency);
    }
}

void tst_ReplyParser::storeExchangeAfterEveryByte()
{
    struct Counting : ParserUnderTest {
        int stores = 0;
        bool UpdateData(bool save) override { stores += save ? 0 : 1; return true; }
    } p;
    p.feed("3DAA00010001");
    QCOMPARE(p.stores, 6);
}

void tst_ReplyParser::replyEffects_data()
{
    QTest::addColumn<QByteArray>("replies");
    QTest::addColumn<int>("frequency");
    QTest::addColumn<int>("channel1");
    QTest::addColumn<int>("channel2");
    QTest::addColumn<int>("channel3");
    QTest::addColumn<bool>("linked");

    QTest::newRow("frequency 5000") << QByteArray("3DAA00040003050000F3") << 5000 << 0 << 0 << 0 << false;
    QTest::newRow("frequency 1500") << QByteArray("3DAA000400030101F4E4") << 1500 << 0 << 0 << 0 << false;
    QTest::newRow("frequency 150000") << QByteArray("3DAA0004000396000084") << 150000 << 0 << 0 << 0 << false;
    QTest::newRow("channel 1 links") << QByteArray("3DAA00010001321B") << 25 << 50 << 0 << 0 << true;
    QTest::newRow("channel 2") << QByteArray("3DAA0002000128 12") << 25 << 0 << 40 << 0 << false;
    QTest::newRow("channel 3") << QByteArray("3DAA00030001644F") << 25 << 0 << 0 << 100 << false;
    QTest::newRow("data C8 is not range checked") << QByteArray("3DAA00010001C800") << 25 << 200 << 0 << 0 << true;
    QTest::newRow("function 05 ignored") << QByteArray("3DAA000500010900") << 25 << 0 << 0 << 0 << false;
    QTest::newRow("function 1A acts as 1") << QByteArray("3DAA001A00010900") << 25 << 9 << 0 << 0 << true;
    QTest::newRow("function 4F acts as 4") << QByteArray("3DAA004F0003010000 00") << 1000 << 0 << 0 << 0 << false;
    QTest::newRow("function 0A reads as 0") << QByteArray("3DAA000A00010900") << 25 << 0 << 0 << 0 << false;
    QTest::newRow("function A1 reads as 0") << QByteArray("3DAA00A100010900") << 25 << 0 << 0 << 0 << false;
    // Length 03 on a channel reply applies the last one-byte data (none yet: 0).
    QTest::newRow("channel 1 with length 03") << QByteArray("3DAA000100030506 0700") << 25 << 0 << 0 << 0 << true;
    QTest::newRow("channel 2 with length 03 after a one-byte reply")
        << QByteArray("3DAA00030001 1100" "3DAA00020003050607 00") << 25 << 0 << 0x11 << 0x11 << false;
    // Length 01 on a frequency reply applies the last three-byte data.
    QTest::newRow("frequency with length 01 after a three-byte reply")
        << QByteArray("3DAA000400030101F4E4" "3DAA00040001 0900") << 1500 << 0 << 0 << 0 << false;
    QTest::newRow("frequency with length 01 before any") << QByteArray("3DAA000400010900") << 0 << 0 << 0 << 0 << false;
    QTest::newRow("several in a row")
        << QByteArray("3DAA000100011400" "3DAA000200011E00" "3DAA000300012800" "3DAA000400030203E800")
        << 3000 << 20 << 30 << 40 << true;
}

void tst_ReplyParser::replyEffects()
{
    QFETCH(QByteArray, replies);
    QFETCH(int, frequency);
    QFETCH(int, channel1);
    QFETCH(int, channel2);
    QFETCH(int, channel3);
    QFETCH(bool, linked);

    ParserUnderTest p;
    p.ReceiveBytes(QByteArray::fromHex(replies));
    QCOMPARE(p.m_nFrequency, frequency);
    QCOMPARE(p.m_nChannel1, channel1);
    QCOMPARE(p.m_nChannel2, channel2);
    QCOMPARE(p.m_nChannel3, channel3);
    QCOMPARE(p.m_bLinked, linked);
    QCOMPARE(p.m_bRxFrameDone, 0);
}

void tst_ReplyParser::onlyAChannel1ReplyEstablishesTheLink()
{
    ParserUnderTest p;
    p.ReceiveBytes(QByteArray::fromHex("3DAA000200010A00" "3DAA000300010A00" "3DAA00040003010000 00"));
    QVERIFY(!p.m_bLinked);
    p.ReceiveBytes(QByteArray::fromHex("3DAA000100010000"));
    QVERIFY(p.m_bLinked);
}

void tst_ReplyParser::everyReplyInOneBatchTakesEffectInOrder()
{
    // The board answers the open-link frame with four reports in one burst,
    // and garbage between them does not hide any.
    ParserUnderTest p;
    p.ReceiveBytes(QByteArray::fromHex("3DAA000100010500" "FF00" "3DAA000200010600"
                                       "3DAA000300010700" "3DAA000400030100FA00" "3D"));
    const QList<QPair<int, int>> expected = {{1, 5}, {2, 6}, {3, 7}, {4, 1250}};
    QCOMPARE(p.sliderMoves, expected);
    QVERIFY(p.m_bLinked);
}

void tst_ReplyParser::replySplitByteByByteTakesEffectAtItsLastByte()
{
    ParserUnderTest p;
    const QByteArray bytes = QByteArray::fromHex("3DAA000200012812");
    for (int i = 0; i < bytes.size(); ++i) {
        QCOMPARE(p.m_nChannel2, 0);
        p.ReceiveBytes(bytes.mid(i, 1));
    }
    QCOMPARE(p.m_nChannel2, 40);
    QCOMPARE(p.sliderMoves, (QList<QPair<int, int>>{{2, 40}}));
}

void tst_ReplyParser::fieldsPersistAcrossReplies()
{
    ParserUnderTest p;
    p.feed("3DAA000100013300");
    p.feed("3DAA000400030500 00F3");
    p.feed("3DAA0005");
    QCOMPARE(p.m_strRxData, QStringLiteral("33"));
    QCOMPARE(p.m_strRxData1, QStringLiteral("05"));
    QCOMPARE(p.m_strRxFunction, QStringLiteral("05"));
}

QTEST_GUILESS_MAIN(tst_ReplyParser)
#include "tst_replyparser.moc"
