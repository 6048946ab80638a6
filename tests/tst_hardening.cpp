#include "boardmodel.h"
#include "dimradlg.h"
#include "framereader.h"
#include "messagerecorder.h"
#include "ptypair.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSlider>
#include <QTest>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

// What the line and the keyboard can throw at the dialog: floods of noise,
// a device that vanishes mid-flood or mid-write, and any text in the edits.
// Nothing may crash, nothing out of range may reach the board, and the
// dialog must still work afterwards.
class tst_Hardening : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void megabyteOfNoiseThenAReplyStillWorks();
    void farEndClosesDuringAFlood();
    void writeWhileTheDeviceIsGone();
    void portWithoutPermission();
    void anyTextInAnEdit_data();
    void anyTextInAnEdit();

private:
    template <typename T> T *control(const QByteArray &name) const { return m_dlg->findChild<T *>(QLatin1String(name)); }
    void connectAndLink();
    // Reads what the dialog wrote and checks every frame carries a value in range.
    QList<QPair<int, int>> framesSent(int waitMs);

    std::unique_ptr<PtyPair> m_line;
    std::unique_ptr<MessageRecorder> m_messages;
    std::unique_ptr<CMyDimraDlg> m_dlg;
    CFrameReader m_reader;
};

void tst_Hardening::init()
{
    m_line = std::make_unique<PtyPair>();
    qputenv("DIMRA_COM1", m_line->slavePath().toLocal8Bit());
    m_messages = std::make_unique<MessageRecorder>();
    m_dlg = std::make_unique<CMyDimraDlg>();
    m_dlg->show();
    m_reader = CFrameReader();
}

void tst_Hardening::cleanup()
{
    m_dlg.reset();
    m_messages.reset();
    m_line.reset();
    qunsetenv("DIMRA_COM1");
}

void tst_Hardening::connectAndLink()
{
    QTest::mouseClick(control<QPushButton>("buttonConnect"), Qt::LeftButton);
    QVERIFY(m_line->write(CBoardModel::BuildReply(1, QByteArray(1, '\0'))));
    QTRY_VERIFY(m_dlg->m_bLinked);
    QCOMPARE(framesSent(20), (QList<QPair<int, int>>{{0, 0}}));
}

QList<QPair<int, int>> tst_Hardening::framesSent(int waitMs)
{
    QTest::qWait(waitMs);
    QList<QPair<int, int>> values;
    for (const CFrameReader::Frame &f : m_reader.Feed(m_line->read(0, 20))) {
        if (f.verdict != CFrameReader::Good) {
            QTest::qFail("the dialog wrote a malformed frame", __FILE__, __LINE__);
            continue;
        }
        const int value = f.code == 0 ? 0 : CBoardModel::DecodeValue(f.code, f.data);
        const bool inRange = f.code == 0 || (f.code == 4 ? value >= 25 && value <= 150000 : value >= 0 && value <= 100);
        if (!inRange)
            QTest::qFail(qPrintable(QStringLiteral("value %1 for code %2 sent").arg(value).arg(f.code)), __FILE__, __LINE__);
        values.append({f.code, value});
    }
    return values;
}

void tst_Hardening::megabyteOfNoiseThenAReplyStillWorks()
{
    connectAndLink();
    QByteArray noise(1 << 20, Qt::Uninitialized);
    QRandomGenerator random(20261207);
    random.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    QVERIFY(m_line->write(noise));
    framesSent(100); // whatever replies the noise held, nothing out of range went back

    // An idle line brings the parser back to the start of a reply within
    // the longest reply; then the board is heard again.
    QVERIFY(m_line->write(QByteArray(256, '\0') + CBoardModel::BuildReply(1, QByteArray(1, char(42)))));
    QTRY_COMPARE(m_dlg->m_sliderChannel1->value(), 42);
    QVERIFY(m_dlg->m_bLinked);
    QVERIFY(m_dlg->m_comm.get_PortOpen());
    QTest::keyClick(m_dlg->m_sliderChannel3, Qt::Key_End);
    QVERIFY(framesSent(100).contains(qMakePair(3, 100)));
    // Noise can only ever bring validation messages, never an error.
    for (const QString &m : m_messages->take())
        QVERIFY2(m.startsWith(QStringLiteral("请输入")), qPrintable(m));
}

void tst_Hardening::farEndClosesDuringAFlood()
{
    connectAndLink();
    QByteArray noise(256 * 1024, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    QVERIFY(m_line->write(noise.left(200 * 1024)));
    m_line->closeMaster();
    QTRY_VERIFY(!m_dlg->m_comm.get_PortOpen());
    QTest::qWait(200);
    QStringList errors;
    for (const QString &m : m_messages->take())
        if (!m.startsWith(QStringLiteral("请输入")))
            errors << m;
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors.first().contains(QStringLiteral("中断")));
    QCOMPARE(control<QPushButton>("buttonConnect")->text(), QStringLiteral("连接光源控制器"));
    QVERIFY(!m_dlg->m_bLinked);
    QVERIFY(!m_dlg->m_sliderFrequency->isEnabled());
}

void tst_Hardening::writeWhileTheDeviceIsGone()
{
    connectAndLink();
    m_line->closeMaster();
    // The slider's frame may meet the vanished device before the read side
    // notices, or after: either way the user hears of it once.
    m_dlg->m_sliderChannel2->setValue(50);
    QTest::keyClick(m_dlg->m_sliderFrequency, Qt::Key_End);
    QTRY_VERIFY(!m_dlg->m_comm.get_PortOpen());
    QTest::qWait(200);
    QCOMPARE(m_messages->messages.size(), 1);
    QVERIFY(m_messages->messages.first().contains(QStringLiteral("中断")));
    QCOMPARE(control<QPushButton>("buttonConnect")->text(), QStringLiteral("连接光源控制器"));
    QVERIFY(!m_dlg->m_bLinked);
}

void tst_Hardening::portWithoutPermission()
{
    if (::geteuid() == 0)
        QSKIP("root may open any device; the permission case needs a normal user");
    const QByteArray path = QFile::encodeName(m_line->slavePath());
    struct stat st;
    QCOMPARE(::stat(path.constData(), &st), 0);
    QCOMPARE(::chmod(path.constData(), 0), 0);
    QTest::mouseClick(control<QPushButton>("buttonConnect"), Qt::LeftButton);
    ::chmod(path.constData(), st.st_mode & 07777);
    QCOMPARE(m_messages->messages.size(), 1);
    QVERIFY2(m_messages->messages.first().contains(QStringLiteral("没有权限")), qPrintable(m_messages->messages.first()));
    QVERIFY(m_messages->messages.first().contains(QStringLiteral("usermod")));
    QVERIFY(!m_dlg->m_comm.get_PortOpen());
}

void tst_Hardening::anyTextInAnEdit_data()
{
    QTest::addColumn<QByteArray>("row");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("message");

    const QString integer = QStringLiteral("请输入一个整数。");
    const QString channelRange = QStringLiteral("请输入一个介于 0 和 100 之间的整数。");
    const QString frequencyRange = QStringLiteral("请输入一个介于 25 和 150000 之间的整数。");
    const QString tenThousandNines(10000, QLatin1Char('9'));
    const QString tenThousandLetters(10000, QLatin1Char('x'));

    const QList<std::tuple<const char *, QString, int, QString>> channel = {
        {"empty", "", 0, integer},
        {"spaces", "   ", 0, integer},
        {"plus seven", "+7", 7, QString()},
        {"minus zero", "-0", 0, QString()},
        {"arabic-indic three", QString::fromUtf8("٣"), 0, integer},
        {"ten thousand nines", tenThousandNines, 100, integer},
        {"ten thousand letters", tenThousandLetters, 0, integer},
        {"2147483648", "2147483648", 100, integer},
        {"-2147483649", "-2147483649", 0, integer},
        {"1e3", "1e3", 1, integer},
        {"spaced 50", " 50 ", 50, QString()},
        {"negative", "-12", 0, channelRange},
    };
    for (const auto &[tag, text, position, message] : channel)
        QTest::addRow("channel 2, %s", tag) << QByteArray("Channel2") << text << position << message;

    const QList<std::tuple<const char *, QString, int, QString>> frequency = {
        {"empty", "", 25, integer},
        {"plus seven", "+7", 25, frequencyRange},
        {"minus zero", "-0", 25, frequencyRange},
        {"arabic-indic three", QString::fromUtf8("٣"), 25, integer},
        {"ten thousand nines", tenThousandNines, 150000, integer},
        {"2147483648", "2147483648", 150000, integer},
        {"1e3", "1e3", 25, integer},
        {"spaced 50", " 50 ", 50, QString()},
        {"150001", "150001", 150000, frequencyRange},
    };
    for (const auto &[tag, text, position, message] : frequency)
        QTest::addRow("frequency, %s", tag) << QByteArray("Frequency") << text << position << message;
}

void tst_Hardening::anyTextInAnEdit()
{
    QFETCH(QByteArray, row);
    QFETCH(QString, text);
    QFETCH(int, position);
    QFETCH(QString, message);

    connectAndLink();
    auto *slider = control<QSlider>("slider" + row);
    slider->setValue(row == "Frequency" ? 1000 : 30);
    framesSent(30);

    control<QLineEdit>("edit" + row)->setText(text);
    QTest::mouseClick(control<QPushButton>("buttonConfirm" + row), Qt::LeftButton);
    QCOMPARE(slider->value(), position);
    const int code = row == "Frequency" ? 4 : 2;
    QCOMPARE(framesSent(100), (QList<QPair<int, int>>{{code, position}}));
    QCOMPARE(m_messages->take(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(control<QLineEdit>("edit" + row)->text(), QString::number(position));

    // Every other slider redraws too; still nothing out of range goes out.
    for (const char *other : {"Frequency", "Channel1", "Channel2", "Channel3"}) {
        auto *s = control<QSlider>(QByteArray("slider") + other);
        QTest::keyClick(s, s->value() == s->maximum() ? Qt::Key_Left : Qt::Key_Right);
    }
    QCOMPARE(framesSent(100).size(), 4);
    QVERIFY(m_messages->messages.isEmpty());
}

QTEST_MAIN(tst_Hardening)
#include "tst_hardening.moc"
