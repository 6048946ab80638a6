#include "boardserver.h"
#include "dialogfixture.h"
#include "usertexts.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <memory>

// The real dialog against the virtual board, in one process, over a
// pseudo-terminal: what a user with a board would see.
class tst_EndToEnd : public QObject, protected DialogFixture
{
    Q_OBJECT

private slots:
    void cleanup();

    void connectingLinksAndShowsTheBoardsValues_data();
    void connectingLinksAndShowsTheBoardsValues();
    void valuesSetByKeyboardAndConfirmArriveExactly();
    void echoingBoardCausesNoEndlessExchange();
    void quietBoardGetsNothingFromTheSliders();
    void noisyBoardEndsHoldingTheUsersValues_data();
    void noisyBoardEndsHoldingTheUsersValues();

private:
    // A board on a new pseudo-terminal and the dialog on it; false, with a
    // warning, when either could not be opened.
    bool startBoard(CBoardModel::Mode mode, bool paced = false, quint32 seed = 1);
    void confirm(const char *row, int value) { typeAndConfirm(row, QString::number(value)); }
    int framesAtBoard() const { return m_board->reader().goodFrames(); }

    std::unique_ptr<CBoardModel> m_board;
    std::unique_ptr<CBoardServer> m_server;
};

bool tst_EndToEnd::startBoard(CBoardModel::Mode mode, bool paced, quint32 seed)
{
    m_board = std::make_unique<CBoardModel>(mode, seed);
    m_server = std::make_unique<CBoardServer>(m_board.get());
    m_server->setPaced(paced);
    QString error;
    if (!m_server->openPty(&error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    // At rest means the board has answered in full too.
    m_alsoBusy = [this] { return m_server->pendingBytes() > 0; };
    return openOn(m_server->devicePath());
}

void tst_EndToEnd::cleanup()
{
    close();
    m_server.reset();
    m_board.reset();
}

void tst_EndToEnd::connectingLinksAndShowsTheBoardsValues_data()
{
    QTest::addColumn<bool>("paced");
    QTest::newRow("at line rate") << true;
    QTest::newRow("unpaced") << false;
}

void tst_EndToEnd::connectingLinksAndShowsTheBoardsValues()
{
    QFETCH(bool, paced);
    QVERIFY(startBoard(CBoardModel::Report, paced));
    m_board->state() = {2500, {10, 20, 30}};
    QTest::mouseClick(connectButton(), Qt::LeftButton);
    QCOMPARE(connectButton()->text(), UserText::kDisconnect);
    QTRY_VERIFY(m_dlg->link().isLinked());
    QTRY_COMPARE(slider("Frequency")->value(), 2500);
    QCOMPARE(slider("Channel1")->value(), 10);
    QCOMPARE(slider("Channel2")->value(), 20);
    QCOMPARE(slider("Channel3")->value(), 30);
    QTRY_COMPARE(control<QLineEdit>("editFrequency")->text(), QStringLiteral("2500"));
    QCOMPARE(control<QLineEdit>("editChannel3")->text(), QStringLiteral("30"));
    // The reported values are not sent back: the board saw only open-link.
    QVERIFY(settle());
    QCOMPARE(framesAtBoard(), 1);
    QVERIFY(m_messages->messages.isEmpty());
}

void tst_EndToEnd::valuesSetByKeyboardAndConfirmArriveExactly()
{
    QVERIFY(startBoard(CBoardModel::Report));
    QTest::mouseClick(connectButton(), Qt::LeftButton);
    QCOMPARE(connectButton()->text(), UserText::kDisconnect);
    QTRY_VERIFY(m_dlg->link().isLinked());
    QTRY_COMPARE(slider("Frequency")->value(), 1000);
    QVERIFY(settle()); // the report's own redraw first: the frames go out in the keys' order

    QTest::keyClick(slider("Channel1"), Qt::Key_PageUp);
    QTest::keyClick(slider("Channel2"), Qt::Key_End);
    QTest::keyClick(slider("Channel3"), Qt::Key_Right);
    QTest::keyClick(slider("Frequency"), Qt::Key_Left);
    QTRY_COMPARE(m_board->state().frequency, 999);
    QTRY_COMPARE(m_board->state().duty[0], slider("Channel1")->value());
    QCOMPARE(m_board->state().duty[1], 100);
    QCOMPARE(m_board->state().duty[2], 1);

    confirm("Frequency", 150000);
    confirm("Channel1", 42);
    confirm("Channel2", 0);
    confirm("Channel3", 77);
    QTRY_COMPARE(m_board->state().frequency, 150000);
    QTRY_COMPARE(m_board->state().duty[2], 77);
    QCOMPARE(m_board->state().duty[0], 42);
    QCOMPARE(m_board->state().duty[1], 0);
    QCOMPARE(m_board->reader().badFrames(), 0);
    QVERIFY(m_messages->messages.isEmpty());
}

void tst_EndToEnd::echoingBoardCausesNoEndlessExchange()
{
    QVERIFY(startBoard(CBoardModel::Echo));
    QTest::mouseClick(connectButton(), Qt::LeftButton);
    QCOMPARE(connectButton()->text(), UserText::kDisconnect);
    QTRY_VERIFY(m_dlg->link().isLinked());
    QTRY_COMPARE(slider("Frequency")->value(), 1000);

    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(slider("Channel2"), Qt::Key_Right);
        QVERIFY(settle()); // an endless exchange never comes to rest
    }
    confirm("Frequency", 5000);
    QTRY_COMPARE(m_board->state().frequency, 5000);
    QVERIFY(settle());
    const int settled = framesAtBoard();
    // Open-link, then at most one frame per user action.
    QVERIFY2(settled <= 1 + 5 + 1, qPrintable(QString::number(settled)));
    QVERIFY(settle());
    QCOMPARE(framesAtBoard(), settled);
    QCOMPARE(m_board->state().duty[1], 5);
    QCOMPARE(slider("Channel2")->value(), 5);
}

void tst_EndToEnd::quietBoardGetsNothingFromTheSliders()
{
    QVERIFY(startBoard(CBoardModel::Quiet));
    QTest::mouseClick(connectButton(), Qt::LeftButton);
    QCOMPARE(connectButton()->text(), UserText::kDisconnect);
    QTest::keyClick(slider("Channel1"), Qt::Key_End);
    confirm("Frequency", 8000);
    QTRY_COMPARE(slider("Frequency")->value(), 8000);
    QVERIFY(settle());
    QVERIFY(!m_dlg->link().isLinked());
    QCOMPARE(framesAtBoard(), 1);
    QCOMPARE(m_board->state().frequency, 1000);
    QCOMPARE(m_board->state().duty[0], 0);
}

void tst_EndToEnd::noisyBoardEndsHoldingTheUsersValues_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 2u, 3u, 17u, 99u})
        QTest::addRow("seed %u", seed) << seed;
}

void tst_EndToEnd::noisyBoardEndsHoldingTheUsersValues()
{
    QFETCH(quint32, seed);
    QVERIFY(startBoard(CBoardModel::Noisy, false, seed));
    QTest::mouseClick(connectButton(), Qt::LeftButton);
    QCOMPARE(connectButton()->text(), UserText::kDisconnect);
    QTRY_VERIFY(m_dlg->link().isLinked());
    QTRY_COMPARE(slider("Frequency")->value(), 1000);
    // The frequency report's own redraw comes first; otherwise it would
    // carry the frequency typed below out ahead of the channels.
    QVERIFY(settle());
    confirm("Channel1", 12);
    confirm("Channel2", 34);
    confirm("Channel3", 56);
    confirm("Frequency", 7890);
    QTRY_COMPARE(m_board->state().frequency, 7890);
    QCOMPARE(m_board->state().duty[0], 12);
    QCOMPARE(m_board->state().duty[1], 34);
    QCOMPARE(m_board->state().duty[2], 56);
    // The noise never moved a slider away from what the user set.
    QVERIFY(settle());
    QCOMPARE(slider("Channel2")->value(), 34);
    QCOMPARE(slider("Frequency")->value(), 7890);
}

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
