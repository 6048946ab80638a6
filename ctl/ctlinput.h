#pragma once

#include <QByteArray>
#include <QObject>

#include <memory>

// A session's standard input as lines, read on the event loop: each
// complete line is handed over as it arrives (without its newline), and the
// end of the input once. A line longer than kMaxLineBytes is no request:
// lineTooLong comes in its place as soon as it is that long, and the rest of
// it is skipped, so that input without newlines cannot grow without bound. Platform code: on Unix a
// socket notifier on descriptor 0 (ctlinput_unix.cpp); what reads hands the
// bytes to handOver and the end to endOfInput, on the object's thread.
class CCtlInput : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype kMaxLineBytes = 64 * 1024;

    explicit CCtlInput(QObject *parent = nullptr);
    ~CCtlInput() override;

signals:
    void lineRead(const QByteArray &line);
    void lineTooLong();
    void ended();

private:
    void handOver(const QByteArray &bytes);
    void endOfInput();

    class Private;
    std::unique_ptr<Private> d;
    QByteArray m_line;
    bool m_bSkipping = false; // the rest of a line that was too long
};
