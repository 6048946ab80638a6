#include "messagerecorder.h"

#include "messages.h"

MessageRecorder::MessageRecorder()
{
    SetMessagePresenter([this](QWidget *, const QString &text, const QString &detail) {
        messages.append(text);
        details.append(detail);
        if (whileShown)
            whileShown();
    });
    SetNoticePresenter([this](QWidget *, const QString &text, const QString &) { notices.append(text); });
}

MessageRecorder::~MessageRecorder()
{
    SetMessagePresenter({});
    SetNoticePresenter({});
}

QStringList MessageRecorder::take()
{
    QStringList taken;
    taken.swap(messages);
    details.clear();
    return taken;
}
