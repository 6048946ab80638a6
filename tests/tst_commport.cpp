#include "commport.h"
#include "envoverride.h"

#include <QDir>
#include <QFile>
#include <QTest>

Q_DECLARE_METATYPE(QList<DetectedPort>)

class tst_CommPort : public QObject
{
    Q_OBJECT

private slots:
    void adaptersComeFirstSortedByPath();
    void portNumbersCountThroughTheOrderedList();
    void overrideWinsOverDetection_data();
    void overrideWinsOverDetection();
    void overrideComesFromTheEnvironment();
};

void tst_CommPort::adaptersComeFirstSortedByPath()
{
    const QList<DetectedPort> ordered = OrderDetectedPorts({
        {"/dev/ttyS1", "", false},
        {"/dev/ttyUSB1", "", true},
        {"/dev/ttyS0", "", false},
        {"/dev/ttyACM0", "", true},
        {"/dev/ttyUSB0", "", true},
    });
    QStringList paths;
    for (const DetectedPort &p : ordered)
        paths << p.path;
    QCOMPARE(paths, (QStringList{"/dev/ttyACM0", "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS0", "/dev/ttyS1"}));
}

void tst_CommPort::portNumbersCountThroughTheOrderedList()
{
    const QList<DetectedPort> ordered = {{"/dev/ttyUSB0", "USB 串口", true}, {"/dev/ttyS0", "", false}};
    const CommPortTarget com1 = ResolveCommPort(1, ordered, {});
    QCOMPARE(com1.device, QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(com1.description, QStringLiteral("USB 串口"));
    const CommPortTarget com2 = ResolveCommPort(2, ordered, {});
    QCOMPARE(com2.device, QStringLiteral("/dev/ttyS0"));
    QVERIFY(!com2.description.isEmpty()); // a device without a description still says something
    const CommPortTarget com3 = ResolveCommPort(3, ordered, {});
    QVERIFY(com3.device.isEmpty());
    QVERIFY(com3.description.contains(QStringLiteral("DIMRA_COM3")));
}

void tst_CommPort::overrideWinsOverDetection_data()
{
    QTest::addColumn<QByteArray>("override");
    QTest::addColumn<QByteArray>("nativePath");
    const QByteArray cwd = QFile::encodeName(QDir::currentPath());
    QTest::newRow("absolute") << QByteArray("/dev/pts/7") << QByteArray("/dev/pts/7");
    // The file tried is the one the message names, not one below /dev.
    QTest::newRow("relative to the working directory") << QByteArray("relative/dev") << cwd + "/relative/dev";
    // Bytes that are not text reach the system unchanged.
    QTest::newRow("not UTF-8") << QByteArray("/tmp/port\xff") << QByteArray("/tmp/port\xff");
}

void tst_CommPort::overrideWinsOverDetection()
{
    QFETCH(QByteArray, override);
    QFETCH(QByteArray, nativePath);
    const CommPortTarget t = ResolveCommPort(1, {{"/dev/ttyUSB0", "", true}}, override);
    QCOMPARE(t.nativePath, nativePath);
    QCOMPARE(t.device, QFile::decodeName(nativePath));
    QVERIFY(t.description.contains(QStringLiteral("DIMRA_COM1")));
}

void tst_CommPort::overrideComesFromTheEnvironment()
{
    {
        const EnvOverride com12("DIMRA_COM12", "/dev/dimra-test-port");
        QCOMPARE(ResolveCommPort(12).device, QStringLiteral("/dev/dimra-test-port"));
        const QList<CommPortTarget> all = ResolveCommPorts(12);
        QCOMPARE(all.size(), 12);
        QCOMPARE(all.last().device, QStringLiteral("/dev/dimra-test-port"));
    }
    QVERIFY(ResolveCommPort(12).device != QStringLiteral("/dev/dimra-test-port"));
    QCOMPARE(CommPortVariable(12), QStringLiteral("DIMRA_COM12"));
}

QTEST_GUILESS_MAIN(tst_CommPort)
#include "tst_commport.moc"
