#pragma once

// The window: one modal dialog with its controls, field exchange,
// connecting and disconnecting, and the flow of values. It talks to the
// board through its link (link/boardlink.h, where the house is drawn): the
// one interface to a board, of the kind the port's name calls for (a
// serial port, or a board behind dimra-mqtt for an mqtt:// address), as
// the link factory makes it.
//
// The sliders are the hub. A slider's redraw notification reads its position
// into the value member and, once the board has answered (m_bLinked), sends
// it; a confirm button moves a slider to the number typed beside it; a board
// reply moves a slider to the value the board reports. The edits show the
// value members and are read back, with validation, by field exchange.
// A preset (CPresetMenu) moves the sliders and edits at once, and sends
// only the values the board does not hold already.

#include "abstractboardlink.h"
#include "commport.h"
#include "protocolnumbers.h"

#include <QDialog>
#include <QHash>
#include <QIcon>
#include <functional>
#include <memory>
#include <optional>

class CDataExchange;
class CLinkIndicator;
class CPortChoice;
class CPortList;
class CRedrawNotifier;
class QAction;
class QComboBox;
class QKeySequence;
class QLineEdit;
class QPushButton;
class QSlider;
struct Preset;

class CMyDimraDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CMyDimraDlg(QWidget *parent = nullptr);
    ~CMyDimraDlg() override;

    // Field exchange between the four edits and the value members. Returns
    // false when a value was refused (the user has been told why). Public,
    // as the framework's is: the tests and the bench run one as a handler
    // of the window would.
    bool UpdateData(bool bSaveAndValidate = true);

    // Makes SIGTERM at logout, SIGHUP and SIGINT end the session (see
    // EndSession); the application does this once.
    void EndSessionOnStopSignals();
    // What the command line asks for at start: port (COMn, a device path or
    // an mqtt:// address; empty for the adapter linked on last) is selected,
    // and with connect the window connects to it once it shows, as a click
    // would.
    void StartOn(const QString &port, bool connect);

    // The board on the port the user picked, to watch: its state and its
    // signals. Only the window acts on it. A port of another kind than the
    // last (a serial port after a remote board, or the other way round)
    // brings a new link.
    const CAbstractBoardLink &link() const { return *m_link; }

protected:
    virtual void DoDataExchange(CDataExchange *pDX);
    void accept() override;
    // Ctrl+Q, Escape and the close box: the port closes the one way first.
    void reject() override;

private:
    struct Row
    {
        QSlider *slider = nullptr;
        QLineEdit *edit = nullptr;
        int *value = nullptr;
        QPushButton *confirm = nullptr;
    };

    // Handlers. Each is bound to its control or event in BindEvents; an
    // error the serial link raises in one ends it and is shown once.
    void OnConnect();
    void OnCloseCommand();
    void OnConfirmFrequency();
    void OnConfirmChannel1();
    void OnConfirmChannel2();
    void OnConfirmChannel3();
    void OnDrawFrequency();
    void OnDrawChannel1();
    void OnDrawChannel2();
    void OnDrawChannel3();
    void OnSysCommand(int nID, int lParam);
    void OnOK();
    // The session ends from outside: as Ctrl+Q, what waits goes out and the
    // port closes and is unlocked; then the window closes, over any message
    // it shows, and the program ends with exit code 0.
    void EndSession();

    // Builds the frame for a setting and sends it through the link.
    void SendCommand(int code, int value);
    // Moves the slider of a row to a position the board reported.
    void SetSliderPos(int code, int position);
    void OnInitDialog();
    void BindEvents();
    void BindLinkEvents();
    // Makes the link the port's name calls for, when the one there is of
    // another kind. Throws CSerialError for an address this build cannot reach.
    void UseLinkFor(const QByteArray &port);
    void OnValueReported(int code, int value);
    void OnLinkLost(const QString &text, const QString &details);
    void OnUnlinked();
    void OnSettingRefused(const QString &reason);
    void OnAdapterBack(int port);
    void OnReconnectToggled(bool on);
    bool Exchange(bool bSaveAndValidate, const std::function<void(CDataExchange *)> &exchange);
    // Reads and checks one row's edit, as field exchange does.
    bool ReadRow(int code, int &value);
    // One row's step of field exchange; a text it refuses is marked as told.
    void RowStep(int code, const std::function<void()> &step);
    // The user has left the rows whose text was refused (all but the one
    // whose edit or confirm button is stay): each shows its row's value again.
    void LeaveRefusedRows(const QWidget *stay);
    void OnFocusChanged(QWidget *old, QWidget *now);
    void OpenPort(int port, bool byHand);
    QAction *AddMenuCommand(const QString &text, const QKeySequence &shortcut);
    void RunHandler(const std::function<void()> &handler);
    void OnControlEvent(void (CMyDimraDlg::*handler)());
    void ReportError(const QString &text, const QString &details = QString());
    void EnableSettingControls(bool enable);
    void EnterDisconnectedState();
    void UpdateLinkIndicator();
    void MoveSlider(int code, int position);
    bool CanApplyPreset() const;
    // Moves the sliders and edits to the preset's values and sends those
    // the board does not hold already; it brings no message.
    void ApplyPreset(const Preset &preset);
    // What the board holds, as far as the window knows.
    int BoardValue(int code) const;
    void DrawRow(int code);
    void ConfirmRow(int code);
    template <typename T> T *Control(int id) const;

    QIcon m_hIcon;
    QSlider *m_sliderFrequency = nullptr;
    QSlider *m_sliderChannel1 = nullptr;
    QSlider *m_sliderChannel2 = nullptr;
    QSlider *m_sliderChannel3 = nullptr;
    // The board on the port the user picked: never null.
    std::unique_ptr<CAbstractBoardLink> m_link;
    QComboBox *m_comboPort = nullptr;

    // Values: frequency in Hz, duties in percent. Not limited to their
    // ranges; they hold whatever the last transfer put there.
    int m_nFrequency = Dimra::kFrequencyMin;
    int m_nChannel1 = Dimra::kDutyMin;
    int m_nChannel2 = Dimra::kDutyMin;
    int m_nChannel3 = Dimra::kDutyMin;
    // True once the board has answered with a channel 1 reply since the last
    // disconnect (or, behind a bridge, while the bridge reports it online).
    bool m_bLinked = false;

    QHash<int, QWidget *> m_controls;
    Row m_rows[Dimra::kCommandCount]; // by command code: 1-3 channels, 4 frequency
    CRedrawNotifier *m_redraw[Dimra::kCommandCount] = {};
    QPushButton *m_btnConnect = nullptr;
    CLinkIndicator *m_linkIndicator = nullptr;
    CPortList *m_portList = nullptr;
    // The adapter the port is open on, the one a loss took away, the one
    // linked on last, and the wait for a lost one to come back.
    CPortChoice *m_portChoice = nullptr;
    bool m_bInExchange = false;
    bool m_bEnding = false; // EndSession has begun: no more messages
    // A position a board reply or a preset put a slider at; its redraw
    // sends nothing, since the board holds that value already or has just
    // been sent it.
    std::optional<int> m_heldPos[Dimra::kCommandCount];
    // By command code, what the window sent the board since the board last
    // reported that value (what link().reported() does not know yet: a
    // board answers a setting with nothing).
    BoardValues m_sentSinceReport;
    // A row whose text was refused and the user told so, until the text
    // changes or the user leaves the row: the same text is not read (and
    // so not refused) again.
    bool m_bRefusalTold[Dimra::kCommandCount] = {};
    QMetaObject::Connection m_focusWatch;
};
