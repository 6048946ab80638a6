// dimra-bench: measures Dimra against the line it serves and prints a
// Markdown table. Not a test: it reports figures and asserts nothing.
//
//   dimra-bench            all measurements (offscreen, about three minutes)
//   dimra-bench --drag     only the fast drags against a line at 9600 baud
//   dimra-bench --remote   only the window on a board behind dimra-mqtt
//   dimra-bench --startup-child   (internal) one timed start-up

#include "boardmodel.h"
#include "framereader.h"
#include "dimra.h"
#ifdef DIMRA_MQTT_PROGRAM
#include "boardlinkfactory.h"
#include "mosquittobroker.h"
#endif
#include "dimradlg.h"
#include "messages.h"
#include "protocolnumbers.h"
#include "rawpty.h"
#include "stats.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <poll.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr double kLineBytesPerSecond = Dimra::kLineBytesPerSecond;

// The codec's frames, counted and thrown away: what building costs.
struct FrameCounter
{
    CDimraProtocol codec;
    qint64 bytes = 0;

    FrameCounter() { codec.InitTxFrame(); }
    void build(int code, int value) { bytes += codec.BuildFrame(code, value).size(); }
};

void printRow(const char *what, const QString &median, const QString &worst, const char *target)
{
    std::printf("| %s | %s | %s | %s |\n", what, qPrintable(median), qPrintable(worst), target);
}

QString times(double perSecond)
{
    return QStringLiteral("%1/s (%2× line)").arg(perSecond, 0, 'f', 0).arg(perSecond / kLineBytesPerSecond, 0, 'f', 0);
}

// 1. Frames built as SendCommand builds them, without and with the
// dialog's part: the store exchange that refreshes its edits before the
// frame goes out through the link.
template <typename Builder> void frameBuilding(const char *what, Builder build)
{
    using namespace Dimra;
    Samples framesPerSecond;
    for (int run = 0; run < 5; ++run) {
        const int count = 100000;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < count; ++i) {
            const int code = i % kCommandCount;
            build(code, code == CDimraProtocol::CmdFrequency ? kFrequencyMin + i % (kFrequencyMax - kFrequencyMin + 1)
                                                              : i % (kDutyMax + 1));
        }
        framesPerSecond.add(count / (clock.nsecsElapsed() / 1e9));
    }
    // A frame is 7 to 10 bytes; on the line one takes about 8.7 ms.
    const double lineFrames = kLineBytesPerSecond / 8.6;
    printRow(what,
             QStringLiteral("%1 frames/s (%2× line)").arg(framesPerSecond.median(), 0, 'f', 0)
                 .arg(framesPerSecond.median() / lineFrames, 0, 'f', 0),
             QStringLiteral("%1 frames/s").arg(framesPerSecond.min(), 0, 'f', 0), "≥ 1× line");
}

// A stream of replies of every kind, as a board would send them.
QByteArray replyStream(qsizetype size)
{
    QByteArray stream;
    using namespace Dimra;
    for (int i = 0; stream.size() < size; ++i) {
        const int code = CDimraProtocol::CmdChannel1 + i % 4; // channels 1-3, then the frequency
        const int value = code == CDimraProtocol::CmdFrequency
            ? kFrequencyMin + i * 37 % (kFrequencyMax - kFrequencyMin + 1)
            : i % (kDutyMax + 1);
        stream += CBoardModel::buildReply(code, CBoardModel::valueData(code, value));
    }
    return stream;
}

// 1. Bytes through the receive path: byte texts, parser, reply action.
template <typename Receiver> void receiving(const char *what, Receiver receive)
{
    const QByteArray stream = replyStream(256 * 1024);
    Samples bytesPerSecond;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer clock;
        clock.start();
        for (qsizetype i = 0; i < stream.size(); i += Dimra::kReadSize) // as much as one receive event reads
            receive(stream.mid(i, Dimra::kReadSize));
        bytesPerSecond.add(stream.size() / (clock.nsecsElapsed() / 1e9));
        QCoreApplication::processEvents();
    }
    printRow(what, times(bytesPerSecond.median()), times(bytesPerSecond.min()), "≥ 1× line");
}

// Writes all of bytes to fd, waiting whenever the line is full; for a
// thread of its own.
void writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        pollfd pfd{fd, POLLOUT, 0};
        ::poll(&pfd, 1, 5);
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
    }
}

// A virtual board at the far end of a pseudo-terminal (a linked dialog's, or
// one behind dimra-mqtt), played on a thread of its own, which answers as the
// board does and notes when the bytes of each setting frame arrive and what
// it carried. Paced, it reads no faster than a 9600-baud UART drains, as a
// real board does.
class FarBoard
{
public:
    explicit FarBoard(int master, bool paced = false) : m_master(master), m_paced(paced), m_thread([this] { run(); }) {}
    ~FarBoard()
    {
        m_stop = true;
        m_thread.join();
    }
    // The first byte to arrive after the last mark() (0 until one does).
    std::atomic<qint64> firstByteNs{0};
    void mark() { firstByteNs = 0; }
    std::atomic<int> frames{0};       // good setting frames
    std::atomic<qint64> lastFrameNs{0};
    std::atomic<int> lastFrequency{-1};
    std::atomic<qint64> received{0};  // bytes

private:
    void run()
    {
        CBoardModel model;
        double tokens = 0; // the bytes a paced UART has drained since the last read
        qint64 before = monotonicNs();
        char buf[256];
        while (!m_stop) {
            const qint64 start = monotonicNs();
            tokens += (start - before) * kLineBytesPerSecond / 1e9;
            before = start;
            pollfd pfd{m_master, POLLIN, 0};
            if (::poll(&pfd, 1, m_paced ? 1 : 5) <= 0) {
                // An idle UART saves no time for later.
                tokens = std::min(tokens, 1.0);
                continue;
            }
            // While bytes wait, a UART sends them at line rate however late
            // this thread gets to run.
            const int budget = m_paced ? std::min<int>(int(tokens), sizeof buf) : int(sizeof buf);
            if (budget < 1) {
                std::this_thread::sleep_for(std::chrono::microseconds(500));
                continue;
            }
            const ssize_t n = ::read(m_master, buf, size_t(budget));
            if (n <= 0)
                continue;
            tokens -= double(n);
            received += n;
            const qint64 now = monotonicNs();
            if (firstByteNs == 0)
                firstByteNs = now;
            QList<CBoardModel::Output> answers;
            for (const CFrameReader::Frame &frame : model.receive(QByteArray(buf, int(n)), &answers)) {
                if (frame.verdict != CFrameReader::Good || frame.code <= 0)
                    continue;
                if (frame.code == CDimraProtocol::CmdFrequency)
                    lastFrequency = CBoardModel::decodeValue(frame.code, frame.data);
                lastFrameNs = now;
                ++frames;
            }
            for (const CBoardModel::Output &answer : answers)
                [[maybe_unused]] const ssize_t w = ::write(m_master, answer.bytes.constData(), size_t(answer.bytes.size()));
        }
    }
    int m_master;
    bool m_paced;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

// A linked dialog on a pseudo-terminal whose far end the caller plays.
struct LinkedDialog
{
    RawPty pty;
    std::unique_ptr<CMyDimraDlg> dlg;

    bool open()
    {
        const auto opened = OpenRawPty();
        if (!opened)
            return false;
        pty = *opened;
        qputenv("DIMRA_COM1", pty.slavePath.toLocal8Bit());
        dlg = std::make_unique<CMyDimraDlg>();
        dlg->show();
        dlg->findChild<QPushButton *>(QStringLiteral("buttonConnect"))->click();
        char sink[64];
        waitFor([&] { return ::read(pty.master, sink, sizeof sink) > 0; }, 2000);
        const QByteArray reply = CBoardModel::buildReply(CDimraProtocol::CmdChannel1, QByteArray(1, '\0'));
        [[maybe_unused]] const ssize_t n = ::write(pty.master, reply.constData(), size_t(reply.size()));
        return waitFor([&] { return dlg->link().isLinked(); }, 2000);
    }
    // Rows are "Frequency", "Channel1", "Channel2" and "Channel3".
    QSlider *slider(const char *row) const { return dlg->findChild<QSlider *>(QLatin1String("slider") + row); }
    ~LinkedDialog()
    {
        dlg.reset();
        ::close(pty.master);
        ::close(pty.slave);
    }
};

// The same stream through a linked dialog: written to its line as a board
// sends it (from a thread of its own), read by the dialog's port and fed
// to its link, the whole receive path the window sees.
void receivingInTheDialog()
{
    const char *what = "bytes through the receive path (in the dialog, from its line)";
    LinkedDialog linked;
    if (!linked.open()) {
        std::printf("| %s | (could not link) | | |\n", what);
        return;
    }
    const QByteArray stream = replyStream(256 * 1024);
    qint64 received = 0;
    QObject::connect(&linked.dlg->link(), &CAbstractBoardLink::byteReceived, linked.dlg.get(), [&received] { ++received; });
    Samples bytesPerSecond;
    for (int run = 0; run < 5; ++run) {
        received = 0;
        QElapsedTimer clock;
        clock.start();
        std::thread writer([&] { writeAll(linked.pty.master, stream); });
        const bool done = waitFor([&] { return received >= stream.size(); }, 60000);
        writer.join();
        if (!done) {
            std::printf("| %s | (not received in 60 s) | | |\n", what);
            return;
        }
        bytesPerSecond.add(stream.size() / (clock.nsecsElapsed() / 1e9));
    }
    printRow(what, times(bytesPerSecond.median()), times(bytesPerSecond.min()), "≥ 1× line");
}

// 2. From a key press on a linked slider to the frame's last byte at the far
// end, in two settings that the line's pacing tells apart. With the line
// idle (presses at least a frame's line time apart), the frame goes out at
// once: what is measured is the host's own time. With the line busy
// (presses back to back, each as soon as the last frame arrived), a frame
// waits for the one before it to leave: at most one frame's line time more.
void sliderToWire(bool lineIdle)
{
    const char *what = lineIdle ? "slider to wire, line idle (presses a frame time apart), p99 of 1000"
                                : "slider to wire, line busy (presses back to back), p99 of 1000";
    LinkedDialog linked;
    if (!linked.open()) {
        std::printf("| %s | (could not link) | | |\n", what);
        return;
    }
    QCoreApplication::processEvents();
    FarBoard farEnd(linked.pty.master);
    QSlider *slider = linked.slider("Channel2");
    constexpr int kFrameBytes = 8; // a channel frame
    const qint64 frameTimeNs = qint64(kFrameBytes * 1e9 / kLineBytesPerSecond);
    Samples latencyMs;
    qint64 lastPress = 0;
    for (int step = 0; step < 1000; ++step) {
        if (lineIdle) {
            // A frame time and a millisecond after the last press: its frame has left.
            const qint64 due = lastPress + frameTimeNs + 1000000;
            while (monotonicNs() < due)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        const Qt::Key key = step % 2 == 0 ? Qt::Key_Right : Qt::Key_Left;
        const int before = farEnd.frames;
        const qint64 start = monotonicNs();
        lastPress = start;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
        QCoreApplication::sendEvent(slider, &press);
        QCoreApplication::sendEvent(slider, &release);
        if (!waitFor([&] { return farEnd.frames > before; }, 1000))
            break;
        latencyMs.add((farEnd.lastFrameNs - start) / 1e6);
    }
    const QString target = lineIdle ? QStringLiteral("p99 < 2 ms")
                                    : QStringLiteral("p99 < %1 ms (a frame time + 2 ms)").arg(frameTimeNs / 1e6 + 2, 0, 'f', 1);
    printRow(what,
             QStringLiteral("%1 ms (median %2 ms)").arg(latencyMs.p99(), 0, 'f', 3).arg(latencyMs.median(), 0, 'f', 3),
             QStringLiteral("%1 ms").arg(latencyMs.max(), 0, 'f', 3), qPrintable(target));
}

// 3. The frequency slider dragged fast for ten seconds against a line that
// drains at 9600 baud: how long the board still receives after the last
// move, whether it ends at the slider's value, and whether a loss was
// (falsely) reported.
void fastDrag(int movesPerSecond, int *messages)
{
    LinkedDialog linked;
    if (!linked.open()) {
        std::printf("| drag at %d moves/s | (could not link) | | |\n", movesPerSecond);
        return;
    }
    QCoreApplication::processEvents();
    const int before = *messages;
    FarBoard farEnd(linked.pty.master, true);
    QSlider *slider = linked.slider("Frequency");
    const int moves = movesPerSecond * 10;
    const qint64 period = 1000000000LL / movesPerSecond;
    const qint64 start = monotonicNs();
    for (int i = 1; i <= moves; ++i) {
        while (monotonicNs() < start + i * period)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        slider->setValue(Dimra::kFrequencyMin + int((qint64(i) * 997) % (Dimra::kFrequencyMax - Dimra::kFrequencyMin + 1)));
    }
    const qint64 lastMove = monotonicNs();
    const int target = slider->value();
    // Until the far end holds the slider's value and the line has been
    // quiet for half a second, or 30 s at most.
    waitFor([&] {
        return farEnd.lastFrequency == target && monotonicNs() - farEnd.lastFrameNs > 500000000LL;
    }, 30000);
    const double lagMs = std::max<qint64>(0, farEnd.lastFrameNs - lastMove) / 1e6;
    const bool lost = *messages != before || !linked.dlg->link().isOpen();
    printRow(qPrintable(QStringLiteral("drag at %1 moves/s for 10 s: last byte after the last move").arg(movesPerSecond)),
             QStringLiteral("%1 ms").arg(lagMs, 0, 'f', 1),
             QStringLiteral("final value %1, %2, %3 bytes sent")
                 .arg(farEnd.lastFrequency == target ? QStringLiteral("equal") : QStringLiteral("DIFFERENT"),
                      lost ? QStringLiteral("LOSS REPORTED") : QStringLiteral("no loss"))
                 .arg(farEnd.received.load()),
             "< 30 ms, equal, no loss");
}

#ifdef DIMRA_MQTT_PROGRAM
// mosquitto on 127.0.0.1 and dimra-mqtt serving one board, as board "bench".
struct BridgedSetup
{
    MosquittoBroker broker;
    RawPty pty;
    std::unique_ptr<FarBoard> board;
    QProcess bridge;
    QTemporaryDir locks;

    bool start()
    {
        const auto opened = OpenRawPty();
        if (!opened || !broker.start())
            return false;
        pty = *opened;
        board = std::make_unique<FarBoard>(pty.master);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DIMRA_LOCK_DIR"), locks.path());
        bridge.setProcessEnvironment(env);
        bridge.setStandardErrorFile(QProcess::nullDevice());
        bridge.start(QStringLiteral(DIMRA_MQTT_PROGRAM),
                     {QStringLiteral("-p"), pty.slavePath, QStringLiteral("--id"), QStringLiteral("bench"),
                      QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(broker.port())});
        return bridge.waitForStarted(5000);
    }
    QString address() const { return QStringLiteral("mqtt://127.0.0.1:%1/bench").arg(broker.port()); }
    ~BridgedSetup()
    {
        bridge.terminate();
        bridge.waitForFinished(5000);
        board.reset();
        ::close(pty.master);
        ::close(pty.slave);
    }
};

// A window on the board behind the bridge, as dimra --port mqtt://... --connect opens it.
std::unique_ptr<CMyDimraDlg> remoteWindow(const BridgedSetup &setup)
{
    auto dlg = std::make_unique<CMyDimraDlg>();
    dlg->show();
    dlg->StartOn(setup.address(), true);
    if (!waitFor([&] { return dlg->link().isLinked(); }, 10000))
        return nullptr;
    QCoreApplication::processEvents();
    return dlg;
}

// 5. A setting to the board behind the bridge, on an idle line (each a
// frame time and the link's spacing after the last), until its frame's
// first byte reaches the board's line: from a key press on a remote
// window's slider, and from the send of a link the factory makes, as the
// window's is made.
void remoteSliderToWire()
{
    constexpr int kMoves = 500;
    constexpr qint64 kApartNs = 30000000; // 30 ms: a frame time (10.4 ms) and the link's spacing (10 ms), with room
    const QString target = QStringLiteral("p99 ≤ 15.4 ms (a frame time + 5 ms)");
    BridgedSetup setup;
    if (!setup.start()) {
        std::printf("| slider to wire behind the bridge | (no broker or bridge) | | |\n");
        return;
    }
    const auto measure = [&](const char *what, const std::function<void(int)> &move) {
        Samples latencyMs;
        for (int step = 0; step < kMoves; ++step) {
            const qint64 due = monotonicNs() + kApartNs;
            while (monotonicNs() < due)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            setup.board->mark();
            const qint64 start = monotonicNs();
            move(step);
            if (!waitFor([&] { return setup.board->firstByteNs != 0; }, 1000))
                break;
            latencyMs.add((setup.board->firstByteNs - start) / 1e6);
        }
        if (latencyMs.empty()) {
            std::printf("| %s | (nothing arrived) | | |\n", what);
            return;
        }
        printRow(what,
                 QStringLiteral("%1 ms (median %2 ms)").arg(latencyMs.p99(), 0, 'f', 3).arg(latencyMs.median(), 0, 'f', 3),
                 QStringLiteral("%1 ms").arg(latencyMs.max(), 0, 'f', 3), qPrintable(target));
    };
    {
        const std::unique_ptr<CMyDimraDlg> dlg = remoteWindow(setup);
        if (!dlg) {
            std::printf("| slider to wire behind the bridge | (the window did not link) | | |\n");
            return;
        }
        QSlider *slider = dlg->findChild<QSlider *>(QStringLiteral("sliderChannel2"));
        measure("slider to wire behind the bridge, line idle (a key press on a remote window), p99 of 500",
                [slider](int step) {
                    const Qt::Key key = step % 2 == 0 ? Qt::Key_Right : Qt::Key_Left;
                    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
                    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
                    QCoreApplication::sendEvent(slider, &press);
                    QCoreApplication::sendEvent(slider, &release);
                });
    }
    const std::unique_ptr<CAbstractBoardLink> link = CBoardLinkFactory::create(setup.address().toUtf8());
    link->open(setup.address().toUtf8());
    if (!waitFor([&] { return link->isLinked(); }, 10000)) {
        std::printf("| the link's send behind the bridge | (did not link) | | |\n");
        return;
    }
    measure("the link's send to wire behind the bridge, line idle (the factory's link alone), p99 of 500",
            [&link](int step) { link->send(CDimraProtocol::CmdChannel2, step % 2 == 0 ? 40 : 41); });
    link->close();
}

// 6. The frequency slider of a remote window dragged 250 times a second:
// when the frame with the last value is on the board's line, after the last
// move. The link sends a setting at most every 10 ms, and the bridge's line
// carries a frequency frame in 10.4 ms: a drag that left a backlog would end
// later and later.
void remoteDrag()
{
    constexpr int kRate = 250;
    constexpr int kSeconds = 4;
    constexpr int kDrags = 5;
    BridgedSetup setup;
    if (!setup.start()) {
        std::printf("| remote drag | (no broker or bridge) | | |\n");
        return;
    }
    const std::unique_ptr<CMyDimraDlg> dlg = remoteWindow(setup);
    if (!dlg) {
        std::printf("| remote drag | (the window did not link) | | |\n");
        return;
    }
    QSlider *slider = dlg->findChild<QSlider *>(QStringLiteral("sliderFrequency"));
    // The commands the link publishes: at most one every 10 ms.
    int commands = 0;
    QObject::connect(&dlg->link(), &CAbstractBoardLink::frameSent, dlg.get(), [&commands] { ++commands; });
    Samples lagMs;
    int equal = 0;
    int frames = 0;
    for (int drag = 0; drag < kDrags; ++drag) {
        const int framesBefore = setup.board->frames;
        const qint64 period = 1000000000LL / kRate;
        const qint64 start = monotonicNs();
        for (int i = 1; i <= kRate * kSeconds; ++i) {
            while (monotonicNs() < start + i * period)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            slider->setValue(Dimra::kFrequencyMin
                             + int((qint64(i + drag * 7919) * 997) % (Dimra::kFrequencyMax - Dimra::kFrequencyMin + 1)));
        }
        const qint64 lastMove = monotonicNs();
        const int target = slider->value();
        // Until the board holds the slider's value and its line has been
        // quiet for half a second, or 10 s at most.
        waitFor([&] { return setup.board->lastFrequency == target && monotonicNs() - setup.board->lastFrameNs > 500000000LL; },
                10000);
        equal += setup.board->lastFrequency == target;
        frames += setup.board->frames - framesBefore;
        lagMs.add(std::max<qint64>(0, setup.board->lastFrameNs - lastMove) / 1e6);
    }
    printRow(qPrintable(QStringLiteral("drag behind the bridge at %1 moves/s for %2 s, %3 drags: the last value on the "
                                       "line after the last move").arg(kRate).arg(kSeconds).arg(kDrags)),
             QStringLiteral("%1 ms").arg(lagMs.median(), 0, 'f', 1),
             QStringLiteral("%1 ms; last value equal in %2 of %3; a drag: %4 moves, %5 commands published, "
                            "%6 frames on the line")
                 .arg(lagMs.max(), 0, 'f', 1).arg(equal).arg(kDrags).arg(kRate * kSeconds).arg(commands / kDrags)
                 .arg(frames / kDrags),
             "< 60 ms, equal");
}
#endif

// 3. A mebibyte of noise: how long it takes to absorb, and the longest the
// event loop stood still meanwhile.
void floodAbsorption()
{
    Samples seconds;
    Samples stallMs;
    for (int run = 0; run < 3; ++run) {
        LinkedDialog linked;
        if (!linked.open()) {
            std::printf("| flood | (could not link) | | |\n");
            return;
        }
        QByteArray noise(1 << 20, Qt::Uninitialized);
        QRandomGenerator(run + 1).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
        // An idle stretch and a marker reply show when it is all consumed.
        noise += QByteArray(256, '\0') + CBoardModel::buildReply(CDimraProtocol::CmdChannel3, QByteArray(1, char(77)));

        std::atomic<bool> written{false};
        std::thread writer([&] {
            writeAll(linked.pty.master, noise);
            written = true;
        });

        qint64 lastTick = monotonicNs();
        qint64 longest = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = monotonicNs();
            longest = std::max(longest, now - lastTick);
            lastTick = now;
        });
        ticker.start(0);
        QElapsedTimer clock;
        clock.start();
        QSlider *channel3 = linked.slider("Channel3");
        const bool absorbed = waitFor([&] { return channel3->value() == 77 && written; }, 60000);
        ticker.stop();
        writer.join();
        if (!absorbed) {
            std::printf("| flood | (not absorbed in 60 s) | | |\n");
            return;
        }
        seconds.add(clock.nsecsElapsed() / 1e9);
        stallMs.add(longest / 1e6);
    }
    printRow("1 MiB of noise absorbed", QStringLiteral("%1 s").arg(seconds.median(), 0, 'f', 2),
             QStringLiteral("%1 s").arg(seconds.max(), 0, 'f', 2), "—");
    printRow("longest event-loop stall during it", QStringLiteral("%1 ms").arg(stallMs.median(), 0, 'f', 1),
             QStringLiteral("%1 ms").arg(stallMs.max(), 0, 'f', 1), "< 50 ms");
}

// 4. Process start to the dialog's first paint, and peak memory, over
// several fresh processes running the application's own start-up.
void startup(const QString &self)
{
    Samples ms;
    Samples rssMiB;
    for (int run = 0; run < 10; ++run) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        const qint64 start = monotonicNs();
        child.start(self, {QStringLiteral("--startup-child")});
        if (!child.waitForFinished(10000))
            return;
        qint64 paintedAt = 0;
        long maxRssKiB = 0;
        std::sscanf(child.readAllStandardOutput().constData(), "%lld %ld", &paintedAt, &maxRssKiB);
        ms.add((paintedAt - start) / 1e6);
        rssMiB.add(maxRssKiB / 1024.0);
    }
    printRow("start to first paint", QStringLiteral("%1 ms").arg(ms.median(), 0, 'f', 0),
             QStringLiteral("%1 ms").arg(ms.max(), 0, 'f', 0), "—");
    printRow("peak resident memory", QStringLiteral("%1 MiB").arg(rssMiB.median(), 0, 'f', 1),
             QStringLiteral("%1 MiB").arg(rssMiB.max(), 0, 'f', 1), "—");
}

// Runs the application's start-up, noting the first paint of its dialog
// and closing the dialog right after.
class FirstPaintWatch : public QObject
{
public:
    qint64 paintedAt = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && paintedAt == 0 && qobject_cast<CMyDimraDlg *>(watched)) {
            paintedAt = monotonicNs();
            QTimer::singleShot(0, static_cast<QWidget *>(watched), &QWidget::close);
        }
        return false;
    }
};

int startupChild(int argc, char *argv[])
{
    QApplication app(argc, argv);
    FirstPaintWatch watch;
    app.installEventFilter(&watch);
    CMyDimraApp theApp;
    theApp.InitInstance();
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%lld %ld\n", static_cast<long long>(watch.paintedAt), usage.ru_maxrss);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--startup-child") == 0)
        return startupChild(argc, argv);

    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The windows it links remember their port in a settings folder of its
    // own, not in the user's.
    const QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    // Validation messages that noise may bring must not wait for a reader.
    int messages = 0;
    SetMessagePresenter([&messages](QWidget *, const QString &, const QString &) { ++messages; });

    std::printf("| measure | median | worst | target |\n|---|---|---|---|\n");
    if (argc > 1 && qstrcmp(argv[1], "--drag") == 0) {
        for (const int rate : {125, 250, 500})
            fastDrag(rate, &messages);
        return 0;
    }
#ifdef DIMRA_MQTT_PROGRAM
    if (argc > 1 && qstrcmp(argv[1], "--remote") == 0) {
        remoteSliderToWire();
        remoteDrag();
        return 0;
    }
#endif
    {
        FrameCounter frames;
        frameBuilding("frames built by SendCommand (protocol alone)", [&](int code, int value) { frames.build(code, value); });
        CMyDimraDlg dialog;
        frameBuilding("frames built by SendCommand (in the dialog)", [&](int code, int value) {
            dialog.UpdateData(false);
            frames.build(code, value);
        });
    }
    {
        CDimraProtocol codec;
        receiving("bytes through the receive path (protocol alone)", [&](const QByteArray &bytes) { codec.ReceiveBytes(bytes); });
    }
    receivingInTheDialog();
    sliderToWire(true);
    sliderToWire(false);
    for (const int rate : {125, 250, 500})
        fastDrag(rate, &messages);
    floodAbsorption();
#ifdef DIMRA_MQTT_PROGRAM
    remoteSliderToWire();
    remoteDrag();
#endif
    startup(QCoreApplication::applicationFilePath());
    return 0;
}
