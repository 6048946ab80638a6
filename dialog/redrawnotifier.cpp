#include "redrawnotifier.h"

#include <QAbstractSlider>
#include <QEvent>
#include <QMetaObject>

CRedrawNotifier::CRedrawNotifier(QAbstractSlider *slider, QObject *parent)
    : QObject(parent)
{
    connect(slider, &QAbstractSlider::valueChanged, this, &CRedrawNotifier::request);
    slider->installEventFilter(this);
}

bool CRedrawNotifier::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::EnabledChange && m_bWatchEnabled)
        request();
    return QObject::eventFilter(watched, event);
}

void CRedrawNotifier::request()
{
    if (m_bPending)
        return;
    m_bPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_bPending = false;
            emit redraw();
        },
        Qt::QueuedConnection);
}
