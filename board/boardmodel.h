#pragma once

#include "framereader.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <optional>

// A dimmer board as the host sees it over the line: it holds the PWM
// frequency and three duties, reads command frames and answers in the
// reply format.
//
// On the open-link command it reports channel 1 (which establishes the
// link), channels 2 and 3 and the frequency, each as its own reply. What it
// does besides depends on its mode:
//   report  answers open-link only; set commands silently (the default)
//   echo    also answers every set command with the value it now holds
//   quiet   never answers, so the link is never established
//   noisy   like report, with random bytes between replies and now and then
//           a reply of a wrong length, which the host must pass over
class CBoardModel
{
    Q_DECLARE_TR_FUNCTIONS(CBoardModel)

public:
    enum Mode { Report, Echo, Quiet, Noisy };

    struct State
    {
        int frequency = 1000; // Hz, Dimra::kFrequencyMin to kFrequencyMax
        int duty[3] = {0, 0, 0}; // percent, Dimra::kDutyMin to kDutyMax
    };

    // What went out on the line, piece by piece, with what it means.
    struct Output
    {
        QByteArray bytes;
        QString meaning;
    };

    explicit CBoardModel(Mode mode = Report, quint32 seed = 1);

    // Takes bytes from the line; returns the frames they completed and
    // appends what the board answers to *sent.
    QList<CFrameReader::Frame> receive(const QByteArray &bytes, QList<Output> *sent);

    const State &state() const { return m_state; }
    State &state() { return m_state; }
    Mode mode() const { return m_mode; }
    const CFrameReader &reader() const { return m_reader; }

    static std::optional<Mode> parseMode(const QString &name);
    static QString modeName(Mode mode);

    // A reply frame: 3D AA 00, code, 00, data length, data, checksum.
    static QByteArray buildReply(int code, const QByteArray &data);
    // The data bytes that carry a value for a code: one byte for a duty,
    // thousands and the remainder (big-endian) for a frequency.
    static QByteArray valueData(int code, int value);
    // The value carried by a good frame's data.
    static int decodeValue(int code, const QByteArray &data);
    // What a frame means, for a person reading the board's trace.
    static QString describe(const CFrameReader::Frame &frame);

private:
    Output reportOf(int code) const;
    void addNoise(QList<Output> *sent);

    Mode m_mode;
    State m_state;
    CFrameReader m_reader;
    QRandomGenerator m_random;
};
