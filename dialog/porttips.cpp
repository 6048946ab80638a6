#include "porttips.h"

#include "commport.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>

CPortTips::CPortTips(QComboBox *combo, QObject *parent)
    : QObject(parent), m_combo(combo), m_view(combo->view())
{
    combo->installEventFilter(this);
    m_view->installEventFilter(this);
    connect(combo, &QComboBox::currentIndexChanged, this, &CPortTips::refresh);
}

void CPortTips::refresh()
{
    const QList<CommPortTarget> targets = ResolveCommPorts(m_combo->count());
    for (int i = 0; i < m_combo->count(); ++i) {
        const CommPortTarget &target = targets.at(i);
        const QString tip = target.device.isEmpty()
            ? target.description
            : QStringLiteral("%1 — %2").arg(target.device, target.description);
        m_combo->setItemData(i, tip, Qt::ToolTipRole);
    }
    m_combo->setToolTip(m_combo->itemData(m_combo->currentIndex(), Qt::ToolTipRole).toString());
}

bool CPortTips::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == m_combo && event->type() == QEvent::ToolTip)
        || (watched == m_view && event->type() == QEvent::Show))
        refresh();
    return QObject::eventFilter(watched, event);
}
