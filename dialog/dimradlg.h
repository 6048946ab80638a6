#pragma once

// Dimra: host tool for a three-channel PWM LED dimmer board.
//
// The program is this one modal dialog. Its layers, top to bottom:
//   CMyDimraDlg     the window: controls, field exchange, connecting and
//                   disconnecting, and the flow of values (this file)
//   CDimraProtocol  command frames out, the reply parser in, the value
//                   members and the link flag (dimraprotocol.h)
//   hexconv         byte texts to numbers and bytes and back (hexconv.h)
//   CMSComm         the serial port, announcing received bytes through the
//                   event loop (serial/mscomm.h)
//
// The sliders are the hub. A slider's redraw notification reads its position
// into the value member and, once the board has answered (m_bLinked), sends
// it; a confirm button moves a slider to the number typed beside it; a board
// reply moves a slider to the value the board reports. The edits show the
// value members and are read back, with validation, by field exchange.

#include "dimraprotocol.h"
#include "mscomm.h"
#include "protocolnumbers.h"

#include <QDialog>
#include <QHash>
#include <QIcon>
#include <functional>
#include <optional>

class CDataExchange;
class CLinkIndicator;
class CRedrawNotifier;
class QAction;
class QComboBox;
class QKeySequence;
class QLineEdit;
class QPushButton;
class QSlider;

class CMyDimraDlg : public QDialog, public CDimraProtocol
{
    Q_OBJECT

public:
    explicit CMyDimraDlg(QWidget *parent = nullptr);
    ~CMyDimraDlg() override;

    // Field exchange between the four edits and the value members. Returns
    // false when a value was refused (the user has been told why).
    bool UpdateData(bool bSaveAndValidate = true) override;

    // Handlers. Each is bound to its control or event in the constructor;
    // an error the serial link raises in one ends it and is shown once.
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
    void OnCommEvent();
    void OnSysCommand(int nID, int lParam);
    void OnOK();

    QIcon m_hIcon;
    QSlider *m_sliderFrequency = nullptr;
    QSlider *m_sliderChannel1 = nullptr;
    QSlider *m_sliderChannel2 = nullptr;
    QSlider *m_sliderChannel3 = nullptr;
    CMSComm m_comm;
    QComboBox *m_comboPort = nullptr;

protected:
    virtual void DoDataExchange(CDataExchange *pDX);
    void SetSliderPos(int code, int position) override;
    void WriteFrame(const QByteArray &bytes) override;
    void accept() override;

private:
    struct Row
    {
        QSlider *slider = nullptr;
        QLineEdit *edit = nullptr;
        int *value = nullptr;
    };

    void OnInitDialog();
    void BindEvents();
    QAction *AddMenuCommand(const QString &text, const QKeySequence &shortcut);
    void RunHandler(const std::function<void()> &handler);
    void OnControlEvent(void (CMyDimraDlg::*handler)());
    void ReportError(const QString &text, const QString &details = QString());
    void EnableSettingControls(bool enable);
    void EnterDisconnectedState();
    void UpdateLinkIndicator();
    void MoveSlider(int code, int position);
    void DrawRow(int code);
    void ConfirmRow(int code);
    template <typename T> T *Control(int id) const;

    QHash<int, QWidget *> m_controls;
    Row m_rows[Dimra::kCommandCount]; // by command code: 1-3 channels, 4 frequency
    CRedrawNotifier *m_redraw[Dimra::kCommandCount] = {};
    QPushButton *m_btnConnect = nullptr;
    CLinkIndicator *m_linkIndicator = nullptr;
    bool m_bInExchange = false;
    // A position a board reply put a slider at; its redraw sends nothing,
    // since the board already holds that value.
    std::optional<int> m_reportedPos[Dimra::kCommandCount];
};
