#include "pacedfarend.h"

#include "ptypair.h"

#include <algorithm>
#include <chrono>
#include <poll.h>
#include <unistd.h>

PacedFarEnd::PacedFarEnd(const PtyPair &line, int bytesPerSecond, speed_t programSpeed)
    : m_line(line), m_bytesPerSecond(bytesPerSecond), m_programSpeed(programSpeed), m_thread([this] { run(); })
{
}

QByteArray PacedFarEnd::stop()
{
    if (m_thread.joinable()) {
        m_stop = true;
        m_thread.join();
        take(1 << 16);
    }
    return m_received;
}

void PacedFarEnd::take(int most)
{
    char buf[4096];
    const ssize_t n = ::read(m_line.masterHandle(), buf, size_t(std::min<int>(most, sizeof buf)));
    if (n <= 0)
        return;
    // Looked at as the bytes are taken: a later change is no change before them.
    const termios settings = m_line.lineSettings();
    if (::cfgetospeed(&settings) != m_programSpeed)
        m_afterChange += n;
    m_received.append(buf, int(n));
}

void PacedFarEnd::run()
{
    using Clock = std::chrono::steady_clock;
    double allowance = 0;
    Clock::time_point before = Clock::now();
    while (!m_stop) {
        pollfd pfd{m_line.masterHandle(), POLLIN, 0};
        const bool waiting = ::poll(&pfd, 1, 1) > 0 && (pfd.revents & POLLIN);
        const Clock::time_point now = Clock::now();
        allowance += std::chrono::duration<double>(now - before).count() * m_bytesPerSecond;
        before = now;
        if (!waiting) {
            allowance = std::min(allowance, 1.0); // an idle UART saves no time for later
            continue;
        }
        if (allowance < 1) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            continue;
        }
        take(int(allowance));
        allowance -= int(allowance);
    }
}
