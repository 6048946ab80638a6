#pragma once

#include <QLabel>
#include <QString>
#include <QTimer>

// Shows at a glance how far the link has come: port closed, port open and
// waiting for the board's first channel 1 reply, or linked. A shape and a
// word in its tooltip tell the states apart, not colour alone; the tooltip
// names the device the port opened. After a few seconds without an answer it
// says so, and what to check. It only shows: nothing it does reaches the line.
class CLinkIndicator : public QLabel
{
    Q_OBJECT

public:
    enum State { PortClosed, Waiting, NoAnswer, Linked };

    explicit CLinkIndicator(QWidget *parent);

    // The state the dialog is in now; the device is the port's, if open.
    void setLink(bool portOpen, bool linked, const QString &device);
    State state() const { return m_state; }

    // How long an open port waits for the board before the indicator says it
    // has not answered.
    static constexpr int kAnswerWaitMs = 3000;

private:
    void display(State state);

    State m_state = PortClosed;
    QString m_strDevice;
    QTimer m_answerTimer;
};
