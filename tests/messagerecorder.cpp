#include "messagerecorder.h"

#include "messages.h"

MessageRecorder::MessageRecorder()
{
    SetMessagePresenter([this](QWidget *, const QString &text) {
        messages.append(text);
        if (whileShown)
            whileShown();
    });
}

MessageRecorder::~MessageRecorder()
{
    SetMessagePresenter({});
}

QStringList MessageRecorder::take()
{
    QStringList taken;
    taken.swap(messages);
    return taken;
}
