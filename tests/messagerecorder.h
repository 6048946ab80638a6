#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Takes the place of the message boxes for a test: every message is
// recorded instead of shown, a modal one in messages, a notice (which waits
// for nobody) in notices. whileShown, when set, runs in place of the user
// reading a modal message, so a test can make things happen "behind" it.
class MessageRecorder
{
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    QStringList messages;
    QStringList details; // beside each message, the system's words (often empty)
    QStringList notices;
    std::function<void()> whileShown;

    QStringList take();
};
