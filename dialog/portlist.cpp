#include "portlist.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QScrollBar>

namespace {

QString toolTipFor(int n, const CommPortTarget &target)
{
    if (target.device.isEmpty())
        return CPortList::tr("COM%1 现在没有对应的设备。插上串口适配器后，这里会显示它的设备名。").arg(n);
    QString tip = QStringLiteral("%1 — %2").arg(target.device, target.description);
    if (target.identity != target.device)
        tip += QLatin1Char('\n') + target.identity;
    return tip;
}

} // namespace

CPortList::CPortList(QComboBox *combo, QObject *parent)
    : QObject(parent), m_combo(combo), m_view(combo->view()), m_watcher(combo->count())
{
    m_view->installEventFilter(this);
    connect(&m_watcher, &CPortWatcher::targetsChanged, this, &CPortList::showTargets);
    connect(&m_watcher, &CPortWatcher::targetsChanged, this, &CPortList::targetsChanged);
    connect(combo, &QComboBox::currentIndexChanged, this, &CPortList::showCurrentTip);
    showTargets();
}

void CPortList::showTargets()
{
    // Texts change in place: the selection is an index and stays put.
    const QList<CommPortTarget> &targets = m_watcher.targets();
    const QColor greyed = m_combo->palette().color(QPalette::Disabled, QPalette::Text);
    for (int i = 0; i < m_combo->count() && i < targets.size(); ++i) {
        const CommPortTarget &target = targets.at(i);
        m_combo->setItemText(i, CommPortEntryText(i + 1, target));
        m_combo->setItemData(i, toolTipFor(i + 1, target), Qt::ToolTipRole);
        m_combo->setItemData(i, target.device.isEmpty() ? QVariant(greyed) : QVariant(), Qt::ForegroundRole);
    }
    showCurrentTip();
    // The box is narrow; the open list is as wide as its longest entry.
    auto *view = m_combo->view();
    view->setMinimumWidth(view->sizeHintForColumn(0) + 2 * view->frameWidth()
                          + view->verticalScrollBar()->sizeHint().width());
}

void CPortList::showCurrentTip()
{
    m_combo->setToolTip(m_combo->itemData(m_combo->currentIndex(), Qt::ToolTipRole).toString());
}

bool CPortList::eventFilter(QObject *watched, QEvent *event)
{
    // Opening the list looks again, in case a change went unseen.
    if (watched == m_view && event->type() == QEvent::Show)
        m_watcher.refresh();
    return QObject::eventFilter(watched, event);
}
