#include "linkindicator.h"

#include "abstractboardlink.h"

#include <QEvent>
#include <QFontInfo>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include <cmath>
#include <utility>

namespace {

double luminance(const QColor &c)
{
    const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

// The wanted colour, made darker on a light window and lighter on a dark
// one until it stands out enough; its hue stays.
QColor standingOut(const QColor &wanted, const QColor &window)
{
    const bool lightWindow = luminance(window) > 0.18;
    QColor c = wanted.toHsl();
    for (int step = 0; step < 50 && ContrastRatio(c, window) < CLinkIndicator::kMinContrast; ++step) {
        const float lightness =
            lightWindow ? std::max(0.0f, c.lightnessF() - 0.02f) : std::min(1.0f, c.lightnessF() + 0.02f);
        c.setHslF(c.hslHueF(), c.hslSaturationF(), lightness);
    }
    return c.toRgb();
}

} // namespace

double ContrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

CLinkIndicator::CLinkIndicator(QWidget *parent)
    : QLabel(parent)
{
    setObjectName(QStringLiteral("linkIndicator"));
    setAlignment(Qt::AlignCenter);
    setFocusPolicy(Qt::NoFocus);
    m_answerTimer.setSingleShot(true);
    m_answerTimer.setInterval(CAbstractBoardLink::kAnswerWaitMs);
    connect(&m_answerTimer, &QTimer::timeout, this, [this] {
        if (m_state == Waiting)
            display(NoAnswer);
    });
    display(PortClosed);
}

QColor CLinkIndicator::stateColor(State state, const QPalette &palette)
{
    const QColor window = palette.color(QPalette::Active, QPalette::Window);
    QColor wanted;
    switch (state) {
    case PortClosed: {
        // The text colour, softened: present, but plainly not in use.
        const QColor text = palette.color(QPalette::Active, QPalette::WindowText);
        wanted = QColor::fromRgbF(0.6f * text.redF() + 0.4f * window.redF(), 0.6f * text.greenF() + 0.4f * window.greenF(),
                                  0.6f * text.blueF() + 0.4f * window.blueF());
        break;
    }
    case Waiting:
        wanted = palette.color(QPalette::Active, QPalette::Link);
        break;
    case NoAnswer:
        wanted = QColor(0xF0, 0x9A, 0x00); // amber
        break;
    case Linked:
        wanted = QColor(0x2E, 0xB8, 0x45); // green
        break;
    }
    return standingOut(wanted, window);
}

int CLinkIndicator::markSize() const
{
    // As large as the caption text beside it (the dialog's font), and never
    // beyond the space the indicator has between its neighbours.
    return std::min({QFontInfo(font()).pixelSize(), width(), height()});
}

void CLinkIndicator::setLink(bool portOpen, bool linked, const QString &device)
{
    // Waiting for a device is not waiting for an answer: that starts now.
    const bool wasAwaiting = !std::exchange(m_awaiting, QString()).isEmpty();
    const bool deviceChanged = device != m_device || wasAwaiting;
    m_device = device;
    const State next = !portOpen ? PortClosed : linked ? Linked : m_state == NoAnswer ? NoAnswer : Waiting;
    if (next == Waiting && (m_state != Waiting || wasAwaiting))
        m_answerTimer.start();
    else if (next != Waiting)
        m_answerTimer.stop();
    if (next != m_state || deviceChanged)
        display(next);
}

void CLinkIndicator::setBehindBridge(const std::function<QString()> &whyNoAnswer)
{
    m_whyNoAnswer = whyNoAnswer;
    display(m_state);
}

void CLinkIndicator::setNoAnswer()
{
    m_answerTimer.stop();
    m_awaiting.clear();
    display(NoAnswer);
}

void CLinkIndicator::setAwaitingDevice(const QString &why)
{
    // No port is open, so there is no answer to wait for yet.
    m_answerTimer.stop();
    if (m_state == Waiting && why == m_awaiting)
        return;
    m_awaiting = why;
    display(Waiting);
}

void CLinkIndicator::display(State state)
{
    m_state = state;
    const bool remote = bool(m_whyNoAnswer);
    QString glyph;
    QString tip;
    switch (state) {
    case PortClosed:
        glyph = QStringLiteral("○");
        tip = remote ? tr("未连接光源控制器") : tr("串口未打开");
        break;
    case Waiting:
        glyph = QStringLiteral("◐");
        if (!m_awaiting.isEmpty())
            tip = m_awaiting;
        else if (remote)
            tip = tr("正在通过 MQTT 代理连接光源控制器（%1）……").arg(m_device);
        else
            tip = tr("串口已打开（%1），正在等待光源控制器应答……").arg(m_device);
        break;
    case NoAnswer:
        glyph = QStringLiteral("⚠");
        if (remote) {
            // The bridge's word on the board, as the link has it now.
            tip = tr("光源控制器（%1）没有应答，滑块的数值不会发送。").arg(m_device);
            if (const QString why = m_whyNoAnswer(); !why.isEmpty())
                tip += QLatin1Char('\n') + why;
        } else {
            tip = tr("串口已打开（%1），但光源控制器没有应答，滑块的数值不会发送。"
                     "请检查控制器的电源和连接线，以及所选端口是否正确。")
                      .arg(m_device);
        }
        break;
    case Linked:
        glyph = QStringLiteral("●");
        tip = tr("已连接光源控制器（%1）").arg(m_device);
        break;
    }
    setText(glyph);
    setToolTip(tip);
#if QT_CONFIG(accessibility)
    setAccessibleName(tip);
#endif
    update();
}

bool CLinkIndicator::event(QEvent *event)
{
    // What the bridge says of the board changes while the mark stays: the
    // tooltip says it as it is when the user looks.
    if (event->type() == QEvent::ToolTip && m_state == NoAnswer && m_whyNoAnswer)
        display(NoAnswer);
    return QLabel::event(event);
}

void CLinkIndicator::paintEvent(QPaintEvent *)
{
    // Drawn, not left to a font: every state's shape at the caption's size,
    // in the colour of the window's palette as it is now (light or dark).
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor color = stateColor(m_state, palette());
    const qreal size = markSize();
    const qreal pen = std::max<qreal>(1.5, size / 8);
    const QRectF box((width() - size) / 2, (height() - size) / 2, size, size);
    const QRectF ring = box.adjusted(pen / 2, pen / 2, -pen / 2, -pen / 2);
    painter.setPen(QPen(color, pen));
    switch (m_state) {
    case PortClosed:
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(ring);
        break;
    case Waiting: {
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(ring);
        QPainterPath half;
        half.moveTo(ring.center());
        half.arcTo(ring, 90, 180);
        half.closeSubpath();
        painter.fillPath(half, color);
        break;
    }
    case NoAnswer: {
        QPainterPath triangle;
        triangle.moveTo(box.center().x(), box.top());
        triangle.lineTo(box.right(), box.bottom());
        triangle.lineTo(box.left(), box.bottom());
        triangle.closeSubpath();
        painter.fillPath(triangle, color);
        // The exclamation mark in the window's colour, cut out of it.
        const QColor window = palette().color(QPalette::Window);
        painter.setPen(QPen(window, std::max<qreal>(1.5, size / 9), Qt::SolidLine, Qt::RoundCap));
        const qreal x = box.center().x();
        painter.drawLine(QPointF(x, box.top() + size * 0.38), QPointF(x, box.top() + size * 0.68));
        painter.drawPoint(QPointF(x, box.top() + size * 0.84));
        break;
    }
    case Linked:
        painter.setBrush(color);
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(box);
        break;
    }
}
