#include "boardmodel.h"
#include "boardserver.h"
#include "dimradlg.h"
#include "messagerecorder.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <memory>

// The real dialog against the virtual board, in one process, over a
// pseudo-terminal: what a user with a board would see.
class tst_EndToEnd : public QObject
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
    void startBoard(CBoardModel::Mode mode, bool paced = false, quint32 seed = 1);
    void connectDialog();
    template <typename T> T *control(const char *name) const { return m_dlg->findChild<T *>(QLatin1String(name)); }
    void confirm(const char *row, int value);
    int framesAtBoard() const { return m_board->reader().goodFrames(); }

    std::unique_ptr<CBoardModel> m_board;
    std::unique_ptr<CBoardServer> m_server;
    std::unique_ptr<MessageRecorder> m_messages;
    std::unique_ptr<CMyDimraDlg> m_dlg;
};

void tst_EndToEnd::startBoard(CBoardModel::Mode mode, bool paced, quint32 seed)
{
    m_board = std::make_unique<CBoardModel>(mode, seed);
    m_server = std::make_unique<CBoardServer>(m_board.get());
    m_server->setPaced(paced);
    QString error;
    QVERIFY2(m_server->OpenPty(&error), qPrintable(error));
    qputenv("DIMRA_COM1", m_server->devicePath().toLocal8Bit());
    m_messages = std::make_unique<MessageRecorder>();
    m_dlg = std::make_unique<CMyDimraDlg>();
    m_dlg->show();
}

void tst_EndToEnd::cleanup()
{
    m_dlg.reset();
    m_messages.reset();
    m_server.reset();
    m_board.reset();
    qunsetenv("DIMRA_COM1");
}

void tst_EndToEnd::connectDialog()
{
    QTest::mouseClick(control<QPushButton>("buttonConnect"), Qt::LeftButton);
    QCOMPARE(control<QPushButton>("buttonConnect")->text(), QStringLiteral("断开光源控制器"));
}

void tst_EndToEnd::confirm(const char *row, int value)
{
    control<QLineEdit>(QByteArray("edit") + row)->setText(QString::number(value));
    QTest::mouseClick(control<QPushButton>(QByteArray("buttonConfirm") + row), Qt::LeftButton);
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
    startBoard(CBoardModel::Report, paced);
    m_board->state() = {2500, {10, 20, 30}};
    connectDialog();
    QTRY_VERIFY(m_dlg->m_bLinked);
    QTRY_COMPARE(m_dlg->m_sliderFrequency->value(), 2500);
    QCOMPARE(m_dlg->m_sliderChannel1->value(), 10);
    QCOMPARE(m_dlg->m_sliderChannel2->value(), 20);
    QCOMPARE(m_dlg->m_sliderChannel3->value(), 30);
    QTRY_COMPARE(control<QLineEdit>("editFrequency")->text(), QStringLiteral("2500"));
    QCOMPARE(control<QLineEdit>("editChannel3")->text(), QStringLiteral("30"));
    // The reported values are not sent back: the board saw only open-link.
    QTest::qWait(100);
    QCOMPARE(framesAtBoard(), 1);
    QVERIFY(m_messages->messages.isEmpty());
}

void tst_EndToEnd::valuesSetByKeyboardAndConfirmArriveExactly()
{
    startBoard(CBoardModel::Report);
    connectDialog();
    QTRY_VERIFY(m_dlg->m_bLinked);
    QTRY_COMPARE(m_dlg->m_sliderFrequency->value(), 1000);

    QTest::keyClick(m_dlg->m_sliderChannel1, Qt::Key_PageUp);
    QTest::keyClick(m_dlg->m_sliderChannel2, Qt::Key_End);
    QTest::keyClick(m_dlg->m_sliderChannel3, Qt::Key_Right);
    QTest::keyClick(m_dlg->m_sliderFrequency, Qt::Key_Left);
    QTRY_COMPARE(m_board->state().frequency, 999);
    QTRY_COMPARE(m_board->state().duty[0], m_dlg->m_sliderChannel1->value());
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
    startBoard(CBoardModel::Echo);
    connectDialog();
    QTRY_VERIFY(m_dlg->m_bLinked);
    QTRY_COMPARE(m_dlg->m_sliderFrequency->value(), 1000);

    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(m_dlg->m_sliderChannel2, Qt::Key_Right);
        QTest::qWait(20);
    }
    confirm("Frequency", 5000);
    QTRY_COMPARE(m_board->state().frequency, 5000);
    QTest::qWait(200);
    const int settled = framesAtBoard();
    // Open-link, then at most one frame per user action.
    QVERIFY2(settled <= 1 + 5 + 1, qPrintable(QString::number(settled)));
    QTest::qWait(300);
    QCOMPARE(framesAtBoard(), settled);
    QCOMPARE(m_board->state().duty[1], 5);
    QCOMPARE(m_dlg->m_sliderChannel2->value(), 5);
}

void tst_EndToEnd::quietBoardGetsNothingFromTheSliders()
{
    startBoard(CBoardModel::Quiet);
    connectDialog();
    QTest::keyClick(m_dlg->m_sliderChannel1, Qt::Key_End);
    confirm("Frequency", 8000);
    QTRY_COMPARE(m_dlg->m_sliderFrequency->value(), 8000);
    QTest::qWait(150);
    QVERIFY(!m_dlg->m_bLinked);
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
    startBoard(CBoardModel::Noisy, false, seed);
    connectDialog();
    QTRY_VERIFY(m_dlg->m_bLinked);
    QTRY_COMPARE(m_dlg->m_sliderFrequency->value(), 1000);
    confirm("Channel1", 12);
    confirm("Channel2", 34);
    confirm("Channel3", 56);
    confirm("Frequency", 7890);
    QTRY_COMPARE(m_board->state().frequency, 7890);
    QCOMPARE(m_board->state().duty[0], 12);
    QCOMPARE(m_board->state().duty[1], 34);
    QCOMPARE(m_board->state().duty[2], 56);
    // The noise never moved a slider away from what the user set.
    QTest::qWait(100);
    QCOMPARE(m_dlg->m_sliderChannel2->value(), 34);
    QCOMPARE(m_dlg->m_sliderFrequency->value(), 7890);
}

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
