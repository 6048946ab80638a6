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
    if (event->type() == QEvent::EnabledChange && m_watchEnabled)
        request();
    return QObject::eventFilter(watched, event);
}

void CRedrawNotifier::request()
{
    if (m_pending)
        return;
    m_pending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_pending = false;
            emit redraw();
        },
        Qt::QueuedConnection);
}
