#include "boardmodel.h"
#include "boardoptions.h"
#include "boardserver.h"
#include "envoverride.h"
#include "ordinaryuser.h"
#include "usertexts.h"

#include <QFileInfo>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

// The dimra-board program itself, as a user starts it, and its server
// in-process where what matters is what it does on the line.
class tst_BoardProgram : public QObject
{
    Q_OBJECT

private slots:
    void printsItsDeviceAndAnswersOpenLink();
    void refusesOptionsItCannotRun_data();
    void refusesOptionsItCannotRun();
    void refusalEndsBeforeServing_data();
    void refusalEndsBeforeServing();
    void stdioModeEndsWithItsInput();
    void linkNeverTakesAnExistingPath_data();
    void linkNeverTakesAnExistingPath();
    void linkIsRemovedOnSignalOnlyWhileItIsTheBoards();
    void stdioSendsAllItOwesAndEndsOnSignals_data();
    void stdioSendsAllItOwesAndEndsOnSignals();
    void answersOwedToAHostThatLeftAreDropped();
    void aKilledHostLeavesThePortToTheNextUser();
    void speaksOneLanguage();

private:
    // The board's messages as a Chinese user reads them; speaksOneLanguage
    // runs it in English.
    const EnvOverride m_language{"LANGUAGE", "zh_CN"};
};

namespace {

const QByteArray kOpenLink = QByteArray::fromHex("3DAA00000000E7");
const QByteArray kReport = QByteArray::fromHex("3DAA0001000100E9" "3DAA0002000100EA" "3DAA0003000100EB"
                                               "3DAA00040003010000EF");

// Reads from fd while the event loop runs, until count bytes or the timeout.
QByteArray readFd(int fd, int count, int timeoutMs)
{
    QByteArray out;
    QDeadlineTimer deadline(timeoutMs);
    while (out.size() < count && !deadline.hasExpired()) {
        QCoreApplication::processEvents();
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 20) > 0) {
            char buf[256];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0)
                out.append(buf, n);
        }
    }
    return out;
}

// Opens the board's device as a host does, raw; -1 if it cannot.
int openPort(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios tio;
    if (fd >= 0 && ::tcgetattr(fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

// Starts the board on a pseudo-terminal; returns the device it prints.
QString startBoard(QProcess *board, const QStringList &arguments, bool asOrdinaryUser = false)
{
    if (asOrdinaryUser) {
        const QStringList command = AsOrdinaryUser(QStringLiteral(DIMRA_BOARD_PROGRAM), arguments);
        board->start(command.first(), command.mid(1));
    } else {
        board->start(QStringLiteral(DIMRA_BOARD_PROGRAM), arguments);
    }
    QString device;
    QDeadlineTimer deadline(5000);
    while (device.isEmpty() && !deadline.hasExpired() && board->state() != QProcess::NotRunning) {
        board->waitForReadyRead(100);
        while (board->canReadLine()) {
            const QString line = QString::fromLocal8Bit(board->readLine()).trimmed();
            if (line.startsWith(QLatin1String("DIMRA_COM1=")))
                device = line.mid(11);
        }
    }
    return device;
}

// What is at path, as far as a user would notice a change.
QString describe(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink())
        return QStringLiteral("link to ") + info.symLinkTarget();
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QStringLiteral("file: ") + QString::fromUtf8(file.readAll())
                                          : QStringLiteral("nothing");
}

// A timer or an armed write notifier under the server would wake it.
bool wakesWhileIdle(const CBoardServer &server)
{
    for (const QTimer *timer : server.findChildren<QTimer *>())
        if (timer->isActive())
            return true;
    for (const QSocketNotifier *notifier : server.findChildren<QSocketNotifier *>())
        if (notifier->type() == QSocketNotifier::Write && notifier->isEnabled())
            return true;
    return false;
}

} // namespace

void tst_BoardProgram::printsItsDeviceAndAnswersOpenLink()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("com1"));
    QProcess board;
    const QString device = startBoard(&board, {QStringLiteral("--no-pacing"), QStringLiteral("--link"), link});
    QVERIFY(device.startsWith(QLatin1String("/dev/pts/")));
    QCOMPARE(QFileInfo(link).symLinkTarget(), device);

    const int fd = openPort(link);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, kOpenLink.constData(), size_t(kOpenLink.size())), ssize_t(kOpenLink.size()));
    QCOMPARE(readFd(fd, int(kReport.size()), 3000).toHex(' '), kReport.toHex(' '));
    ::close(fd);

    board.terminate(); // SIGTERM
    QVERIFY(board.waitForFinished(3000));
    QCOMPARE(board.exitStatus(), QProcess::NormalExit);
    QCOMPARE(board.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
}

void tst_BoardProgram::stdioModeEndsWithItsInput()
{
    QProcess board;
    board.start(QStringLiteral(DIMRA_BOARD_PROGRAM),
                {QStringLiteral("--stdio"), QStringLiteral("--no-pacing"), QStringLiteral("--trace"),
                 QStringLiteral("--mode"), QStringLiteral("echo")});
    QVERIFY(board.waitForStarted());
    // Garbage, a frame with a bad checksum, then a good one, in two pieces.
    board.write(QByteArray::fromHex("0102 3DAA000300010A00 3DAA0003"));
    board.write(QByteArray::fromHex("00010AF5"));
    board.closeWriteChannel();
    QVERIFY(board.waitForFinished(3000));
    QCOMPARE(board.exitCode(), 0);
    QCOMPARE(board.readAllStandardOutput(), QByteArray::fromHex("3DAA000300010AF5"));
    const QString log = QString::fromLocal8Bit(board.readAllStandardError());
    QVERIFY2(log.contains(QStringLiteral("通道3 10 %")), qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("丢弃 1 帧")), qPrintable(log));
    // The trace shows each frame in hex with its meaning and verdict.
    QVERIFY2(log.contains(QStringLiteral("收 3D AA 00 03 00 01 0A 00  校验和错误，已丢弃")), qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("收 3D AA 00 03 00 01 0A F5  设置通道3 = 10 %，校验正确")), qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("发 3D AA 00 03 00 01 0A F5  报告通道3 = 10 %")), qPrintable(log));
}

void tst_BoardProgram::refusesOptionsItCannotRun_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("named"); // in the error
    QTest::newRow("unknown mode") << QStringList{"--mode", "loud"} << "\"loud\"";
    QTest::newRow("seed not a number") << QStringList{"--seed", "abc"} << "\"abc\"";
    QTest::newRow("seed below 0") << QStringList{"--seed", "-1"} << "--seed";
    QTest::newRow("seed above 32 bits") << QStringList{"--seed", "4294967296"} << "--seed";
    QTest::newRow("seed without its value") << QStringList{"--seed"} << "--seed";
    QTest::newRow("empty link") << QStringList{"--link", ""} << "--link";
    QTest::newRow("link with stdio") << QStringList{"--stdio", "--link", "com1"} << "--link";
    QTest::newRow("mode twice") << QStringList{"--mode", "echo", "--mode", "quiet"} << "--mode";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << "--bogus";
    QTest::newRow("stray argument") << QStringList{"echo"} << "\"echo\"";
}

void tst_BoardProgram::refusesOptionsItCannotRun()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, named);
    const BoardParse parse = ParseBoardArguments(QStringList{QStringLiteral("dimra-board")} + arguments);
    QCOMPARE(parse.outcome, CCommandLine::Error);
    QVERIFY2(parse.error.contains(named), qPrintable(parse.error));
}

void tst_BoardProgram::refusalEndsBeforeServing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("stdinClosed");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("named"); // in the message
    QTest::newRow("unknown mode") << QStringList{"--mode", "loud"} << false << 2
                                  << QStringLiteral("--mode：未知模式“loud”");
    QTest::newRow("stdio with standard input closed") << QStringList{"--stdio"} << true << 1
                                                       << QStringLiteral("标准输入已关闭");
}

void tst_BoardProgram::refusalEndsBeforeServing()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, stdinClosed);
    QFETCH(int, status);
    QFETCH(QString, named);
    QProcess board;
    if (stdinClosed)
        board.setChildProcessModifier([] { ::close(STDIN_FILENO); });
    board.start(QStringLiteral(DIMRA_BOARD_PROGRAM), arguments);
    QVERIFY(board.waitForFinished(3000));
    QCOMPARE(board.exitStatus(), QProcess::NormalExit);
    QCOMPARE(board.exitCode(), status);
    const QString message = QString::fromLocal8Bit(board.readAllStandardError());
    QVERIFY2(message.startsWith(QStringLiteral("dimra-board: ")) && message.contains(named), qPrintable(message));
    QCOMPARE(board.readAllStandardOutput(), QByteArray()); // it never began to serve
}

void tst_BoardProgram::linkNeverTakesAnExistingPath_data()
{
    QTest::addColumn<QString>("existing");
    // A dangling link is what a check for an existing file would miss, and
    // what a link replaced in place would lose like any other entry.
    for (const char *existing : {"dangling link", "another board's link"})
        QTest::newRow(existing) << QString::fromLatin1(existing);
}

void tst_BoardProgram::linkNeverTakesAnExistingPath()
{
    QFETCH(QString, existing);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("com1"));
    QFile file(dir.filePath(QStringLiteral("mine")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("the user's") > 0);
    file.close();
    QProcess first;
    if (existing == QLatin1String("dangling link"))
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), path));
    else
        QVERIFY(!startBoard(&first, {QStringLiteral("--link"), path}).isEmpty());
    const QString before = describe(path);

    QProcess board;
    board.start(QStringLiteral(DIMRA_BOARD_PROGRAM), {QStringLiteral("--link"), path});
    QVERIFY(board.waitForFinished(3000));
    QCOMPARE(board.exitCode(), 1);
    const QString message = QString::fromLocal8Bit(board.readAllStandardError());
    QVERIFY2(message.contains(path + QStringLiteral(" 已存在")), qPrintable(message));
    QCOMPARE(describe(path), before);
    QCOMPARE(describe(file.fileName()), QStringLiteral("file: the user's"));

    if (first.state() == QProcess::Running) {
        first.terminate();
        QVERIFY(first.waitForFinished(3000));
        QCOMPARE(describe(path), QStringLiteral("nothing")); // the first board took its own link away
    }
}

void tst_BoardProgram::linkIsRemovedOnSignalOnlyWhileItIsTheBoards()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("com1"));
    QProcess board;
    const QString device = startBoard(&board, {QStringLiteral("--link"), path});
    QCOMPARE(describe(path), QStringLiteral("link to ") + device);
    const QString mine = dir.filePath(QStringLiteral("mine"));
    QVERIFY(QFile::remove(path) && QFile::link(mine, path)); // the user's, now

    ::kill(pid_t(board.processId()), SIGHUP);
    QVERIFY(board.waitForFinished(3000));
    QCOMPARE(board.exitStatus(), QProcess::NormalExit);
    QCOMPARE(board.exitCode(), 0);
    QCOMPARE(describe(path), QStringLiteral("link to ") + mine);
}

void tst_BoardProgram::stdioSendsAllItOwesAndEndsOnSignals_data()
{
    QTest::addColumn<int>("signal"); // 0: the input ends instead
    QTest::newRow("end of input") << 0;
    QTest::newRow("SIGINT, input open") << SIGINT;
}

void tst_BoardProgram::stdioSendsAllItOwesAndEndsOnSignals()
{
    QFETCH(int, signal);
    QProcess board;
    board.start(QStringLiteral(DIMRA_BOARD_PROGRAM), {QStringLiteral("--stdio")}); // paced
    QVERIFY(board.waitForStarted());
    board.write(kOpenLink);
    QByteArray out;
    if (signal == 0) {
        board.closeWriteChannel(); // the four answers are still owed
    } else {
        QDeadlineTimer deadline(3000);
        while (out.size() < kReport.size() && !deadline.hasExpired()) {
            board.waitForReadyRead(100);
            out += board.readAllStandardOutput();
        }
        QCOMPARE(out.toHex(' '), kReport.toHex(' '));
        ::kill(pid_t(board.processId()), signal);
    }
    QVERIFY(board.waitForFinished(3000));
    QCOMPARE(board.exitStatus(), QProcess::NormalExit);
    QCOMPARE(board.exitCode(), 0);
    out += board.readAllStandardOutput();
    QCOMPARE(out.toHex(' '), kReport.toHex(' '));
}

void tst_BoardProgram::answersOwedToAHostThatLeftAreDropped()
{
    CBoardModel model(CBoardModel::Echo);
    CBoardServer server(&model); // paced
    QString error;
    QVERIFY2(server.openPty(&error), qPrintable(error));
    int host = openPort(server.devicePath());
    QVERIFY(host >= 0);

    // 200 echo answers are 1600 bytes, more than a second of line time.
    const QByteArray setChannel3 = QByteArray::fromHex("3DAA000300010AF5");
    QCOMPARE(::write(host, setChannel3.repeated(200).constData(), 1600), ssize_t(1600));
    QTRY_COMPARE(model.reader().goodFrames(), 200);
    QVERIFY(server.pendingBytes() <= CBoardServer::kQueueLimit);
    QVERIFY(server.droppedAnswers() > 0);
    QVERIFY(readFd(host, 1, 2000).startsWith(setChannel3.left(1))); // answers are flowing

    ::close(host);
    const qint64 droppedBefore = server.droppedAnswers();
    QTRY_COMPARE(server.pendingBytes(), 0);
    QVERIFY(server.droppedAnswers() > droppedBefore);
    QCoreApplication::processEvents();
    QVERIFY(!wakesWhileIdle(server));

    // The next host gets nothing meant for the last, then its own answers.
    host = openPort(server.devicePath());
    QVERIFY(host >= 0);
    QCoreApplication::processEvents();
    char byte;
    QCOMPARE(::read(host, &byte, 1), ssize_t(-1));
    QCOMPARE(::write(host, kOpenLink.constData(), size_t(kOpenLink.size())), ssize_t(kOpenLink.size()));
    QCOMPARE(readFd(host, int(kReport.size()), 3000).toHex(' '),
             QByteArray::fromHex("3DAA0001000100E9" "3DAA0002000100EA" "3DAA000300010AF5" "3DAA00040003010000EF")
                 .toHex(' '));
    QCoreApplication::processEvents();
    QVERIFY(!wakesWhileIdle(server)); // all sent, nothing runs
    ::close(host);
}

void tst_BoardProgram::aKilledHostLeavesThePortToTheNextUser()
{
    // Board and hosts as an ordinary user, for whom an exclusive open counts.
    QProcess board;
    const QByteArray device = QFile::encodeName(startBoard(&board, {QStringLiteral("--no-pacing")}, true));
    QVERIFY(device.startsWith("/dev/pts/"));

    // A host holding the port exclusively is killed: nothing of its own closes it.
    const pid_t host = ForkAsOrdinaryUser([&] {
        const int fd = ::open(device.constData(), O_RDWR | O_NOCTTY);
        if (fd < 0 || ::ioctl(fd, TIOCEXCL) != 0
            || ::write(fd, kOpenLink.constData(), size_t(kOpenLink.size())) != kOpenLink.size())
            return 1;
        ::raise(SIGKILL);
        return 1;
    });
    QCOMPARE(WaitForChild(host), -1); // killed, not exited

    // The next user opens the port within a bound, and the board answers.
    const pid_t next = ForkAsOrdinaryUser([&] {
        int fd = -1;
        for (int tries = 0; fd < 0 && tries < 300; ++tries) {
            fd = ::open(device.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            if (fd < 0)
                ::usleep(10000);
        }
        if (fd < 0)
            return 2;
        if (::write(fd, kOpenLink.constData(), size_t(kOpenLink.size())) != kOpenLink.size())
            return 3;
        QByteArray answer;
        pollfd line{fd, POLLIN, 0};
        while (answer.size() < kReport.size() && ::poll(&line, 1, 3000) == 1) {
            char buf[64];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0)
                answer.append(buf, int(n));
        }
        return answer == kReport ? 0 : 4;
    });
    QCOMPARE(WaitForChild(next, 10000), 0);
    QCOMPARE(board.state(), QProcess::Running);
    board.terminate();
    QVERIFY(board.waitForFinished(3000));
    QCOMPARE(board.exitCode(), 0);
}

void tst_BoardProgram::speaksOneLanguage()
{
    // The Chinese run is stdioModeEndsWithItsInput's. Garbage, a bad checksum,
    // open-link and a setting: the trace's words and the closing status line.
    const QByteArray frames = QByteArray::fromHex("0102 3DAA000300010A00") + kOpenLink
        + QByteArray::fromHex("3DAA000300010AF5");
    QProcess board;
    board.setProcessEnvironment(UserText::LocaleEnvironment(QStringLiteral("C.UTF-8")));
    board.start(QStringLiteral(DIMRA_BOARD_PROGRAM), {"--stdio", "--no-pacing", "--trace", "--mode", "noisy"});
    QVERIFY(board.waitForStarted());
    board.write(frames);
    board.closeWriteChannel();
    QVERIFY(board.waitForFinished(3000));
    const QString printed = QString::fromUtf8(board.readAllStandardError());
    QVERIFY2(!printed.trimmed().isEmpty(), "the board said nothing");
    QVERIFY2(!UserText::HasCjk(printed), qPrintable(printed));
}

QTEST_GUILESS_MAIN(tst_BoardProgram)
#include "tst_boardprogram.moc"
