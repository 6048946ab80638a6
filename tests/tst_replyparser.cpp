#include "codechost.h"
#include "hexconv.h"

#include <QTest>

class tst_ReplyParser : public QObject
{
    Q_OBJECT

private slots:
    void replyTakesEffectAtItsLastByteOnly_data();
    void replyTakesEffectAtItsLastByteOnly();
    void doubledFirstHeaderByteIsDroppedNotRetried();
    void strayByteBeforeAReplyIsPassedOver();
    void theByteAfterAReplyStartsAfresh();
    void headerMismatches_data();
    void headerMismatches();
    void repliesOfOtherLengthsAreSkippedWhole_data();
    void repliesOfOtherLengthsAreSkippedWhole();
    void everyByteAfterEveryPrefixKeepsTheParserSound_data();
    void everyByteAfterEveryPrefixKeepsTheParserSound();
    void frequencyOfWideTextsStopsAtTheIntLimits();
    void everyByteIsHeardBeforeTheReplyItCompletes();
    void twoCodecsParseApart();

    void replyEffects_data();
    void replyEffects();
    void everyReplyInOneBatchTakesEffectInOrder();
    void fieldsPersistAcrossReplies();
};

using Reports = QList<QPair<int, int>>;

void tst_ReplyParser::replyTakesEffectAtItsLastByteOnly_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("value");
    QTest::newRow("channel 1, checksum not checked (it would be 1B)") << QByteArray("3DAA00010001325A") << 1 << 0x32;
    QTest::newRow("channel 2") << QByteArray("3DAA000200012812") << 2 << 40;
    QTest::newRow("frequency, three data bytes") << QByteArray("3DAA00040003050000F3") << 4 << 5000;
}

void tst_ReplyParser::replyTakesEffectAtItsLastByteOnly()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, code);
    QFETCH(int, value);
    CodecHost host;
    const QByteArray bytes = QByteArray::fromHex(reply);
    for (int i = 0; i < bytes.size(); ++i) {
        QVERIFY(host.reports.isEmpty());
        host.receive(bytes.mid(i, 1));
    }
    QCOMPARE(host.reports, (Reports{{code, value}}));
}

void tst_ReplyParser::doubledFirstHeaderByteIsDroppedNotRetried()
{
    CodecHost host;
    host.receive(QByteArray::fromHex("3D3DAA00010001325A"));
    QVERIFY(host.reports.isEmpty());
}

void tst_ReplyParser::strayByteBeforeAReplyIsPassedOver()
{
    CodecHost host;
    host.receive(QByteArray::fromHex("3C"));
    QVERIFY(host.reports.isEmpty());
    host.receive(QByteArray::fromHex("3DAA00020001285A"));
    QCOMPARE(host.reports, (Reports{{2, 40}}));
}

void tst_ReplyParser::theByteAfterAReplyStartsAfresh()
{
    // The byte after a reply is not taken for it again, and may begin the next.
    CodecHost host;
    host.receive(QByteArray::fromHex("3DAA00020001285A"));
    QCOMPARE(host.reports.size(), 1);
    host.receive(QByteArray::fromHex("3D"));
    QCOMPARE(host.reports.size(), 1);
    host.receive(QByteArray::fromHex("AA00030001075A"));
    QCOMPARE(host.reports, (Reports{{2, 40}, {3, 7}}));
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
    CodecHost host;
    host.receive(QByteArray::fromHex(prefix));
    host.receive(QByteArray::fromHex("3DAA00030001425A"));
    QCOMPARE(host.reports, (Reports{{3, 0x42}}));
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
    CodecHost host;
    for (const char b : QByteArray::fromHex(reply)) {
        host.receive(QByteArray(1, b));
        QVERIFY(host.reports.isEmpty()); // no effect, not even at its end
    }

    // The parser is not stuck: well-formed replies right after are recognised.
    host.receive(QByteArray::fromHex("3DAA000100011E00"));
    host.receive(QByteArray::fromHex("3DAA0004000301 01F4E4"));
    QCOMPARE(host.reports, (Reports{{1, 0x1E}, {4, 1500}}));
}

void tst_ReplyParser::everyByteAfterEveryPrefixKeepsTheParserSound_data()
{
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<bool>("completes"); // any byte after it completes a reply
    const QList<QPair<QByteArray, bool>> prefixes = {
        {"", false}, {"3D", false}, {"3DAA", false}, {"3DAA00", false}, {"3DAA0001", false},
        {"3DAA000100", false}, {"3DAA00010001", false}, {"3DAA00040003", false}, {"3DAA0004000301", false},
        {"3DAA000400030102", false}, {"3DAA0001000132", true}, {"3DAA00010007", false}, {"3DAA00010000", false},
    };
    for (const auto &[prefix, completes] : prefixes)
        QTest::newRow(prefix.isEmpty() ? "nothing" : prefix.constData()) << prefix << completes;
}

void tst_ReplyParser::everyByteAfterEveryPrefixKeepsTheParserSound()
{
    // Bring the parser into each state with each kind of length, then offer
    // every byte value: only the byte after a reply's data completes it, and
    // an idle line after it brings the parser back to recognise the next
    // reply in full.
    QFETCH(QByteArray, prefix);
    QFETCH(bool, completes);
    for (int b = 0; b < 256; ++b) {
        CodecHost host;
        host.receive(QByteArray::fromHex(prefix));
        host.receive(QByteArray(1, char(b)));
        QVERIFY2(host.reports.size() == (completes ? 1 : 0), QByteArray::number(b));
        host.reports.clear();
        host.receive(QByteArray(256, '\0') + QByteArray::fromHex("3DAA0003000109 00"));
        QVERIFY2(!host.reports.isEmpty() && host.reports.last() == qMakePair(3, 9), QByteArray::number(b));
    }
}

void tst_ReplyParser::frequencyOfWideTextsStopsAtTheIntLimits()
{
    // The receive path hands the parser byte texts only, but ProcessReplyByte
    // takes any text: thousands too wide for an int saturate, not overflow.
    const QList<QPair<QString, int>> cases = {{"7FFFFFFF ", INT_MAX}, {"80000000 ", INT_MIN}};
    for (const auto &[thousands, frequency] : cases) {
        CodecHost host;
        host.receive(QByteArray::fromHex("3DAA00040003"));
        host.codec.ProcessReplyByte(thousands);
        host.receive(QByteArray::fromHex("000000"));
        host.codec.ApplyReply();
        QCOMPARE(host.valueOr(CDimraProtocol::CmdFrequency, 0), frequency);
    }
}

void tst_ReplyParser::everyByteIsHeardBeforeTheReplyItCompletes()
{
    // What lets the window rewrite its edits after every received byte.
    CodecHost host;
    QList<int> heard; // reports made by the time each byte was heard
    host.codec.SetByteListener([&] { heard.append(int(host.reports.size())); });
    host.receive(QByteArray::fromHex("3DAA00010001"));
    QCOMPARE(heard.size(), 6);
    host.receive(QByteArray::fromHex("0500"));
    QCOMPARE(heard, (QList<int>{0, 0, 0, 0, 0, 0, 0, 0}));
    QCOMPARE(host.reports, (Reports{{1, 5}}));
}

void tst_ReplyParser::twoCodecsParseApart()
{
    // Each codec counts the data bytes of its own replies: two boards'
    // frequency replies interleaved byte by byte both come through.
    CodecHost first;
    CodecHost second;
    const QByteArray a = QByteArray::fromHex("3DAA000400030101F4E4");
    const QByteArray b = QByteArray::fromHex("3DAA00040003050000F3");
    for (int i = 0; i < a.size(); ++i) {
        first.receive(a.mid(i, 1));
        second.receive(b.mid(i, 1));
    }
    QCOMPARE(first.reports, (Reports{{4, 1500}}));
    QCOMPARE(second.reports, (Reports{{4, 5000}}));
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

    // The window's values before any reply: what a row shows when nothing
    // was reported for it.
    CodecHost host;
    host.receive(QByteArray::fromHex(replies));
    QCOMPARE(host.valueOr(CDimraProtocol::CmdFrequency, Dimra::kFrequencyMin), frequency);
    QCOMPARE(host.valueOr(CDimraProtocol::CmdChannel1, 0), channel1);
    QCOMPARE(host.valueOr(CDimraProtocol::CmdChannel2, 0), channel2);
    QCOMPARE(host.valueOr(CDimraProtocol::CmdChannel3, 0), channel3);
    QCOMPARE(host.isLinked(), linked);
}

void tst_ReplyParser::everyReplyInOneBatchTakesEffectInOrder()
{
    // The board answers the open-link frame with four reports in one burst,
    // and garbage between them does not hide any.
    CodecHost host;
    host.receive(QByteArray::fromHex("3DAA000100010500" "FF00" "3DAA000200010600"
                                     "3DAA000300010700" "3DAA000400030100FA00" "3D"));
    const Reports expected = {{1, 5}, {2, 6}, {3, 7}, {4, 1250}};
    QCOMPARE(host.reports, expected);
    QVERIFY(host.isLinked());
}

void tst_ReplyParser::fieldsPersistAcrossReplies()
{
    // The data of the last one-byte and of the last three-byte reply stay,
    // and a reply whose length does not fit its code reports them.
    CodecHost host;
    host.receive(QByteArray::fromHex("3DAA000100013300"));
    host.receive(QByteArray::fromHex("3DAA000400030500 00F3"));
    host.reports.clear();
    host.receive(QByteArray::fromHex("3DAA00040001 09 00"));
    host.receive(QByteArray::fromHex("3DAA00020003 070809 00"));
    QCOMPARE(host.reports, (Reports{{4, 5000}, {2, 0x09}}));
}

QTEST_GUILESS_MAIN(tst_ReplyParser)
#include "tst_replyparser.moc"
