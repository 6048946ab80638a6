#pragma once

#include "boardlink.h"
#include "boardmodel.h"
#include "devicetree.h"
#include "dimradlg.h"
#include "envoverride.h"
#include "framereader.h"
#include "messagerecorder.h"
#include "ptypair.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>

class QLineEdit;
class QPushButton;
class QSlider;

// The open-link frame, and replies as the board sends them.
inline const QByteArray kOpenLinkFrame = QByteArray::fromHex("3DAA00000000E7");
QByteArray ChannelReply(int channel, int value);
QByteArray FrequencyReply(int hz);

// Frames as (code, value) pairs, read as the board reads them.
using SentValues = QList<QPair<int, int>>;
// A frame the board would refuse.
inline const QPair<int, int> kMalformedFrame{-1, -1};
// In place of "nothing more": the dialog never came to rest.
inline const QPair<int, int> kNeverIdle{-2, -2};
SentValues ValuesOf(const QList<CFrameReader::Frame> &frames);
// Every frame well formed and its value in range.
bool WellFormedAndInRange(const SentValues &values);

// A shown dimmer dialog, its modal messages recorded, whose COM1 leads to a
// line the test plays: what the dialog tests start from. A test class
// derives from it, opens it in init() and closes it in cleanup().
class DialogFixture
{
protected:
    // On a new pseudo-terminal, m_line, that the test plays as the board.
    bool openOnPty();
    // On a device the test serves otherwise (a virtual board).
    bool openOn(const QString &device);
    // In place of the dialog open now, one with no DIMRA_COM1: COM1 is an
    // adapter on a new m_line, known by the stable link entry
    // ("serial/by-id/...") in m_devices.
    bool openOnAdapter(const QString &entry);
    void close();

    // A fresh dialog of type D in place of the current one, on the same line.
    template <typename D> D *replaceDialog()
    {
        m_dlg.reset();
        auto *dlg = new D;
        m_dlg.reset(dlg);
        return showDialog() ? dlg : nullptr;
    }

    template <typename T> T *control(const QByteArray &name) const
    {
        return m_dlg->findChild<T *>(QLatin1String(name));
    }
    // Rows are "Frequency", "Channel1", "Channel2" and "Channel3".
    QSlider *slider(const QByteArray &row) const;
    QLineEdit *edit(const QByteArray &row) const;
    QPushButton *confirmButton(const QByteArray &row) const;
    QPushButton *connectButton() const;
    // Types text into a row's edit and clicks the row's confirm button.
    void typeAndConfirm(const QByteArray &row, const QString &text);

    // Delivers every pending event until the dialog is at rest, its port
    // has written everything and m_alsoBusy (when set) is false.
    bool settle(int timeoutMs = 10000);
    // Clicks connect and answers as the board does: the open-link frame is
    // read, a channel 1 reply written, the link awaited, and then nothing
    // else may have been sent. False, with a warning saying which step
    // failed, otherwise.
    bool connectAndLink(int channel1 = 0);
    // The frames the dialog wrote on m_line since the last call: waits for
    // at least `expected`, then until the dialog is at rest, and takes
    // what else came. A frame the board would refuse shows as
    // kMalformedFrame; kNeverIdle ends the list when there was no rest.
    SentValues framesSent(int expected = 0, int idleTimeoutMs = 10000);

    std::unique_ptr<PtyPair> m_line;
    std::unique_ptr<MessageRecorder> m_messages;
    // The dialog's device folder in place of /dev, so that the machine's
    // own ports never show; empty until the test plugs adapters in.
    std::unique_ptr<DeviceTree> m_devices;
    // The window's settings in a folder of the test's own (XDG_CONFIG_HOME)
    // until close(): no test reads or writes the user's.
    std::unique_ptr<QTemporaryDir> m_config;
    std::optional<EnvOverride> m_configHome;
    std::unique_ptr<CMyDimraDlg> m_dlg;
    // Work that finishes later from a timer of the test's own.
    std::function<bool()> m_alsoBusy;

private:
    bool openDialog();
    bool showDialog();

    std::optional<PortOverride> m_com1;
    CFrameReader m_reader;
};
