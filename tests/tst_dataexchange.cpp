#include "dataexchange.h"
#include "messagerecorder.h"
#include "protocolnumbers.h"
#include "usertexts.h"

#include <QLineEdit>
#include <QTest>
#include <climits>

class tst_DataExchange : public QObject
{
    Q_OBJECT

private slots:
    void editIntegers_data();
    void editIntegers();
    void loadFailureAsksForAnIntegerAndKeepsTheMember();
    void rangeCheckNamesTheRangeAndRunsOnlyWhenLoading();
    void storeLeavesAnUnchangedTextAlone();
};

void tst_DataExchange::editIntegers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "42" << true << 42;
    QTest::newRow("spaces around") << "  42 \t" << true << 42;
    QTest::newRow("plus") << "+7" << true << 7;
    QTest::newRow("minus zero") << "-0" << true << 0;
    QTest::newRow("negative") << "-5" << true << -5;
    QTest::newRow("leading zeros") << "000000000000000000000042" << true << 42;
    QTest::newRow("int max") << "2147483647" << true << INT_MAX;
    QTest::newRow("int min") << "-2147483648" << true << INT_MIN;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("spaces only") << "   " << false << 0;
    QTest::newRow("sign only") << "-" << false << 0;
    QTest::newRow("two signs") << "--5" << false << 0;
    QTest::newRow("inner space") << "4 2" << false << 0;
    QTest::newRow("trailing letter") << "1A" << false << 0;
    QTest::newRow("exponent") << "1e3" << false << 0;
    QTest::newRow("hex") << "0x10" << false << 0;
    QTest::newRow("decimal point") << "2.5" << false << 0;
    QTest::newRow("above int max") << "2147483648" << false << 0;
    QTest::newRow("below int min") << "-2147483649" << false << 0;
    QTest::newRow("arabic-indic three") << QString::fromUtf8("٣") << false << 0;
    QTest::newRow("fullwidth five") << QString::fromUtf8("５") << true << 5;
    QTest::newRow("fullwidth plus, ideographic spaces") << QString::fromUtf8("　＋１２　") << true << 12;
    QTest::newRow("ten thousand digits") << QString(10000, QLatin1Char('9')) << false << 0;
}

void tst_DataExchange::editIntegers()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(int, value);
    int parsed = -12345;
    QCOMPARE(ParseEditInteger(text, parsed), accepted);
    if (accepted)
        QCOMPARE(parsed, value);
    else
        QCOMPARE(parsed, -12345);
}

void tst_DataExchange::loadFailureAsksForAnIntegerAndKeepsTheMember()
{
    MessageRecorder recorder;
    QLineEdit edit(QStringLiteral("abc"));
    int member = 17;
    CDataExchange dx(true, nullptr);
    bool failed = false;
    try {
        DDX_Text(&dx, &edit, member);
    } catch (const CDataExchangeFailure &) {
        failed = true;
    }
    QVERIFY(failed);
    QCOMPARE(member, 17);
    QCOMPARE(recorder.take(), QStringList{UserText::kAskInteger});
    QCOMPARE(edit.selectedText(), QStringLiteral("abc"));
}

void tst_DataExchange::rangeCheckNamesTheRangeAndRunsOnlyWhenLoading()
{
    MessageRecorder recorder;
    CDataExchange store(false, nullptr);
    using namespace Dimra;
    DDV_MinMaxInt(&store, kFrequencyMax + 1, kFrequencyMin, kFrequencyMax); // storing checks nothing
    QVERIFY(recorder.messages.isEmpty());

    CDataExchange load(true, nullptr);
    DDV_MinMaxInt(&load, kFrequencyMin, kFrequencyMin, kFrequencyMax);
    DDV_MinMaxInt(&load, kFrequencyMax, kFrequencyMin, kFrequencyMax);
    QVERIFY(recorder.messages.isEmpty());
    QVERIFY_THROWS_EXCEPTION(CDataExchangeFailure, DDV_MinMaxInt(&load, kFrequencyMin - 1, kFrequencyMin, kFrequencyMax));
    QCOMPARE(recorder.take(), QStringList{UserText::kFrequencyRange});
}

void tst_DataExchange::storeLeavesAnUnchangedTextAlone()
{
    QLineEdit edit(QStringLiteral("40"));
    edit.setCursorPosition(1);
    int member = 40;
    CDataExchange store(false, nullptr);
    DDX_Text(&store, &edit, member);
    QCOMPARE(edit.cursorPosition(), 1);
    member = 41;
    DDX_Text(&store, &edit, member);
    QCOMPARE(edit.text(), QStringLiteral("41"));
}

QTEST_MAIN(tst_DataExchange)
#include "tst_dataexchange.moc"
