#include "boardmodel.h"

#include "dimraprotocol.h"
#include "protocolnumbers.h"

#include <QtGlobal>

using namespace Dimra;

namespace {

constexpr int kOpenLink = CDimraProtocol::CmdOpenLink;
constexpr int kFrequency = CDimraProtocol::CmdFrequency;

// What the board reports on the open-link command, in this order: channel 1
// first, whose reply establishes the link.
constexpr int kReportOrder[] = {CDimraProtocol::CmdChannel1, CDimraProtocol::CmdChannel2, CDimraProtocol::CmdChannel3,
                                kFrequency};

QString valueText(int code, int value)
{
    return code == kFrequency ? CBoardModel::tr("frequency = %1 Hz").arg(value)
                              : CBoardModel::tr("channel %1 = %2 %").arg(code).arg(value);
}

} // namespace

CBoardModel::CBoardModel(Mode mode, quint32 seed)
    : m_mode(mode), m_random(seed)
{
}

std::optional<CBoardModel::Mode> CBoardModel::parseMode(const QString &name)
{
    for (Mode m : {Report, Echo, Quiet, Noisy})
        if (name == modeName(m))
            return m;
    return std::nullopt;
}

QString CBoardModel::modeName(Mode mode)
{
    switch (mode) {
    case Report: return QStringLiteral("report");
    case Echo: return QStringLiteral("echo");
    case Quiet: return QStringLiteral("quiet");
    case Noisy: return QStringLiteral("noisy");
    }
    return QString();
}

QByteArray CBoardModel::buildReply(int code, const QByteArray &data)
{
    QByteArray frame(reinterpret_cast<const char *>(kFrameHeader), kHeaderSize);
    frame.append(char(code));
    frame.append(char(0));
    frame.append(char(data.size()));
    frame.append(data);
    uint sum = 0;
    for (const char b : frame)
        sum += uchar(b);
    frame.append(char(sum & 0xFF));
    return frame;
}

QByteArray CBoardModel::valueData(int code, int value)
{
    if (code == kFrequency) {
        const int remainder = value % kFrequencyThousand;
        return QByteArray() + char(value / kFrequencyThousand) + char(remainder / 256) + char(remainder % 256);
    }
    return QByteArray(1, char(value));
}

int CBoardModel::decodeValue(int code, const QByteArray &data)
{
    if (data.size() != CDimraProtocol::DataLength(code) || code == kOpenLink)
        return -1;
    if (code == kFrequency)
        return uchar(data.at(0)) * kFrequencyThousand + uchar(data.at(1)) * 256 + uchar(data.at(2));
    return uchar(data.at(0));
}

QString CBoardModel::describe(const CFrameReader::Frame &frame)
{
    switch (frame.verdict) {
    case CFrameReader::BadChecksum:
        return tr("bad checksum, dropped");
    case CFrameReader::BadLength:
        return tr("wrong length (function code %1), dropped").arg(frame.code);
    case CFrameReader::UnknownCommand:
        return tr("unknown function code %1, dropped").arg(frame.code);
    case CFrameReader::Good:
        break;
    }
    if (frame.code == kOpenLink)
        return tr("open link, checksum correct");
    return tr("set %1, checksum correct").arg(valueText(frame.code, decodeValue(frame.code, frame.data)));
}

CBoardModel::Output CBoardModel::reportOf(int code) const
{
    const int value = code == kFrequency ? m_state.frequency : m_state.duty[code - 1];
    return {buildReply(code, valueData(code, value)), tr("report %1").arg(valueText(code, value))};
}

void CBoardModel::addNoise(QList<Output> *sent)
{
    // Never 3D: a stray first header byte right before a reply would hide
    // that reply from the host, and the point is to show it recovers.
    QByteArray noise;
    const int count = int(m_random.bounded(1, 9));
    while (noise.size() < count) {
        const char b = char(m_random.bounded(256));
        if (b != '\x3D')
            noise.append(b);
    }
    sent->append({noise, tr("noise")});
    if (m_random.bounded(4) == 0) {
        // A length the host knows no meaning for (only 1 and 3 carry values).
        static const int wrongLengths[] = {0, 2, 4, 5};
        QByteArray junk;
        for (int n = wrongLengths[m_random.bounded(4)]; n > 0; --n)
            junk.append(char(m_random.bounded(256)));
        sent->append({buildReply(int(m_random.bounded(CDimraProtocol::CmdChannel1, kFrequency + 1)), junk),
                      tr("reply of a wrong length")});
    }
}

QList<CFrameReader::Frame> CBoardModel::receive(const QByteArray &bytes, QList<Output> *sent)
{
    const QList<CFrameReader::Frame> frames = m_reader.feed(bytes);
    for (const CFrameReader::Frame &frame : frames) {
        if (frame.verdict != CFrameReader::Good)
            continue;
        if (frame.code == kOpenLink) {
            if (m_mode == Quiet)
                continue;
            for (int code : kReportOrder) {
                if (m_mode == Noisy)
                    addNoise(sent);
                sent->append(reportOf(code));
            }
            continue;
        }

        // The board holds what it can.
        const int value = decodeValue(frame.code, frame.data);
        if (frame.code == kFrequency)
            m_state.frequency = kFrequencyRange.clamp(value);
        else
            m_state.duty[frame.code - 1] = kDutyRange.clamp(value);

        if (m_mode == Echo)
            sent->append(reportOf(frame.code));
        else if (m_mode == Noisy && m_random.bounded(3) == 0)
            addNoise(sent);
    }
    return frames;
}
