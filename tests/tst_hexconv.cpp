#include "hexconv.h"

#include <QTest>
#include <climits>

class tst_HexConv : public QObject
{
    Q_OBJECT

private slots:
    void intToHex_data();
    void intToHex();
    void hexToInt_data();
    void hexToInt();
    void hexCharValue_data();
    void hexCharValue();
    void hexTextToBytes_data();
    void hexTextToBytes();
    void hexTextToBytesKeepsNothingFromAnEarlierUse();
    void decimalLeadingDigits_data();
    void decimalLeadingDigits();
    void receivedByteTextIsTwoUppercaseDigitsAndASpace();
    void byteTextsRoundTrip();
};

void tst_HexConv::intToHex_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero has two digits") << 0 << "00";
    QTest::newRow("5") << 5 << "05";
    QTest::newRow("header 1") << 61 << "3D";
    QTest::newRow("header 2") << 170 << "AA";
    QTest::newRow("231") << 231 << "E7";
    QTest::newRow("255") << 255 << "FF";
    QTest::newRow("256 takes three digits") << 256 << "100";
    QTest::newRow("4095") << 4095 << "FFF";
    QTest::newRow("int max") << INT_MAX << "7FFFFFFF";
    QTest::newRow("-1 as two's complement") << -1 << "FFFFFFFF";
    QTest::newRow("int min") << INT_MIN << "80000000";
}

void tst_HexConv::intToHex()
{
    QFETCH(int, value);
    QFETCH(QString, text);
    QCOMPARE(IntToHex(value), text);
}

void tst_HexConv::hexToInt_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("3D") << "3D" << 61;
    QTest::newRow("AA") << "AA" << 170;
    QTest::newRow("00") << "00" << 0;
    QTest::newRow("01F4") << "01F4" << 500;
    QTest::newRow("space inside") << "1 F" << 31;
    QTest::newRow("spaces around") << " 3D " << 61;
    QTest::newRow("only spaces") << "   " << 0;
    QTest::newRow("0x prefix") << "0x10" << -1;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("lowercase") << "ff" << 255;
    QTest::newRow("uppercase") << "FF" << 255;
    QTest::newRow("mixed case") << "aB" << 171;
    QTest::newRow("G is no digit") << "3G" << -1;
    QTest::newRow("trailing byte-text space") << "C8 " << 200;
    QTest::newRow("eight digits") << "7FFFFFFF" << INT_MAX;
    QTest::newRow("eight F") << "FFFFFFFF" << -1;
    QTest::newRow("nine digits keep the last eight") << "123456789" << 0x23456789;
    QTest::newRow("long text with space") << "1234567 8" << 0x12345678;
    QTest::newRow("non-latin digit") << QString::fromUtf8("٣") << -1;
}

void tst_HexConv::hexToInt()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(HexToInt(text), value);
}

void tst_HexConv::hexCharValue_data()
{
    QTest::addColumn<int>("ch");
    QTest::addColumn<int>("value");
    for (int d = 0; d <= 9; ++d)
        QTest::addRow("digit %d", d) << int('0' + d) << d;
    for (int d = 0; d < 6; ++d) {
        QTest::addRow("upper %c", 'A' + d) << int('A' + d) << 10 + d;
        QTest::addRow("lower %c", 'a' + d) << int('a' + d) << 10 + d;
    }
    // The neighbours of each digit range, and the high half of the byte.
    for (int c : {int('/'), int(':'), int('@'), int('G'), int('`'), int('g'), int(' '), 0, 0x7F, 0x80, 0xB0, 0xFF})
        QTest::addRow("not a digit 0x%02X", c) << c << 16;
}

void tst_HexConv::hexCharValue()
{
    QFETCH(int, ch);
    QFETCH(int, value);
    QCOMPARE(HexCharValue(char(ch)), value);
}

void tst_HexConv::hexTextToBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("three pairs") << "3DAA00" << QByteArray::fromHex("3DAA00");
    QTest::newRow("lone trailing digit dropped") << "3D AA 0" << QByteArray::fromHex("3DAA");
    QTest::newRow("stops at invalid pair") << "3DZZ11" << QByteArray::fromHex("3D");
    QTest::newRow("empty") << "" << QByteArray();
    QTest::newRow("space inside a pair ends it") << "3 D" << QByteArray();
    QTest::newRow("leading and repeated spaces") << "  3D   aa" << QByteArray::fromHex("3DAA");
    QTest::newRow("whole open-link frame") << "3DAA00000000E7" << QByteArray::fromHex("3DAA00000000E7");
    QTest::newRow("invalid low digit") << "3D4G" << QByteArray::fromHex("3D");
    // Characters are narrowed to their low byte: U+0133 reads as '3'.
    QTest::newRow("wide character narrowed") << QString(QChar(0x0133)) + "3D" << QByteArray::fromHex("33");
}

void tst_HexConv::hexTextToBytes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QByteArray out;
    QCOMPARE(HexTextToBytes(text, out), bytes.size());
    QCOMPARE(out, bytes);
}

void tst_HexConv::hexTextToBytesKeepsNothingFromAnEarlierUse()
{
    QByteArray out("stale contents");
    QCOMPARE(HexTextToBytes("", out), 0);
    QVERIFY(out.isEmpty());
    QCOMPARE(HexTextToBytes("0102", out), 2);
    QCOMPARE(out, QByteArray::fromHex("0102"));
}

void tst_HexConv::decimalLeadingDigits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("plain") << "250" << 250;
    QTest::newRow("stops at letter") << "1A" << 1;
    QTest::newRow("letters only") << "AA" << 0;
    QTest::newRow("leading zero letter") << "0A" << 0;
    QTest::newRow("leading white space") << " \t\n42" << 42;
    QTest::newRow("plus sign") << "+7" << 7;
    QTest::newRow("minus sign") << "-5" << -5;
    QTest::newRow("minus zero") << "-0" << 0;
    QTest::newRow("sign then space") << "- 5" << 0;
    QTest::newRow("exponent ignored") << "1e3" << 1;
    QTest::newRow("int max") << "2147483647" << INT_MAX;
    QTest::newRow("just above int max") << "2147483648" << INT_MAX;
    QTest::newRow("int min") << "-2147483648" << INT_MIN;
    QTest::newRow("just below int min") << "-2147483649" << INT_MIN;
    QTest::newRow("very long number") << QString(400, QLatin1Char('9')) << INT_MAX;
    QTest::newRow("very long negative") << "-" + QString(400, QLatin1Char('9')) << INT_MIN;
    QTest::newRow("arabic-indic digit") << QString::fromUtf8("٣") << 0;
    QTest::newRow("fullwidth digit") << QString::fromUtf8("５") << 5;
    QTest::newRow("fullwidth signed, ideographic space") << QString::fromUtf8("　－６０") << -60;
}

void tst_HexConv::decimalLeadingDigits()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(DecimalLeadingDigits(text), value);
}

void tst_HexConv::receivedByteTextIsTwoUppercaseDigitsAndASpace()
{
    QCOMPARE(ReceivedByteText(0x00), QStringLiteral("00 "));
    QCOMPARE(ReceivedByteText(0x3D), QStringLiteral("3D "));
    QCOMPARE(ReceivedByteText(0xAA), QStringLiteral("AA "));
    QCOMPARE(ReceivedByteText(0xFF), QStringLiteral("FF "));
}

void tst_HexConv::byteTextsRoundTrip()
{
    // Every byte survives the trip through its byte text both ways.
    for (int b = 0; b < 256; ++b) {
        const QString text = IntToHex(b);
        QCOMPARE(text.size(), 2);
        QCOMPARE(HexToInt(text), b);
        QCOMPARE(HexToInt(ReceivedByteText(uchar(b))), b);
        QByteArray bytes;
        QCOMPARE(HexTextToBytes(text, bytes), 1);
        QCOMPARE(uchar(bytes.at(0)), uchar(b));
    }
}

QTEST_GUILESS_MAIN(tst_HexConv)
#include "tst_hexconv.moc"
