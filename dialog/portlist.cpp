#include "portlist.h"

#include "remoteaddress.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>

namespace {

// A device as the system finds it: a link as the node it leads to.
QString devicePathOf(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

QString toolTipFor(int n, const CommPortTarget &target)
{
    if (target.device.isEmpty())
        return CPortList::tr("COM%1 现在没有对应的设备。插上串口适配器后，这里会显示它的设备名。").arg(n);
    QString tip = QStringLiteral("%1 — %2").arg(target.device, target.description);
    if (target.identity != target.device)
        tip += QLatin1Char('\n') + target.identity;
    return tip;
}

// The address's entry, as a port's entry is made: the board's id and its
// broker's host, where the closed box has room, then the broker in full.
QString remoteEntryText(const QString &address)
{
    QString error;
    const std::optional<RemoteAddress> parsed = ParseRemoteAddress(address, true, &error);
    return parsed ? QStringLiteral("%1  %2 · %3").arg(parsed->boardId, parsed->host, parsed->brokerText()) : address;
}

} // namespace

CPortList::CPortList(QComboBox *combo, QObject *parent)
    : QObject(parent), m_combo(combo), m_view(combo->view())
{
    for (int i = 0; i < m_combo->count(); ++i)
        m_combo->setItemData(i, i + 1);
    m_view->installEventFilter(this);
    connect(&m_watcher, &CPortWatcher::targetsChanged, this, &CPortList::showTargets);
    connect(&m_watcher, &CPortWatcher::targetsChanged, this, &CPortList::targetsChanged);
    connect(combo, &QComboBox::currentIndexChanged, this, &CPortList::showCurrentTip);
    showTargets();
}

int CPortList::numberAt(int index) const
{
    return m_combo->itemData(index).toInt();
}

int CPortList::currentNumber() const
{
    return numberAt(m_combo->currentIndex());
}

void CPortList::select(int n)
{
    if (m_combo->findData(n) < 0) {
        int at = 0;
        while (at < m_combo->count() && numberAt(at) < n)
            ++at;
        m_combo->insertItem(at, CommPortName(n), n);
    }
    m_combo->setCurrentIndex(m_combo->findData(n));
    showTargets();
}

void CPortList::selectAtStart(const QString &port)
{
    if (IsRemotePortName(port.toUtf8())) {
        m_remote = port;
        if (m_combo->findData(kRemoteEntry) < 0)
            m_combo->insertItem(0, port, kRemoteEntry);
        return select(kRemoteEntry);
    }
    const std::optional<int> number = CommPortNumber(port);
    if (number && *number > 0)
        return select(*number);
    const CommPortTargets &targets = m_watcher.targets();
    const QString device = devicePathOf(port);
    for (auto it = targets.cbegin(); it != targets.cend(); ++it) {
        if (!it->device.isEmpty() && (it->identity == port || devicePathOf(it->device) == device))
            return select(it.key());
    }
    int free = 0;
    for (auto it = targets.cbegin(); it != targets.cend() && free == 0; ++it)
        if (it->device.isEmpty())
            free = it.key();
    if (free == 0 && !targets.isEmpty() && targets.lastKey() < kCommPortMax)
        free = targets.lastKey() + 1;
    if (free == 0)
        return;
    m_pathNumber = free;
    m_pathTarget = CommPortTargetForPath(QFile::encodeName(port));
    m_pathTarget.description = tr("命令行指定的设备");
    select(free);
}

QByteArray CPortList::portName(int n) const
{
    if (n == kRemoteEntry)
        return m_remote.toUtf8();
    return n == m_pathNumber ? m_pathTarget.nativePath : CommPortName(n).toLatin1();
}

void CPortList::showTargets()
{
    // Entries come and go around the selection, which stays on its item.
    CommPortTargets targets = m_watcher.targets();
    if (m_pathNumber > 0)
        targets.insert(m_pathNumber, m_pathTarget);
    const int current = currentNumber();
    for (int i = m_combo->count() - 1; i >= 0; --i)
        if (!targets.contains(numberAt(i)) && numberAt(i) != current && numberAt(i) != kRemoteEntry)
            m_combo->removeItem(i);
    int i = 0;
    for (auto it = targets.cbegin(); it != targets.cend(); ++it, ++i) {
        while (i < m_combo->count() && numberAt(i) < it.key())
            ++i; // the selected number, kept without a device
        if (i == m_combo->count() || numberAt(i) != it.key())
            m_combo->insertItem(i, CommPortName(it.key()), it.key());
    }
    const QColor greyed = m_combo->palette().color(QPalette::Disabled, QPalette::Text);
    for (i = 0; i < m_combo->count(); ++i) {
        const int n = numberAt(i);
        if (n == kRemoteEntry) {
            m_combo->setItemText(i, remoteEntryText(m_remote));
            m_combo->setItemData(i, tr("%1\ndimra-mqtt 在 MQTT 代理上提供的光源控制器").arg(m_remote), Qt::ToolTipRole);
            continue;
        }
        const CommPortTarget target = targets.value(n, NoDeviceTarget());
        m_combo->setItemText(i, CommPortEntryText(n, target));
        m_combo->setItemData(i, toolTipFor(n, target), Qt::ToolTipRole);
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
