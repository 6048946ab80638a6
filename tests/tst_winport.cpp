#include "commport.h"
#include "consoletext.h"
#include "opendiagnosis.h"
#include "usertexts.h"

#include <QTest>

#include <windows.h>

// The Windows port's own rules: how a port is named in the list, what
// Windows' errors mean for an open, a read or a write, and how text reaches
// a standard stream.
class tst_WinPort : public QObject
{
    Q_OBJECT

private slots:
    void entryNamesThePortAsTheDeviceManagerDoes_data();
    void entryNamesThePortAsTheDeviceManagerDoes();
    void errorsSayWhatHappenedToThePort_data();
    void errorsSayWhatHappenedToThePort();
    void onlyAConsoleTakesUtf16_data();
    void onlyAConsoleTakesUtf16();
};

void tst_WinPort::entryNamesThePortAsTheDeviceManagerDoes_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("friendlyName");
    QTest::addColumn<QString>("entry");
    QTest::newRow("adapter") << 3 << true << "USB-SERIAL CH340 (COM3)" << "COM3  USB-SERIAL CH340";
    QTest::newRow("long name, first word") << 12 << true << "Silicon Labs CP210x USB to UART Bridge (COM12)"
                                           << "COM12  Silicon";
    QTest::newRow("another number's suffix stays") << 3 << true << "Gadget (COM31)" << "COM3  Gadget (COM31)";
    QTest::newRow("port without a friendly name") << 1 << true << "" << "COM1";
    QTest::newRow("nothing answers") << 4 << false << "" << "COM4  （无设备）";
}

void tst_WinPort::entryNamesThePortAsTheDeviceManagerDoes()
{
    QFETCH(int, n);
    QFETCH(bool, present);
    QFETCH(QString, friendlyName);
    QFETCH(QString, entry);
    const CommPortTarget target = WindowsCommPortTarget(n, present, friendlyName);
    QCOMPARE(CommPortEntryText(n, target), entry);
    // A port that is there opens by its own name; one that is not, not at all.
    QCOMPARE(target.device, present ? QStringLiteral("COM%1").arg(n) : QString());
    QCOMPARE(target.identity, target.device);
}

void tst_WinPort::errorsSayWhatHappenedToThePort_data()
{
    QTest::addColumn<quint32>("error");
    QTest::addColumn<int>("kind"); // of a refused open
    QTest::addColumn<QString>("words");
    QTest::addColumn<bool>("gone"); // after a failed read or write
    QTest::newRow("no such port") << quint32(ERROR_FILE_NOT_FOUND) << int(CSerialError::NoSuchDevice) << "COM7" << true;
    QTest::newRow("nothing linked under Wine") << quint32(ERROR_BAD_DEV_TYPE) << int(CSerialError::NoSuchDevice)
                                               << "COM7" << false;
    QTest::newRow("held by another program") << quint32(ERROR_ACCESS_DENIED) << int(CSerialError::InUse)
                                             << UserText::kInUse << true;
    QTest::newRow("no line settings") << quint32(ERROR_NOT_SUPPORTED) << int(CSerialError::NotSerial) << "COM7"
                                      << false;
    QTest::newRow("adapter pulled out") << quint32(ERROR_DEVICE_REMOVED) << int(CSerialError::Failed) << "COM7"
                                        << true;
    QTest::newRow("far end hung up") << quint32(ERROR_BROKEN_PIPE) << int(CSerialError::Failed) << "COM7" << true;
    QTest::newRow("a read that timed out") << quint32(ERROR_TIMEOUT) << int(CSerialError::Failed) << "COM7" << false;
}

void tst_WinPort::errorsSayWhatHappenedToThePort()
{
    QFETCH(quint32, error);
    QFETCH(int, kind);
    QFETCH(QString, words);
    QFETCH(bool, gone);
    const CSerialError refused =
        DiagnoseOpenFailure(QStringLiteral("COM7"), "COM7", int(error), QStringLiteral("system text"), QString());
    QCOMPARE(int(refused.kind()), kind);
    QVERIFY2(refused.text().contains(words), qPrintable(refused.text()));
    QCOMPARE(refused.details(), QStringLiteral("system text"));
    QCOMPARE(DeviceGoneError(error), gone);
}

void tst_WinPort::onlyAConsoleTakesUtf16_data()
{
    QTest::addColumn<quint32>("fileType");
    QTest::addColumn<bool>("consoleMode");
    QTest::addColumn<bool>("utf16");
    QTest::newRow("console") << quint32(FILE_TYPE_CHAR) << true << true;
    QTest::newRow("NUL, a character device with no console") << quint32(FILE_TYPE_CHAR) << false << false;
    QTest::newRow("pipe") << quint32(FILE_TYPE_PIPE) << false << false;
    QTest::newRow("file") << quint32(FILE_TYPE_DISK) << false << false;
}

void tst_WinPort::onlyAConsoleTakesUtf16()
{
    QFETCH(quint32, fileType);
    QFETCH(bool, consoleMode);
    QFETCH(bool, utf16);
    QCOMPARE(TextWayFor(fileType, consoleMode), utf16 ? TextWay::ConsoleUtf16 : TextWay::Utf8Bytes);
}

QTEST_GUILESS_MAIN(tst_WinPort)
#include "tst_winport.moc"
