#include "boardmodel.h"
#include "codechost.h"
#include "framereader.h"
#include "language.h"
#include "protocolnumbers.h"

#include <QTest>

namespace {

// The host side without a window: builds frames and parses replies as the app does.
using Host = CodecHost;

QByteArray frameFor(int code, int value)
{
    return Host().frameFor(code, value);
}

QList<QPair<int, int>> goodValues(const QList<CFrameReader::Frame> &frames)
{
    QList<QPair<int, int>> out;
    for (const CFrameReader::Frame &f : frames)
        if (f.verdict == CFrameReader::Good)
            out.append({f.code, f.code == 0 ? 0 : CBoardModel::decodeValue(f.code, f.data)});
    return out;
}

QByteArray allBytes(const QList<CBoardModel::Output> &sent)
{
    QByteArray bytes;
    for (const CBoardModel::Output &o : sent)
        bytes += o.bytes;
    return bytes;
}

} // namespace

Q_DECLARE_METATYPE(CFrameReader::Verdict)

class tst_BoardModel : public QObject
{
    Q_OBJECT

private slots:

    void readerFindsFramesInAnySplit();
    void readerRejectsAndResynchronises_data();
    void readerRejectsAndResynchronises();
    void everyFrameTheAppBuildsIsReadWithItsValue();
    void modeNames();
    void reportAnswersOpenLinkWithFourReplies();
    void setCommandsChangeTheStateSilentlyInReportMode();
    void echoAnswersEverySetCommand();
    void quietNeverAnswers();
    void noisyReportsStillLinkTheHost();
    void valuesOutOfRangeAreHeldAtTheLimit();

private:
    // The meanings of what the board sends, as a Chinese user reads them.
    const CRunLanguage m_language{CRunLanguage::Chinese};
};

void tst_BoardModel::readerFindsFramesInAnySplit()
{
    const QByteArray stream = frameFor(0, 0) + frameFor(1, 50) + frameFor(2, 0) + frameFor(3, 100)
        + frameFor(4, 25) + frameFor(4, 150000) + frameFor(4, 1500);
    const QList<QPair<int, int>> expected = {{0, 0}, {1, 50}, {2, 0}, {3, 100}, {4, 25}, {4, 150000}, {4, 1500}};
    for (int chunk = 1; chunk <= stream.size(); ++chunk) {
        CFrameReader reader;
        QList<CFrameReader::Frame> frames;
        for (int i = 0; i < stream.size(); i += chunk)
            frames += reader.feed(stream.mid(i, chunk));
        QCOMPARE(goodValues(frames), expected);
        QCOMPARE(reader.badFrames(), 0);
        QCOMPARE(reader.skippedBytes(), 0);
    }
}

void tst_BoardModel::readerRejectsAndResynchronises_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("bad");
    QTest::addColumn<qint64>("skipped");

    const QByteArray good = frameFor(2, 40);
    QTest::newRow("garbage before") << QByteArray::fromHex("FF00113DAA") + good << 0 << qint64(5);
    QTest::newRow("doubled first header byte") << QByteArray::fromHex("3D") + good << 0 << qint64(1);
    QTest::newRow("bad checksum") << QByteArray::fromHex("3DAA000200012813") + good << 1 << qint64(7);
    QTest::newRow("wrong length for the command") << QByteArray::fromHex("3DAA0002000328000000") + good << 1
                                                  << qint64(9);
    QTest::newRow("length high byte set") << QByteArray::fromHex("3DAA00020101281300") + good << 1 << qint64(8);
    QTest::newRow("unknown command") << QByteArray::fromHex("3DAA00090001 0100") + good << 1 << qint64(7);
    // A frame cut short: the next frame's bytes become its data and fail
    // its checksum, and the next frame is found again inside.
    QTest::newRow("truncated frame") << QByteArray::fromHex("3DAA00040003 01") + good << 1 << qint64(6);
}

void tst_BoardModel::readerRejectsAndResynchronises()
{
    QFETCH(QByteArray, stream);
    QFETCH(int, bad);
    QFETCH(qint64, skipped);
    for (int chunk : {1, 3, int(stream.size())}) {
        CFrameReader reader;
        QList<CFrameReader::Frame> frames;
        for (int i = 0; i < stream.size(); i += chunk)
            frames += reader.feed(stream.mid(i, chunk));
        QCOMPARE(goodValues(frames), (QList<QPair<int, int>>{{2, 40}}));
        QCOMPARE(reader.goodFrames(), 1);
        QCOMPARE(reader.badFrames(), bad);
        QCOMPARE(reader.skippedBytes(), skipped);
    }
}

void tst_BoardModel::everyFrameTheAppBuildsIsReadWithItsValue()
{
    CFrameReader reader;
    for (int code = 1; code <= 3; ++code)
        for (int value = Dimra::kDutyMin; value <= Dimra::kDutyMax; ++value)
            QCOMPARE(goodValues(reader.feed(frameFor(code, value))), (QList<QPair<int, int>>{{code, value}}));
    for (int hz = Dimra::kFrequencyMin; hz <= Dimra::kFrequencyMax; hz += hz < 2000 ? 1 : 997) {
        QCOMPARE(goodValues(reader.feed(frameFor(4, hz))), (QList<QPair<int, int>>{{4, hz}}));
    }
    QCOMPARE(goodValues(reader.feed(frameFor(4, Dimra::kFrequencyMax))), (QList<QPair<int, int>>{{4, Dimra::kFrequencyMax}}));
    QCOMPARE(reader.badFrames(), 0);
}

void tst_BoardModel::modeNames()
{
    for (const char *name : {"report", "echo", "quiet", "noisy"})
        QCOMPARE(CBoardModel::modeName(CBoardModel::parseMode(QString::fromLatin1(name)).value()),
                 QString::fromLatin1(name));
    QVERIFY(!CBoardModel::parseMode(QStringLiteral("loud")));
    QVERIFY(!CBoardModel::parseMode(QStringLiteral("Report")));
}

void tst_BoardModel::reportAnswersOpenLinkWithFourReplies()
{
    CBoardModel board;
    QList<CBoardModel::Output> sent;
    board.receive(frameFor(0, 0), &sent);
    QCOMPARE(sent.size(), 4);
    QCOMPARE(allBytes(sent).toHex(' '), QByteArray::fromHex("3DAA0001000100E9" "3DAA0002000100EA"
                                                           "3DAA0003000100EB" "3DAA00040003010000EF")
                                           .toHex(' '));
    Host host;
    host.receive(allBytes(sent));
    QVERIFY(host.isLinked());
    QCOMPARE(host.valueOr(CDimraProtocol::CmdFrequency, -1), 1000);
}

void tst_BoardModel::setCommandsChangeTheStateSilentlyInReportMode()
{
    CBoardModel board;
    QList<CBoardModel::Output> sent;
    board.receive(frameFor(1, 11) + frameFor(2, 22) + frameFor(3, 33) + frameFor(4, 4321), &sent);
    QVERIFY(sent.isEmpty());
    QCOMPARE(board.state().duty[0], 11);
    QCOMPARE(board.state().duty[1], 22);
    QCOMPARE(board.state().duty[2], 33);
    QCOMPARE(board.state().frequency, 4321);
}

void tst_BoardModel::echoAnswersEverySetCommand()
{
    CBoardModel board(CBoardModel::Echo);
    QList<CBoardModel::Output> sent;
    board.receive(frameFor(2, 40) + frameFor(4, 1500), &sent);
    QCOMPARE(allBytes(sent), QByteArray::fromHex("3DAA000200012812" "3DAA000400030101F4E4"));
}

void tst_BoardModel::quietNeverAnswers()
{
    CBoardModel board(CBoardModel::Quiet);
    QList<CBoardModel::Output> sent;
    board.receive(frameFor(0, 0) + frameFor(1, 5) + frameFor(4, 30000), &sent);
    QVERIFY(sent.isEmpty());
    QCOMPARE(board.state().duty[0], 5);
    QCOMPARE(board.reader().goodFrames(), 3);
}

void tst_BoardModel::noisyReportsStillLinkTheHost()
{
    int wrongLengthReplies = 0;
    for (quint32 seed = 1; seed <= 200; ++seed) {
        CBoardModel board(CBoardModel::Noisy, seed);
        board.state() = {7000, {1, 2, 3}};
        QList<CBoardModel::Output> sent;
        board.receive(frameFor(0, 0), &sent);
        for (const CBoardModel::Output &o : sent)
            wrongLengthReplies += o.meaning == QStringLiteral("长度错误的回复");
        Host host;
        host.receive(allBytes(sent));
        QVERIFY2(host.isLinked(), qPrintable(QString::number(seed)));
        QCOMPARE(host.valueOr(CDimraProtocol::CmdChannel1, -1), 1);
        QCOMPARE(host.valueOr(CDimraProtocol::CmdChannel2, -1), 2);
        QCOMPARE(host.valueOr(CDimraProtocol::CmdChannel3, -1), 3);
        QCOMPARE(host.valueOr(CDimraProtocol::CmdFrequency, -1), 7000);
    }
    QVERIFY(wrongLengthReplies > 0); // the noise did include them
}

void tst_BoardModel::valuesOutOfRangeAreHeldAtTheLimit()
{
    CBoardModel board;
    QList<CBoardModel::Output> sent;
    board.receive(frameFor(1, 200) + frameFor(4, 20) + frameFor(4, 255999), &sent);
    QCOMPARE(board.state().duty[0], Dimra::kDutyMax);
    QCOMPARE(board.state().frequency, Dimra::kFrequencyMax);
}

QTEST_GUILESS_MAIN(tst_BoardModel)
#include "tst_boardmodel.moc"
