#include "dimradlg.h"

#include "aboutdlg.h"
#include "boardlinkfactory.h"
#include "dataexchange.h"
#include "dialogbuilder.h"
#include "linkindicator.h"
#include "messages.h"
#include "portchoice.h"
#include "portlist.h"
#include "presetfile.h"
#include "presetmenu.h"
#include "redrawnotifier.h"
#include "resource.h"
#include "stopsignals.h"
#include "serialerror.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <algorithm>
#include <utility>

using namespace Res;

namespace {

// The connect button's two captions, in the run's language. The connect
// caption is the template's own text.
QString captionConnect()
{
    return QCoreApplication::translate("DialogTemplate", "连接光源控制器");
}

QString captionDisconnect()
{
    return CMyDimraDlg::tr("断开光源控制器");
}

// Enabled and disabled together, in this order.
const int kSettingControls[] = {
    IDC_BUTTON_FREQUENCY, IDC_BUTTON_CHANNEL1, IDC_BUTTON_CHANNEL2, IDC_BUTTON_CHANNEL3,
    IDC_EDIT_FREQUENCY, IDC_EDIT_CHANNEL1, IDC_EDIT_CHANNEL2, IDC_EDIT_CHANNEL3,
    IDC_SLIDER_FREQUENCY, IDC_SLIDER_CHANNEL1, IDC_SLIDER_CHANNEL2, IDC_SLIDER_CHANNEL3,
};

// The rows of the dialog, by command code.
constexpr auto &kRowCodes = CDimraProtocol::kValueCodes;
constexpr int CmdChannel1 = CDimraProtocol::CmdChannel1;
constexpr int CmdChannel2 = CDimraProtocol::CmdChannel2;
constexpr int CmdChannel3 = CDimraProtocol::CmdChannel3;
constexpr int CmdFrequency = CDimraProtocol::CmdFrequency;

// Ends an exchange however it ends, and lets held serial events through.
class ExchangeScope
{
public:
    ExchangeScope(bool &flag, CAbstractBoardLink &link) : m_flag(flag), m_link(link)
    {
        m_flag = true;
        m_link.holdEvents();
    }
    ~ExchangeScope()
    {
        m_flag = false;
        m_link.releaseEvents();
    }

private:
    bool &m_flag;
    CAbstractBoardLink &m_link;
};

} // namespace

CMyDimraDlg::CMyDimraDlg(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_hIcon(QStringLiteral(":/icons/dimra-256.png"))
    , m_link(CBoardLinkFactory::create(QByteArray()))
{
    m_hIcon.addFile(QStringLiteral(":/icons/dimra-48.png"));
    m_hIcon.addFile(QStringLiteral(":/icons/dimra-32.png"));
    m_hIcon.addFile(QStringLiteral(":/icons/dimra-16.png"));

    m_controls = BuildDialog(this, MainDialogTemplate());
    m_sliderFrequency = Control<QSlider>(IDC_SLIDER_FREQUENCY);
    m_sliderChannel1 = Control<QSlider>(IDC_SLIDER_CHANNEL1);
    m_sliderChannel2 = Control<QSlider>(IDC_SLIDER_CHANNEL2);
    m_sliderChannel3 = Control<QSlider>(IDC_SLIDER_CHANNEL3);
    m_comboPort = Control<QComboBox>(IDC_COMBO_PORT);
    m_btnConnect = Control<QPushButton>(IDC_BUTTON_CONNECT);
    m_rows[CmdChannel1] = {m_sliderChannel1, Control<QLineEdit>(IDC_EDIT_CHANNEL1), &m_nChannel1,
                         Control<QPushButton>(IDC_BUTTON_CHANNEL1)};
    m_rows[CmdChannel2] = {m_sliderChannel2, Control<QLineEdit>(IDC_EDIT_CHANNEL2), &m_nChannel2,
                         Control<QPushButton>(IDC_BUTTON_CHANNEL2)};
    m_rows[CmdChannel3] = {m_sliderChannel3, Control<QLineEdit>(IDC_EDIT_CHANNEL3), &m_nChannel3,
                         Control<QPushButton>(IDC_BUTTON_CHANNEL3)};
    m_rows[CmdFrequency] = {m_sliderFrequency, Control<QLineEdit>(IDC_EDIT_FREQUENCY), &m_nFrequency,
                         Control<QPushButton>(IDC_BUTTON_FREQUENCY)};

    BindEvents();
    OnInitDialog();
}

CMyDimraDlg::~CMyDimraDlg()
{
    // Members die before ~QObject would cut these connections: a
    // notification must not reach a window whose parts are already gone.
    m_link->disconnect(this);
    disconnect(m_focusWatch);
}

template <typename T> T *CMyDimraDlg::Control(int id) const
{
    T *control = qobject_cast<T *>(m_controls.value(id));
    Q_ASSERT(control);
    return control;
}

// The event table: which handler each control and event reaches.
void CMyDimraDlg::BindEvents()
{
    const auto onClick = [this](int id, void (CMyDimraDlg::*handler)()) {
        connect(Control<QPushButton>(id), &QPushButton::clicked, this, [this, handler] { OnControlEvent(handler); });
    };
    const auto onRedraw = [this](int code, void (CMyDimraDlg::*handler)()) {
        m_redraw[code] = new CRedrawNotifier(m_rows[code].slider, this);
        connect(m_redraw[code], &CRedrawNotifier::redraw, this, [this, handler] { OnControlEvent(handler); });
    };
    onRedraw(CmdChannel1, &CMyDimraDlg::OnDrawChannel1);
    onRedraw(CmdChannel2, &CMyDimraDlg::OnDrawChannel2);
    onRedraw(CmdChannel3, &CMyDimraDlg::OnDrawChannel3);
    onClick(IDC_BUTTON_CHANNEL1, &CMyDimraDlg::OnConfirmChannel1);
    onClick(IDC_BUTTON_CHANNEL2, &CMyDimraDlg::OnConfirmChannel2);
    onClick(IDC_BUTTON_CHANNEL3, &CMyDimraDlg::OnConfirmChannel3);
    onClick(IDC_BUTTON_CONNECT, &CMyDimraDlg::OnConnect);
    onRedraw(CmdFrequency, &CMyDimraDlg::OnDrawFrequency);
    onClick(IDC_BUTTON_FREQUENCY, &CMyDimraDlg::OnConfirmFrequency);
    // Enter in a row's edit applies that row, as its confirm button does.
    // No button of the window answers Enter (see the dialog builder), so
    // Enter anywhere else does nothing.
    const auto onEnter = [this](int id, void (CMyDimraDlg::*handler)()) {
        connect(Control<QLineEdit>(id), &QLineEdit::returnPressed, this, [this, handler] { OnControlEvent(handler); });
    };
    onEnter(IDC_EDIT_FREQUENCY, &CMyDimraDlg::OnConfirmFrequency);
    onEnter(IDC_EDIT_CHANNEL1, &CMyDimraDlg::OnConfirmChannel1);
    onEnter(IDC_EDIT_CHANNEL2, &CMyDimraDlg::OnConfirmChannel2);
    onEnter(IDC_EDIT_CHANNEL3, &CMyDimraDlg::OnConfirmChannel3);
    // A refused text is told once: what the user types next is a new text.
    for (const int code : kRowCodes)
        connect(m_rows[code].edit, &QLineEdit::textChanged, this, [this, code] { m_bRefusalTold[code] = false; });
    m_focusWatch = connect(qApp, &QApplication::focusChanged, this, &CMyDimraDlg::OnFocusChanged);
    BindLinkEvents();
}

void CMyDimraDlg::BindLinkEvents()
{
    // The link's events are never dropped: during an exchange the link
    // holds them. The edits are rewritten after every
    // received byte, and once the port is open, before the open-link frame
    // goes out.
    const CAbstractBoardLink *link = m_link.get();
    connect(link, &CAbstractBoardLink::byteReceived, this, [this] { UpdateData(false); });
    connect(link, &CAbstractBoardLink::opened, this, [this] { UpdateData(false); });
    // What the window sent a board before is not what the board opened now holds.
    connect(link, &CAbstractBoardLink::opened, this, [this] { m_sentSinceReport = {}; });
    connect(link, &CAbstractBoardLink::linked, this, [this] {
        m_bLinked = true;
        UpdateLinkIndicator();
    });
    connect(link, &CAbstractBoardLink::valueReported, this, &CMyDimraDlg::OnValueReported);
    connect(link, &CAbstractBoardLink::lost, this, &CMyDimraDlg::OnLinkLost);
    connect(link, &CAbstractBoardLink::unlinked, this, &CMyDimraDlg::OnUnlinked);
    connect(link, &CAbstractBoardLink::refused, this, &CMyDimraDlg::OnSettingRefused);
}

void CMyDimraDlg::UseLinkFor(const QByteArray &port)
{
    if (CBoardLinkFactory::suits(*m_link, port))
        return;
    // The old link is closed, and none of its calls is under way; it goes
    // once nothing follows it any more.
    const std::unique_ptr<CAbstractBoardLink> old = std::exchange(m_link, CBoardLinkFactory::create(port));
    old->disconnect(this);
    BindLinkEvents();
    m_portChoice->follow(*m_link);
    const bool remote = IsRemotePortName(port);
    m_linkIndicator->setBehindBridge(remote ? std::function<QString()>([this] { return m_link->notLinkedText(); })
                                            : std::function<QString()>());
}

void CMyDimraDlg::OnInitDialog()
{
    UpdateData(false);
    m_portChoice = new CPortChoice(*m_link, this);
    connect(m_portChoice, &CPortChoice::adapterBack, this, &CMyDimraDlg::OnAdapterBack);

    // Most desktops here show no system menu: its commands live in the
    // window's context menu and answer their shortcuts.
    QAction *close = AddMenuCommand(tr("关闭串口并退出(&X)"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(close, &QAction::triggered, this, [this] { OnControlEvent(&CMyDimraDlg::OnCloseCommand); });
    QAction *reconnect = AddMenuCommand(tr("自动重连"), QKeySequence());
    reconnect->setCheckable(true);
    reconnect->setChecked(m_portChoice->reconnects());
    connect(reconnect, &QAction::toggled, this, &CMyDimraDlg::OnReconnectToggled);
    // The settings a preset saves are the sliders' positions.
    auto *presets = new CPresetMenu([this] { return CanApplyPreset(); },
                                    [this] {
                                        BoardValues settings;
                                        for (const int code : kRowCodes)
                                            settings[code] = m_rows[code].slider->value();
                                        return settings;
                                    },
                                    this);
    addAction(presets->menu()->menuAction());
    connect(presets, &CPresetMenu::applyRequested, this, [this](const Preset &preset) {
        if (!m_bInExchange)
            RunHandler([this, &preset] { ApplyPreset(preset); });
    });
    const QString about = LoadResString(IDS_ABOUTBOX);
    if (!about.isEmpty()) {
        auto *separator = new QAction(this);
        separator->setSeparator(true);
        addAction(separator);
        QAction *aboutAction = AddMenuCommand(about, QKeySequence(Qt::Key_F1));
        connect(aboutAction, &QAction::triggered, this,
                [this] { RunHandler([this] { OnSysCommand(IDM_ABOUTBOX, 0); }); });
    }
    setContextMenuPolicy(Qt::ActionsContextMenu);

    setWindowIcon(m_hIcon);

    for (int i = 0; i < kCommPortCount; ++i)
        m_comboPort->insertItem(i, CommPortName(i + 1));
    m_comboPort->setCurrentIndex(0);
    // Each entry then says what its number opens, and follows hot-plug;
    // the numbers above COM12 that have a device follow them.
    m_portList = new CPortList(m_comboPort, this);
    connect(m_portList, &CPortList::targetsChanged, m_portChoice, &CPortChoice::look);
    // The adapter linked on last, whatever number it has now, or the board
    // behind a bridge.
    if (const int remembered = m_portChoice->rememberedNumber(m_portList->targets()); remembered > 0)
        m_portList->select(remembered);
    else if (const QString address = m_portChoice->rememberedAddress(); !address.isEmpty())
        m_portList->selectAtStart(address);

    for (const int code : kRowCodes) {
        QSlider *slider = m_rows[code].slider;
        slider->setRange(CDimraProtocol::RangeOf(code).min, CDimraProtocol::RangeOf(code).max);
        slider->setTickInterval(code == CmdFrequency ? Dimra::kFrequencyTick : Dimra::kDutyTick);
        // Page Up and Page Down step from tick to tick; arrow keys by one.
        slider->setPageStep(slider->tickInterval());
    }

    // A screen reader names each row's slider and edit after its label.
    // The names in full, where a label may be shortened to fit its place.
    // (Qt for Windows as tools/windows-qt.sh builds it has no accessibility.)
#if QT_CONFIG(accessibility)
    const QPair<int, QString> rowLabels[] = {{CmdFrequency, tr("频率")},
                                             {CmdChannel1, tr("通道1")},
                                             {CmdChannel2, tr("通道2")},
                                             {CmdChannel3, tr("通道3")}};
    for (const auto &[code, label] : rowLabels) {
        m_rows[code].slider->setAccessibleName(label);
        m_rows[code].edit->setAccessibleName(label);
    }
#endif

    // Between the connect button and the vendor labels; no control moves.
    m_linkIndicator = new CLinkIndicator(this);
    m_linkIndicator->setGeometry(CDialogUnits(font()).toPixels(203, 11, 16, 14));

    // The first enabled tab stop.
    m_btnConnect->setFocus(Qt::OtherFocusReason);
}

QAction *CMyDimraDlg::AddMenuCommand(const QString &text, const QKeySequence &shortcut)
{
    auto *action = new QAction(text, this);
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    return action;
}

void CMyDimraDlg::RunHandler(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const CSerialError &e) {
        ReportError(e.text(), e.details());
    } catch (const std::exception &e) {
        ReportError(QString::fromLocal8Bit(e.what()));
    }
    UpdateLinkIndicator();
}

void CMyDimraDlg::UpdateLinkIndicator()
{
    if (!m_linkIndicator)
        return;
    if (m_portChoice->waiting())
        m_linkIndicator->setAwaitingDevice(m_portChoice->waitingText());
    else
        m_linkIndicator->setLink(m_link->isOpen(), m_bLinked, m_link->devicePath());
}

void CMyDimraDlg::OnControlEvent(void (CMyDimraDlg::*handler)())
{
    // While an exchange runs, notifications of the window's own controls
    // are dropped, not deferred.
    if (m_bInExchange)
        return;
    RunHandler([this, handler] { (this->*handler)(); });
}

void CMyDimraDlg::ReportError(const QString &text, const QString &details)
{
    // Whatever the failure, a closed port means the window is disconnected:
    // a device lost while reading or writing leaves it here too. The mark
    // says so before the message waits for the user.
    CPortChoice::Loss loss = CPortChoice::Loss::None;
    if (!m_link->isOpen()) {
        loss = m_portChoice->portClosed();
        EnterDisconnectedState();
    }
    UpdateLinkIndicator();
    if (m_bEnding || loss == CPortChoice::Loss::Quiet)
        return;
    // While the window waits for the adapter, a box that waits for the
    // user must not hold the reconnect back.
    if (loss == CPortChoice::Loss::Notice)
        DimraNotice(this,
                    text + QStringLiteral("\n\n")
                        + tr("插回同一个适配器后，Dimra 会自动重新连接；点“%1”可以停止等待。").arg(captionDisconnect()),
                    details);
    else
        DimraMessageBox(this, text, details);
}

bool CMyDimraDlg::UpdateData(bool bSaveAndValidate)
{
    return Exchange(bSaveAndValidate, [this](CDataExchange *pDX) { DoDataExchange(pDX); });
}

bool CMyDimraDlg::Exchange(bool bSaveAndValidate, const std::function<void(CDataExchange *)> &exchange)
{
    if (m_bInExchange || !m_btnConnect)
        return false; // exchanges never nest
    ExchangeScope scope(m_bInExchange, *m_link);
    CDataExchange dx(bSaveAndValidate, this);
    try {
        exchange(&dx);
    } catch (const CDataExchangeFailure &) {
        return false;
    }
    return true;
}

bool CMyDimraDlg::ReadRow(int code, int &value)
{
    // The slider's range is the row's validation range. A text the user
    // has been told is refused stays for correcting, with no second message.
    const Row &row = m_rows[code];
    if (m_bRefusalTold[code])
        return false;
    return Exchange(true, [this, code, &row, &value](CDataExchange *pDX) {
        RowStep(code, [&] {
            DDX_Text(pDX, row.edit, value);
            DDV_MinMaxInt(pDX, value, row.slider->minimum(), row.slider->maximum());
        });
    });
}

void CMyDimraDlg::RowStep(int code, const std::function<void()> &step)
{
    try {
        step();
    } catch (const CDataExchangeFailure &) {
        m_bRefusalTold[code] = true;
        throw;
    }
}

void CMyDimraDlg::DoDataExchange(CDataExchange *pDX)
{
    // A text refused and told already is neither read nor checked again, so
    // that every later exchange does not show its message once more; its
    // edit still counts as transferred for where a failure puts the focus.
    // Nor is it written over: it stays for correcting, whatever the board
    // sends meanwhile, until the user leaves its row.
    const auto transfer = [this, pDX](int code) {
        const Row &row = m_rows[code];
        if (!m_bRefusalTold[code])
            RowStep(code, [&] { DDX_Text(pDX, row.edit, *row.value); });
        else if (pDX->m_bSaveAndValidate)
            pDX->PrepareEditCtrl(row.edit);
    };
    const auto check = [this, pDX](int code) {
        if (!m_bRefusalTold[code])
            RowStep(code, [&] {
                DDV_MinMaxInt(pDX, *m_rows[code].value, CDimraProtocol::RangeOf(code).min,
                              CDimraProtocol::RangeOf(code).max);
            });
    };
    // Keep this order: channels 2 and 3 are checked before the frequency is
    // read, channel 1 after it, and which edit a bad value puts the focus on
    // follows from that; the board's users rely on it.
    transfer(CmdChannel1);
    transfer(CmdChannel2);
    transfer(CmdChannel3);
    check(CmdChannel2);
    check(CmdChannel3);
    transfer(CmdFrequency);
    check(CmdChannel1);
    check(CmdFrequency);
}

void CMyDimraDlg::LeaveRefusedRows(const QWidget *stay)
{
    // The refused text goes unsent: the edit and the member show the row's
    // value, the slider's position, again. The row's own confirm button is
    // part of the row: clicking it again is no leaving.
    for (const int code : kRowCodes) {
        const Row &row = m_rows[code];
        if (!m_bRefusalTold[code] || row.edit == stay || row.confirm == stay)
            continue;
        m_bRefusalTold[code] = false;
        *row.value = row.slider->value();
        row.edit->setText(QString::number(*row.value));
    }
}

void CMyDimraDlg::OnFocusChanged(QWidget *old, QWidget *now)
{
    // Only a move from one control of the window to another leaves a row: a
    // message box or a menu takes the focus while it shows and gives it back.
    if (old && now && isAncestorOf(old) && isAncestorOf(now))
        LeaveRefusedRows(now);
}

void CMyDimraDlg::EnableSettingControls(bool enable)
{
    for (int id : kSettingControls)
        m_controls.value(id)->setEnabled(enable);
}

void CMyDimraDlg::EnterDisconnectedState()
{
    m_bLinked = false;
    // While the window waits for a lost adapter, a click on the button
    // ends the wait: it reads as disconnect.
    m_btnConnect->setText(m_portChoice->waiting() ? captionDisconnect() : captionConnect());
    // Locking the sliders here asks for no redraw: its validation would
    // bring a message about the edits after the one about the failure.
    for (const int code : kRowCodes)
        m_redraw[code]->setWatchEnabledChange(false);
    EnableSettingControls(false);
    for (const int code : kRowCodes)
        m_redraw[code]->setWatchEnabledChange(true);
}

void CMyDimraDlg::OnConnect()
{
    QString str = m_btnConnect->text();

    if (m_portChoice->waiting()) {
        // Disconnected by hand while the window waits for a lost adapter.
        m_portChoice->closed();
        EnterDisconnectedState();
    } else if (!m_link->isOpen()) {
        OpenPort(m_portList->currentNumber(), true);
    } else {
        m_link->close();
        m_portChoice->closed();
        m_bLinked = false;
        // The caption, not the port, tells whether the window was connected:
        // after a failed open-link write the port is open under the connect
        // caption, and this click only closes it.
        if (str != captionConnect()) {
            str = captionConnect();
            UpdateData(true);
            m_btnConnect->setText(str);
            EnableSettingControls(false);
        }
    }
}

// Opens the entry of port number n (COMn, the path it was given at start,
// or the address of a board behind a bridge) and unlocks the setting
// controls. By hand (a click), the
// edits are read as a connect always has; a reconnect after a loss only
// writes them, so that no message about them holds it up.
void CMyDimraDlg::OpenPort(int port, bool byHand)
{
    // The list may be a moment behind a plug or an unplug: look now. The
    // link says when there is nothing to open, or another adapter in place
    // of the one a loss took away.
    m_portList->refresh();
    const QByteArray name = m_portList->portName(port);
    UseLinkFor(name);
    m_link->open(name);
    if (!m_link->isOpen())
        return;
    UpdateData(byHand);
    m_btnConnect->setText(captionDisconnect());
    EnableSettingControls(true);
}

void CMyDimraDlg::OnAdapterBack(int port)
{
    // A message being read holds the window's exchanges; the next look
    // tries again.
    if (m_bInExchange)
        return;
    m_portList->select(port);
    try {
        OpenPort(port, false);
    } catch (const CSerialError &e) {
        // Not yet (udev still setting the device up, say): the wait goes
        // on, and the mark's tooltip says what happened.
        if (m_link->isOpen())
            m_link->close();
        m_portChoice->retryFailed(e.text());
    }
    UpdateLinkIndicator();
}

void CMyDimraDlg::OnReconnectToggled(bool on)
{
    const bool waited = m_portChoice->waiting();
    m_portChoice->setReconnects(on);
    if (waited && !m_portChoice->waiting()) {
        EnterDisconnectedState();
        UpdateLinkIndicator();
    }
}

void CMyDimraDlg::StartOn(const QString &port, bool connect)
{
    if (!port.isEmpty())
        m_portList->selectAtStart(port);
    // Once the window shows, so that a message has it to stand over.
    if (connect)
        QMetaObject::invokeMethod(this, [this] { OnControlEvent(&CMyDimraDlg::OnConnect); }, Qt::QueuedConnection);
}

void CMyDimraDlg::OnCloseCommand()
{
    reject();
}

void CMyDimraDlg::reject()
{
    // Ctrl+Q, Escape and the close box all end here: what still waits
    // reaches the board before the port closes, and no lost adapter is
    // waited for any more.
    m_portChoice->closed();
    if (m_link->isOpen())
        RunHandler([this] { m_link->close(); });
    QDialog::reject();
}

void CMyDimraDlg::EndSession()
{
    m_bEnding = true;
    m_portChoice->closed();
    RunHandler([this] {
        if (m_link->isOpen())
            m_link->close();
    });
    // Nothing more is sent, and a message or the About box waiting for an
    // answer goes with the window.
    EnterDisconnectedState();
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window != this && window->isVisible() && window->isModal())
            window->close();
    reject();
}

void CMyDimraDlg::EndSessionOnStopSignals()
{
    if (CStopSignals *stops = CStopSignals::watch())
        connect(stops, &CStopSignals::stopRequested, this, &CMyDimraDlg::EndSession);
}

void CMyDimraDlg::OnConfirmFrequency() { ConfirmRow(CmdFrequency); }
void CMyDimraDlg::OnConfirmChannel1() { ConfirmRow(CmdChannel1); }
void CMyDimraDlg::OnConfirmChannel2() { ConfirmRow(CmdChannel2); }
void CMyDimraDlg::OnConfirmChannel3() { ConfirmRow(CmdChannel3); }

void CMyDimraDlg::ConfirmRow(int code)
{
    // A text that is not a number in the row's range is refused with field
    // exchange's message, and nothing moves: a typo must never drive the
    // light. The edit keeps it, selected, for correcting until the user
    // leaves the row. A good value moves the slider; the member, the edit
    // and the frame follow from its redraw.
    int value = 0;
    if (ReadRow(code, value))
        MoveSlider(code, value);
}

void CMyDimraDlg::MoveSlider(int code, int position)
{
    QSlider *slider = m_rows[code].slider;
    slider->setValue(position);
    // A clamp to the position the slider holds already changes nothing the
    // slider announces; its redraw must still bring the member and the edit
    // back to the slider and, while linked, send the clamped value.
    if (slider->value() != position)
        m_redraw[code]->request();
}

void CMyDimraDlg::OnDrawFrequency() { DrawRow(CmdFrequency); }
void CMyDimraDlg::OnDrawChannel1() { DrawRow(CmdChannel1); }
void CMyDimraDlg::OnDrawChannel2() { DrawRow(CmdChannel2); }
void CMyDimraDlg::OnDrawChannel3() { DrawRow(CmdChannel3); }

void CMyDimraDlg::DrawRow(int code)
{
    const Row &row = m_rows[code];
    const bool held = m_heldPos[code] == row.slider->value();
    m_heldPos[code].reset();
    // A slider the user moved (the mouse wheel leaves the focus where it
    // is) leaves a row whose text was refused; one the board moved does
    // not, and a preset has left every row already.
    if (!held)
        LeaveRefusedRows(nullptr);
    UpdateData(true);
    *row.value = row.slider->value();
    if (m_bLinked && !held)
        SendCommand(code, *row.value);
    UpdateData(false);
}

void CMyDimraDlg::SendCommand(int code, int value)
{
    // Building a frame has always refreshed the edits before it goes out.
    UpdateData(false);
    m_link->send(code, value);
    m_sentSinceReport[code] = value;
}

void CMyDimraDlg::OnValueReported(int code, int value)
{
    // What the board reports is no typing of the user's: a value out of
    // range (a channel at C8) is held as the slider clamps it, so that no
    // exchange finds it in an edit and blames the user for it. The slider
    // still sees the value itself, and sends the clamped one back.
    m_sentSinceReport[code].reset();
    const QSlider *slider = m_rows[code].slider;
    *m_rows[code].value = std::clamp(value, slider->minimum(), slider->maximum());
    SetSliderPos(code, value);
    UpdateData(false);
}

void CMyDimraDlg::OnLinkLost(const QString &text, const QString &details)
{
    // The port is closed already: reported once, and the window disconnected.
    ReportError(text, details);
}

void CMyDimraDlg::OnUnlinked()
{
    // A board behind a bridge that its bridge reports offline, or whose
    // bridge went away: nothing is sent until it reports again, and the
    // mark says so at once, with the link's reason in its tooltip.
    m_bLinked = false;
    m_linkIndicator->setNoAnswer();
}

void CMyDimraDlg::OnSettingRefused(const QString &reason)
{
    // A notice replaces the one before it: a drag the bridge refuses
    // shows one box, not one for each command.
    if (!m_bEnding)
        DimraNotice(this, tr("dimra-mqtt 没有接受这个设置：%1").arg(reason));
}

void CMyDimraDlg::SetSliderPos(int code, int position)
{
    QSlider *slider = m_rows[code].slider;
    const int before = slider->value();
    MoveSlider(code, position);
    // Echoing a reported value back would start an endless exchange with a
    // board that answers every command. Only a value the slider had to
    // clamp (a channel reply of C8 shows as 100) goes back to the board.
    if (slider->value() == position && position != before)
        m_heldPos[code] = position;
}

bool CMyDimraDlg::CanApplyPreset() const
{
    // Linked as the window shows it: after a failed open-link write the
    // board may answer while the window reads disconnected, its controls
    // locked.
    return m_bLinked && m_link->isLinked() && m_sliderFrequency->isEnabled();
}

void CMyDimraDlg::ApplyPreset(const Preset &preset)
{
    if (!CanApplyPreset())
        return;
    // Applying leaves every row: a text typed and not confirmed, refused or
    // not yet read, gives way to the row's value, so that no exchange after
    // this one finds it and brings a message. The preset's values are in
    // range.
    for (const int code : kRowCodes) {
        const Row &row = m_rows[code];
        m_bRefusalTold[code] = false;
        *row.value = preset.values[code].value_or(row.slider->value());
    }
    UpdateData(false);
    for (const int code : kRowCodes) {
        if (!preset.values[code])
            continue;
        const int value = *preset.values[code];
        const int held = BoardValue(code);
        QSlider *slider = m_rows[code].slider;
        if (slider->value() != value) {
            m_heldPos[code] = value;
            slider->setValue(value);
        }
        // Merged and paced with the rest, as a drag's values are.
        if (value != held)
            SendCommand(code, value);
    }
}

int CMyDimraDlg::BoardValue(int code) const
{
    // What the window sent since the board reported, else what the board
    // reported, else, where it has not said, the window's own value.
    if (m_sentSinceReport[code])
        return *m_sentSinceReport[code];
    if (m_link->reported()[code])
        return *m_link->reported()[code];
    return m_rows[code].slider->value();
}

void CMyDimraDlg::OnSysCommand(int nID, int lParam)
{
    Q_UNUSED(lParam);
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout(this);
        dlgAbout.exec();
    }
}

void CMyDimraDlg::OnOK()
{
    // Enter must never close the dialog.
}

void CMyDimraDlg::accept()
{
    OnOK();
}
