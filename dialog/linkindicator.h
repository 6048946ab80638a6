#pragma once

#include <QColor>
#include <QLabel>
#include <QString>
#include <QTimer>

#include <functional>

class QPalette;

// Shows at a glance how far the link has come: port closed, port open and
// waiting for the board's first channel 1 reply, no answer after a while,
// or linked. Each state has a shape of its own (ring, half disc, warning
// triangle, disc), drawn as large as the caption text, and a colour of its
// own (closed grey, waiting the palette's link colour, no answer amber,
// linked green) that stands out from the window in light and dark palettes
// alike; the tooltip says it in words and names the device the port opened,
// or the address of a board behind a bridge.
// The state's glyph is the label's text, for screen readers. It only shows:
// nothing it does reaches the line.
class CLinkIndicator : public QLabel
{
    Q_OBJECT

public:
    enum State { PortClosed, Waiting, NoAnswer, Linked };

    explicit CLinkIndicator(QWidget *parent);

    // The state the dialog is in now; the device is the port's, if open.
    void setLink(bool portOpen, bool linked, const QString &device);
    // The board sits behind a bridge (an mqtt:// address) and whyNoAnswer,
    // asked whenever the mark shows no answer, says why in the link's words;
    // an empty function: a board on a serial port.
    void setBehindBridge(const std::function<QString()> &whyNoAnswer);
    // The link is open and knows that the board does not answer (its bridge
    // says so): no answer at once, without waiting for one.
    void setNoAnswer();
    // The port is closed and the dialog waits for its adapter to come back
    // and reconnect: drawn as waiting, with why as the tooltip.
    void setAwaitingDevice(const QString &why);
    State state() const { return m_state; }

    // The colour a state is drawn in on a window of this palette: at least
    // kMinContrast against the window's background.
    static QColor stateColor(State state, const QPalette &palette);
    static constexpr double kMinContrast = 3.0;
    // The width and height of the mark: the size of the caption text.
    int markSize() const;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void display(State state);

    State m_state = PortClosed;
    QString m_device;
    QString m_awaiting; // why the dialog waits for the device; empty while it does not
    std::function<QString()> m_whyNoAnswer; // set while the board sits behind a bridge
    QTimer m_answerTimer;
};

// The contrast ratio of two colours as the accessibility guidelines define
// it, from 1 (the same) to 21 (black on white).
double ContrastRatio(const QColor &a, const QColor &b);
