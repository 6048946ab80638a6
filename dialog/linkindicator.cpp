#include "linkindicator.h"


CLinkIndicator::CLinkIndicator(QWidget *parent)
    : QLabel(parent)
{
    setObjectName(QStringLiteral("linkIndicator"));
    setAlignment(Qt::AlignCenter);
    setFocusPolicy(Qt::NoFocus);
    m_answerTimer.setSingleShot(true);
    m_answerTimer.setInterval(kAnswerWaitMs);
    connect(&m_answerTimer, &QTimer::timeout, this, [this] {
        if (m_state == Waiting)
            display(NoAnswer);
    });
    display(PortClosed);
}

void CLinkIndicator::setLink(bool portOpen, bool linked, const QString &device)
{
    const bool deviceChanged = device != m_strDevice;
    m_strDevice = device;
    const State next = !portOpen ? PortClosed : linked ? Linked : m_state == NoAnswer ? NoAnswer : Waiting;
    if (next == Waiting && m_state != Waiting)
        m_answerTimer.start();
    else if (next != Waiting)
        m_answerTimer.stop();
    if (next != m_state || deviceChanged)
        display(next);
}

void CLinkIndicator::display(State state)
{
    m_state = state;
    QString glyph;
    QString tip;
    QPalette::ColorRole role = QPalette::WindowText;
    QPalette::ColorGroup group = QPalette::Active;
    switch (state) {
    case PortClosed:
        glyph = QStringLiteral("○");
        tip = tr("串口未打开");
        group = QPalette::Disabled;
        break;
    case Waiting:
        glyph = QStringLiteral("◐");
        tip = tr("串口已打开（%1），正在等待光源控制器应答……").arg(m_strDevice);
        role = QPalette::Link;
        break;
    case NoAnswer:
        glyph = QStringLiteral("⚠");
        tip = tr("串口已打开（%1），但光源控制器没有应答，滑块的数值不会发送。"
                 "请检查控制器的电源和连接线，以及所选端口是否正确。")
                  .arg(m_strDevice);
        break;
    case Linked:
        glyph = QStringLiteral("●");
        tip = tr("已连接光源控制器（%1）").arg(m_strDevice);
        role = QPalette::Highlight;
        break;
    }
    // Colours come from the window's palette, so that dark themes keep them readable.
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, parentWidget()->palette().color(group, role));
    setPalette(pal);
    setText(glyph);
    setToolTip(tip);
    setAccessibleName(tip);
}
