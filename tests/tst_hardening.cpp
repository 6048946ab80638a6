#include "dialogfixture.h"
#include "usertexts.h"

#include <QApplication>
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
class tst_Hardening : public QObject, protected DialogFixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void megabyteOfNoiseThenAReplyStillWorks();
    void farEndClosesDuringAFlood();
    void writeWhileTheDeviceIsGone();
    void portWithoutPermission();
    void typedValues_data();
    void typedValues();
};

void tst_Hardening::init()
{
    QVERIFY(openOnPty());
}

void tst_Hardening::cleanup()
{
    close();
}

void tst_Hardening::megabyteOfNoiseThenAReplyStillWorks()
{
    QVERIFY(connectAndLink());
    QByteArray noise(1 << 20, Qt::Uninitialized);
    QRandomGenerator random(20261207);
    random.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    QVERIFY(m_line->write(noise));
    // Whatever replies the noise held, nothing out of range went back. A
    // sanitizer build takes its time over a megabyte.
    QVERIFY(WellFormedAndInRange(framesSent(0, 60000)));

    // An idle line brings the parser back to the start of a reply within
    // the longest reply; then the board is heard again.
    QVERIFY(m_line->write(QByteArray(256, '\0') + CBoardModel::buildReply(1, QByteArray(1, char(42)))));
    QTRY_COMPARE(slider("Channel1")->value(), 42);
    QVERIFY(m_dlg->link().isLinked()); // and so still open
    QTest::keyClick(slider("Channel3"), Qt::Key_End);
    const SentValues sent = framesSent(1);
    QVERIFY(WellFormedAndInRange(sent));
    QVERIFY(sent.contains(qMakePair(3, 100)));
    // Noise can only ever bring validation messages, never an error.
    for (const QString &m : m_messages->take())
        QVERIFY2(m.startsWith(UserText::kValidation), qPrintable(m));
}

void tst_Hardening::farEndClosesDuringAFlood()
{
    QVERIFY(connectAndLink());
    QByteArray noise(256 * 1024, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    QVERIFY(m_line->write(noise.left(200 * 1024)));
    m_line->closeMaster();
    QTRY_VERIFY(!m_dlg->link().isOpen());
    QVERIFY(settle());
    QStringList errors;
    for (const QString &m : m_messages->take())
        if (!m.startsWith(UserText::kValidation))
            errors << m;
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors.first().contains(UserText::kLinkLost));
    QCOMPARE(connectButton()->text(), UserText::kConnect);
    QVERIFY(!slider("Frequency")->isEnabled());
}

void tst_Hardening::writeWhileTheDeviceIsGone()
{
    QVERIFY(connectAndLink());
    m_line->closeMaster();
    // The slider's frame may meet the vanished device before the read side
    // notices, or after: either way the user hears of it once.
    slider("Channel2")->setValue(50);
    QTest::keyClick(slider("Frequency"), Qt::Key_End);
    QTRY_VERIFY(!m_dlg->link().isOpen());
    QVERIFY(settle());
    QCOMPARE(m_messages->messages.size(), 1);
    QVERIFY(m_messages->messages.first().contains(UserText::kLinkLost));
    QCOMPARE(connectButton()->text(), UserText::kConnect);
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
    QVERIFY(!m_dlg->link().isOpen());
}

void tst_Hardening::typedValues_data()
{
    QTest::addColumn<QByteArray>("row");
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("message");

    const QString &integer = UserText::kAskInteger;
    const QString &channelRange = UserText::kChannelRange;
    const QString &frequencyRange = UserText::kFrequencyRange;
    const QString tenThousandNines(10000, QLatin1Char('9'));
    const QString tenThousandLetters(10000, QLatin1Char('x'));

    // The confirm button moves the slider to a number in the row's range,
    // and the slider's redraw sends it. Anything else is refused with one
    // message, and nothing moves: the slider, the value and the board stay
    // where they were (position is the start).
    struct Case { const char *tag; const char *row; int start; QString text; int position; QString message; };
    const QList<Case> cases = {
        {"200", "Channel1", 30, "200", 30, channelRange},
        {"-5", "Channel3", 30, "-5", 30, channelRange},
        {"1A", "Channel1", 30, "1A", 30, integer},
        {"empty", "Channel2", 30, "", 30, integer},
        {"spaces", "Channel2", 30, "   ", 30, integer},
        {"plus seven", "Channel2", 30, "+7", 7, QString()},
        {"minus zero", "Channel2", 30, "-0", 0, QString()},
        {"arabic-indic three", "Channel2", 30, QString::fromUtf8("٣"), 30, integer},
        {"ten thousand nines", "Channel2", 30, tenThousandNines, 30, integer},
        {"ten thousand letters", "Channel2", 30, tenThousandLetters, 30, integer},
        {"2147483648", "Channel2", 30, "2147483648", 30, integer},
        {"-2147483649", "Channel2", 30, "-2147483649", 30, integer},
        {"1e3", "Channel2", 30, "1e3", 30, integer},
        {"spaced 50", "Channel2", 30, " 50 ", 50, QString()},
        {"frequency 5000", "Frequency", 1000, "5000", 5000, QString()},
        {"frequency 10", "Frequency", 1000, "10", 1000, frequencyRange},
        {"frequency 24", "Frequency", 1000, "24", 1000, frequencyRange},
        {"frequency with trailing text", "Frequency", 25, " 1500Hz", 25, integer},
        {"frequency empty", "Frequency", 1000, "", 1000, integer},
        {"frequency plus seven", "Frequency", 1000, "+7", 1000, frequencyRange},
        {"frequency minus zero", "Frequency", 1000, "-0", 1000, frequencyRange},
        {"frequency arabic-indic three", "Frequency", 1000, QString::fromUtf8("٣"), 1000, integer},
        {"frequency ten thousand nines", "Frequency", 1000, tenThousandNines, 1000, integer},
        {"frequency 2147483648", "Frequency", 1000, "2147483648", 1000, integer},
        {"frequency 1e3", "Frequency", 1000, "1e3", 1000, integer},
        {"frequency 150001", "Frequency", 1000, "150001", 1000, frequencyRange},
        // At the end of the range, where the slider once clamped in place.
        {"frequency 1e3 at 25", "Frequency", 25, "1e3", 25, integer},
        {"250 at 100", "Channel1", 100, "250", 100, channelRange},
        // Full-width digits, signs and spaces mean what their ASCII forms mean.
        {"full-width 60", "Channel2", 30, QString::fromUtf8("　６０"), 60, QString()},
        {"full-width minus 5", "Channel2", 30, QString::fromUtf8("－５"), 30, channelRange},
        // The very number the slider holds: nothing moves, nothing is sent,
        // the typed text stays.
        {"30 at 30", "Channel2", 30, "30", 30, QString()},
    };
    for (const Case &c : cases)
        QTest::newRow(c.tag) << QByteArray(c.row) << c.start << c.text << c.position << c.message;
}

void tst_Hardening::typedValues()
{
    QFETCH(QByteArray, row);
    QFETCH(int, start);
    QFETCH(QString, text);
    QFETCH(int, position);
    QFETCH(QString, message);

    QVERIFY(connectAndLink());
    auto *slider = control<QSlider>("slider" + row);
    const bool moves = start != slider->value();
    slider->setValue(start);
    QVERIFY(WellFormedAndInRange(framesSent(moves ? 1 : 0)));

    typeAndConfirm(row, text);
    QCOMPARE(slider->value(), position);
    auto *edit = control<QLineEdit>("edit" + row);
    const int code = row == "Frequency" ? int(CDimraProtocol::CmdFrequency) : row.right(1).toInt();
    if (position == start) {
        // Nothing sent; a refused text waits in its edit, selected, for correcting.
        QCOMPARE(framesSent(), SentValues{});
        QCOMPARE(m_messages->take(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(edit->text(), text);
        if (!message.isEmpty()) {
            QCOMPARE(QApplication::focusWidget(), edit);
            QCOMPARE(edit->selectedText(), text);
        }
        return;
    }
    QCOMPARE(framesSent(1), (SentValues{{code, position}}));
    QVERIFY(m_messages->messages.isEmpty());
    QCOMPARE(edit->text(), QString::number(position));

    // Every slider redraws once more; still nothing out of range goes out.
    for (const char *other : {"Frequency", "Channel1", "Channel2", "Channel3"}) {
        auto *s = control<QSlider>(QByteArray("slider") + other);
        QTest::keyClick(s, s->value() == s->maximum() ? Qt::Key_Left : Qt::Key_Right);
    }
    const SentValues redrawn = framesSent(4);
    QVERIFY(WellFormedAndInRange(redrawn));
    QCOMPARE(redrawn.size(), 4);
    QVERIFY(m_messages->messages.isEmpty());
}

QTEST_MAIN(tst_Hardening)
#include "tst_hardening.moc"
