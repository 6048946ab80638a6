#include "bridgepresets.h"

#include "bridgemessages.h"
#include "printabletext.h"

#include <QDir>
#include <QFileInfo>

namespace {

// An editor that writes in several steps is done within this time; the
// file is read once, after the last of them.
constexpr int kSettleMs = 300;

} // namespace

CBridgePresets::CBridgePresets(const QString &path, QObject *parent)
    : QObject(parent)
    , m_file(path)
{
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(kSettleMs);
    // Watched again before it is read: a change while it is read is seen.
    connect(&m_settleTimer, &QTimer::timeout, this, [this] {
        watch();
        reload();
    });
    // The first change starts the wait; later ones fall within it, so that
    // a folder that changes all the time (a log beside the file) cannot
    // put the read off for ever.
    const auto changed = [this] {
        if (!m_settleTimer.isActive())
            m_settleTimer.start();
    };
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, changed);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, changed);
}

void CBridgePresets::start()
{
    if (!isConfigured())
        return;
    watch();
    reload();
    if (m_names.isEmpty()) // else told as they came
        logCount();
}

void CBridgePresets::reload()
{
    if (!isConfigured())
        return;
    m_file.reload();
    if (m_file.error() != m_strLoggedError) {
        m_strLoggedError = m_file.error();
        if (!m_strLoggedError.isEmpty())
            emit logged(DimraMqtt::tr("the presets file cannot be read, and gives no presets until it is mended: %1")
                            .arg(m_strLoggedError));
    }
    for (const QString &problem : m_file.problems())
        if (!m_loggedProblems.contains(problem))
            emit logged(problem);
    m_loggedProblems = m_file.problems();
    if (m_file.names() != m_names) {
        m_names = m_file.names();
        logCount();
        emit namesChanged();
    }
}

void CBridgePresets::logCount()
{
    emit logged(DimraMqtt::tr("%n preset(s) from %1", nullptr, int(m_names.size()))
                    .arg(QDir::toNativeSeparators(m_file.path())));
}

QString CBridgePresets::noSuchPresetText(const QString &name) const
{
    // The name as the command gave it, a control character in it escaped.
    const QString shown = PrintableText(name, false);
    if (!isConfigured())
        return DimraMqtt::tr("there is no preset \"%1\"; this bridge reads no presets file (presets= in its "
                             "configuration)")
            .arg(shown);
    if (!m_file.error().isEmpty())
        return DimraMqtt::tr("there is no preset \"%1\"; the presets file cannot be read: %2").arg(shown, m_file.error());
    return m_file.noSuchPresetText(name);
}

void CBridgePresets::watch()
{
    // The file's watch is set anew: a file saved whole is another file in
    // the old one's place, whose coming its folder's watch has seen.
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (QFileInfo(m_file.path()).isFile())
        m_watcher.addPath(m_file.path());
    QString folder = QFileInfo(m_file.path()).absolutePath();
    while (!QFileInfo(folder).isDir() && QFileInfo(folder).absolutePath() != folder)
        folder = QFileInfo(folder).absolutePath();
    for (const QString &watched : m_watcher.directories())
        if (watched != folder)
            m_watcher.removePath(watched);
    if (!m_watcher.directories().contains(folder))
        m_watcher.addPath(folder);
}
