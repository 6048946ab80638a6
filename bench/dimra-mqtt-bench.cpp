// dimra-mqtt-bench: measures dimra-mqtt against a real mosquitto broker and
// virtual boards on pseudo-terminals, and prints a Markdown table. Not a
// test: it reports figures and asserts nothing.
//
//   dimra-mqtt-bench [--boards N] [--commands N]   (64 boards, 1000 commands; at most 256 boards)
//
// This process plays every board (answering the connect frame, reading the
// frames) and the clients of the broker; dimra-mqtt runs as its own process
// with a configuration of N boards, as it would in service.

#include "boardmodel.h"
#include "bridgemessages.h"
#include "mosquittobroker.h"
#include "protocolnumbers.h"
#include "rawpty.h"
#include "stats.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <array>
#include <cstdio>
#include <memory>
#include <mosquitto.h>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace {

double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

// One virtual board: a pseudo-terminal whose far end this process serves.
struct Board
{
    RawPty pty;
    CBoardModel model;
    int frames = 0;          // good setting frames received
    qint64 firstByteNs = 0;  // of the current round, 0 until one came
    qint64 lastFrameNs = 0;  // when the last setting frame was complete
    // Each setting frame's time, code and value, while kept.
    bool keepFrames = false;
    std::vector<std::array<qint64, 3>> kept;
};

class Boards
{
public:
    bool open(int count)
    {
        for (int i = 0; i < count; ++i) {
            const std::optional<RawPty> pty = OpenRawPty();
            if (!pty)
                return false;
            auto board = std::make_unique<Board>();
            board->pty = *pty;
            m_boards.push_back(std::move(board));
        }
        return true;
    }
    ~Boards()
    {
        for (const auto &board : m_boards) {
            ::close(board->pty.master);
            ::close(board->pty.slave);
        }
    }

    Board &at(int i) { return *m_boards[size_t(i)]; }
    int size() const { return int(m_boards.size()); }
    void newRound()
    {
        for (const auto &board : m_boards)
            board->firstByteNs = 0;
    }

    // Reads and answers every board until done() or timeoutMs.
    bool serve(int timeoutMs, const std::function<bool()> &done = {})
    {
        std::vector<pollfd> fds;
        for (const auto &board : m_boards)
            fds.push_back({board->pty.master, POLLIN, 0});
        const qint64 end = monotonicNs() + qint64(timeoutMs) * 1000000;
        while (!(done && done())) {
            const qint64 left = end - monotonicNs();
            if (left <= 0)
                return false;
            if (::poll(fds.data(), fds.size(), int(qMin<qint64>(left / 1000000 + 1, 50))) <= 0)
                continue;
            const qint64 now = monotonicNs();
            for (size_t i = 0; i < fds.size(); ++i)
                if (fds[i].revents & POLLIN)
                    read(*m_boards[i], now);
        }
        return true;
    }

private:
    static void read(Board &board, qint64 now)
    {
        char buffer[1024];
        const ssize_t n = ::read(board.pty.master, buffer, sizeof buffer);
        if (n <= 0)
            return;
        if (board.firstByteNs == 0)
            board.firstByteNs = now;
        QList<CBoardModel::Output> answers;
        for (const CFrameReader::Frame &frame : board.model.receive(QByteArray(buffer, int(n)), &answers)) {
            if (frame.verdict == CFrameReader::Good && frame.code > 0) {
                ++board.frames;
                board.lastFrameNs = monotonicNs();
                if (board.keepFrames)
                    board.kept.push_back({board.lastFrameNs, frame.code, CBoardModel::decodeValue(frame.code, frame.data)});
            }
        }
        for (const CBoardModel::Output &answer : answers)
            [[maybe_unused]] const ssize_t w = ::write(board.pty.master, answer.bytes.constData(), size_t(answer.bytes.size()));
    }

    std::vector<std::unique_ptr<Board>> m_boards;
};

// A blocking libmosquitto client of this process.
struct Client
{
    mosquitto *mosq = nullptr;
    int received = 0;
    QStringList onlineBoards;

    bool connect(int port)
    {
        mosq = mosquitto_new(nullptr, true, this);
        mosquitto_int_option(mosq, MOSQ_OPT_TCP_NODELAY, 1);
        mosquitto_message_callback_set(mosq, [](mosquitto *, void *self, const mosquitto_message *m) {
            auto *client = static_cast<Client *>(self);
            ++client->received;
            const QString topic = QString::fromUtf8(m->topic);
            if (topic.endsWith(QLatin1String("/availability"))
                && QByteArray(static_cast<const char *>(m->payload), m->payloadlen) == "online"
                && !client->onlineBoards.contains(topic))
                client->onlineBoards.append(topic);
        });
        return mosquitto_connect(mosq, "127.0.0.1", port, 60) == MOSQ_ERR_SUCCESS;
    }
    ~Client()
    {
        if (mosq)
            mosquitto_destroy(mosq);
    }
    void publish(const QByteArray &topic, const QByteArray &payload)
    {
        mosquitto_publish(mosq, nullptr, topic.constData(), int(payload.size()), payload.constData(), 0, false);
    }
    void loop(int timeoutMs) { mosquitto_loop(mosq, timeoutMs, 1); }
};

struct ProcessFigures
{
    double cpuSeconds = 0;
    qint64 switches = 0;
    double rssMiB = 0;
    double peakMiB = 0;
};

ProcessFigures processFigures(qint64 pid)
{
    ProcessFigures figures;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> fields = stat.readAll().split(')').last().trimmed().split(' ');
        // After the name: state is field 3; utime and stime are fields 14 and 15.
        figures.cpuSeconds = double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            const QList<QByteArray> words = line.simplified().split(' ');
            if (line.startsWith("VmRSS:"))
                figures.rssMiB = words.value(1).toDouble() / 1024;
            else if (line.startsWith("VmHWM:"))
                figures.peakMiB = words.value(1).toDouble() / 1024;
            else if (line.contains("ctxt_switches:"))
                figures.switches += words.value(1).toLongLong();
        }
    }
    return figures;
}

QString machine()
{
    QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
    QString model;
    if (cpuinfo.open(QIODevice::ReadOnly))
        for (const QByteArray &line : cpuinfo.readAll().split('\n'))
            if (line.startsWith("model name") && model.isEmpty())
                model = QString::fromUtf8(line.mid(line.indexOf(':') + 1)).trimmed();
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    QString load;
    if (loadavg.open(QIODevice::ReadOnly))
        load = QString::fromUtf8(loadavg.readAll()).section(QLatin1Char(' '), 0, 2);
    return QStringLiteral("%1 cores, %2, load average %3").arg(sysconf(_SC_NPROCESSORS_ONLN)).arg(model, load);
}

int fail(const char *what)
{
    std::fprintf(stderr, "dimra-mqtt-bench: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int boardCount = 64;
    int commandCount = 1000;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--boards"))
            boardCount = qBound(1, args[i + 1].toInt(), kMaxBoards);
        else if (args[i] == QLatin1String("--commands"))
            commandCount = qBound(1, args[i + 1].toInt(), 100000);
    }

    mosquitto_lib_init();
    MosquittoBroker broker;
    if (!broker.start())
        return fail(qPrintable(broker.error()));
    Boards boards;
    if (!boards.open(boardCount))
        return fail("cannot open the pseudo-terminals (file descriptor limit?)");

    QTemporaryDir dir;
    QFile config(dir.filePath(QStringLiteral("mqtt.conf")));
    if (!config.open(QIODevice::WriteOnly))
        return fail("cannot write the configuration");
    config.write(QStringLiteral("[broker]\nhost=127.0.0.1\nport=%1\n").arg(broker.port()).toUtf8());
    for (int i = 0; i < boardCount; ++i)
        config.write(QStringLiteral("[board.b%1]\nport=%2\nid=b%1\n").arg(i).arg(boards.at(i).pty.slavePath).toUtf8());
    config.close();

    Client observer;
    Client publisher;
    if (!observer.connect(broker.port()) || !publisher.connect(broker.port()))
        return fail("cannot connect to the broker");
    mosquitto_subscribe(observer.mosq, nullptr, "dimra/+/availability", 0);
    mosquitto_subscribe(observer.mosq, nullptr, "bench/hop", 0);

    QProcess bridge;
    bridge.setStandardErrorFile(dir.filePath(QStringLiteral("bridge.log")));
    bridge.start(QStringLiteral(DIMRA_MQTT_PROGRAM), {QStringLiteral("-c"), config.fileName()});
    if (!bridge.waitForStarted(5000))
        return fail("cannot start dimra-mqtt");
    const qint64 pid = bridge.processId();

    // Until every board is linked and online.
    const qint64 startNs = monotonicNs();
    while (observer.onlineBoards.size() < boardCount && monotonicNs() - startNs < 30000000000LL) {
        boards.serve(5);
        observer.loop(5);
    }
    if (observer.onlineBoards.size() < boardCount)
        return fail("not every board came online within 30 s");
    const double startupMs = ms(monotonicNs() - startNs);
    boards.serve(500); // the reports after linking, and the retained state, settle

    // 1. A set to an idle board until its frame's first byte.
    Samples commandMs;
    Board &first = boards.at(0);
    for (int i = 0; i < commandCount; ++i) {
        boards.serve(15); // the line idle again
        publisher.loop(0);
        const int before = first.frames;
        boards.newRound();
        const qint64 t0 = monotonicNs();
        publisher.publish("dimra/b0/set", QStringLiteral("{\"ch1\":%1}").arg(i % 101).toUtf8());
        if (!boards.serve(2000, [&] { return first.frames > before; }))
            return fail("a command did not arrive");
        commandMs.add(ms(first.firstByteNs - t0));
    }

    // 2. The broker's hop alone: a message from this process to itself.
    Samples hopMs;
    for (int i = 0; i < commandCount; ++i) {
        const int before = observer.received;
        const qint64 t0 = monotonicNs();
        publisher.publish("bench/hop", "{\"ch1\":1}");
        while (observer.received == before && monotonicNs() - t0 < 2000000000LL)
            observer.loop(1);
        hopMs.add(ms(monotonicNs() - t0));
    }

    // 3. The pseudo-terminal's own hand-over, which a UART does not have:
    // 8 bytes written at one end until the other end can read them.
    Samples ptyMs;
    if (const std::optional<RawPty> spare = OpenRawPty()) {
        const QByteArray frame(8, '\x55');
        for (int i = 0; i < commandCount; ++i) {
            pollfd pfd{spare->master, POLLIN, 0};
            const qint64 t0 = monotonicNs();
            [[maybe_unused]] const ssize_t w = ::write(spare->slave, frame.constData(), size_t(frame.size()));
            ::poll(&pfd, 1, 1000);
            ptyMs.add(ms(monotonicNs() - t0));
            char buffer[64];
            while (::read(spare->master, buffer, sizeof buffer) > 0) {
            }
        }
        ::close(spare->master);
        ::close(spare->slave);
    }

    // 4. One command to every board at once.
    Samples allFirstMs;
    Samples allCompleteMs;
    for (int round = 0; round < 20; ++round) {
        boards.serve(50);
        publisher.loop(0);
        std::vector<int> before;
        for (int i = 0; i < boardCount; ++i)
            before.push_back(boards.at(i).frames);
        boards.newRound();
        const qint64 t0 = monotonicNs();
        for (int i = 0; i < boardCount; ++i)
            publisher.publish(QStringLiteral("dimra/b%1/set").arg(i).toUtf8(),
                              QStringLiteral("{\"ch2\":%1}").arg(round).toUtf8());
        const bool all = boards.serve(5000, [&] {
            for (int i = 0; i < boardCount; ++i)
                if (boards.at(i).frames == before[size_t(i)])
                    return false;
            return true;
        });
        if (!all)
            return fail("not every board got its command");
        qint64 lastFirst = 0;
        qint64 lastComplete = 0;
        for (int i = 0; i < boardCount; ++i) {
            lastFirst = qMax(lastFirst, boards.at(i).firstByteNs);
            lastComplete = qMax(lastComplete, boards.at(i).lastFrameNs);
        }
        allFirstMs.add(ms(lastFirst - t0));
        allCompleteMs.add(ms(lastComplete - t0));
    }

    // 5. A 2 s transition on the three channels of one board at once, as a
    // Home Assistant scene sends it: each channel's frames, their rate and
    // the last value against the target.
    constexpr int kFadeTargets[4] = {0, 100, 0, 80};
    constexpr int kFadeSeconds = 2;
    publisher.publish("dimra/b0/set", R"({"ch1":0,"ch2":100,"ch3":20})");
    boards.serve(500);
    first.kept.clear();
    first.keepFrames = true;
    const qint64 fadeStartNs = monotonicNs();
    for (int channel = 1; channel <= 3; ++channel)
        publisher.publish(QStringLiteral("dimra/b0/ch%1/set").arg(channel).toUtf8(),
                          QStringLiteral(R"({"state":"ON","brightness":%1,"transition":%2})")
                              .arg(kFadeTargets[channel]).arg(kFadeSeconds).toUtf8());
    publisher.loop(0);
    boards.serve(kFadeSeconds * 1000 + 1000);
    first.keepFrames = false;
    int fadeFrames[4] = {};
    int fadeLast[4] = {-1, -1, -1, -1};
    qint64 fadeEndNs = fadeStartNs;
    for (const std::array<qint64, 3> &frame : first.kept) {
        if (frame[1] < 1 || frame[1] > 3)
            continue;
        ++fadeFrames[frame[1]];
        fadeLast[frame[1]] = int(frame[2]);
        fadeEndNs = qMax(fadeEndNs, frame[0]);
    }
    const double fadeSeconds = double(fadeEndNs - fadeStartNs) / 1e9;
    int fadeMinFrames = fadeFrames[1];
    bool fadeOnTarget = true;
    for (int channel = 1; channel <= 3; ++channel) {
        fadeMinFrames = qMin(fadeMinFrames, fadeFrames[channel]);
        fadeOnTarget = fadeOnTarget && fadeLast[channel] == kFadeTargets[channel];
    }

    // 6. Idle: nothing to do for 10 s.
    boards.serve(1000);
    const ProcessFigures before = processFigures(pid);
    const qint64 idleStart = monotonicNs();
    boards.serve(10000);
    const double idleSeconds = double(monotonicNs() - idleStart) / 1e9;
    const ProcessFigures after = processFigures(pid);

    bridge.terminate();
    bridge.waitForFinished(10000);

    const double frameMs = 8 * 10 * 1000.0 / 9600; // a channel frame at 9600 baud, 8N1
    std::printf("dimra-mqtt with %d boards, mosquitto on 127.0.0.1; %s\n\n", boardCount, qPrintable(machine()));
    std::printf("| measure | median | p99 / worst | target |\n|---|---|---|---|\n");
    std::printf("| set published → frame's first byte at an idle board (%d commands) | %.3f ms | %.3f ms | — |\n",
                commandCount, commandMs.median(), commandMs.p99());
    std::printf("| the broker's hop alone (publish → a subscriber in this process) | %.3f ms | %.3f ms | — |\n",
                hopMs.median(), hopMs.p99());
    std::printf("| the pseudo-terminal's hand-over alone (write → readable at the far end) | %.3f ms | %.3f ms | — |\n",
                ptyMs.median(), ptyMs.p99());
    std::printf("| host time on top of the hop (first row less the second) | %.3f ms | %.3f ms | p99 ≤ 2 ms |\n",
                commandMs.median() - hopMs.median(), commandMs.p99() - hopMs.p99());
    std::printf("| one command to each of %d boards → last first byte (20 rounds) | %.2f ms | %.2f ms | — |\n",
                boardCount, allFirstMs.median(), allFirstMs.max());
    std::printf("| one command to each of %d boards → last frame complete | %.2f ms | %.2f ms | ≤ %.1f ms (a frame + 5 ms) |\n",
                boardCount, allCompleteMs.median(), allCompleteMs.max(), frameMs + 5);
    std::printf("| CPU while idle (%.0f s) | %.2f %% | %lld wake-ups | 0 %% |\n", idleSeconds,
                100.0 * (after.cpuSeconds - before.cpuSeconds) / idleSeconds,
                static_cast<long long>(after.switches - before.switches));
    std::printf("| resident memory with %d boards | %.1f MiB | %.1f MiB peak | ≤ 64 MiB |\n", boardCount, after.rssMiB,
                after.peakMiB);
    std::printf("| start until every board online | %.0f ms | — | — |\n", startupMs);
    std::printf("| a %d s transition on 3 channels at once: frames per channel (ch1 0→100, ch2 100→0, ch3 20→80) "
                "| %d, %d, %d in %.2f s | %.1f a second, fewest | ≥ 10 a second |\n",
                kFadeSeconds, fadeFrames[1], fadeFrames[2], fadeFrames[3], fadeSeconds, fadeMinFrames / double(kFadeSeconds));
    std::printf("| the transition's last frames (targets 100, 0, 80) | %d, %d, %d | %s | exactly the targets |\n",
                fadeLast[1], fadeLast[2], fadeLast[3], fadeOnTarget ? "on target" : "OFF TARGET");
    return 0;
}
