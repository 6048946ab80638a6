#include "presetmenu.h"

#include "messages.h"

#include <QAction>
#include <QInputDialog>
#include <QKeySequence>
#include <QMenu>
#include <QMessageBox>
#include <QShortcut>
#include <utility>

namespace {

// Ctrl+1 to Ctrl+9.
constexpr int kKeyCount = 9;

QKeySequence keyOf(int index)
{
    return QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + index));
}

// A name or a message as a menu shows it: an & is a character, not the
// mark of a mnemonic.
QString menuText(const QString &text)
{
    return QString(text).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

CPresetMenu::CPresetMenu(std::function<bool()> canApply, std::function<BoardValues()> settings, QWidget *window)
    : QObject(window)
    , m_canApply(std::move(canApply))
    , m_settings(std::move(settings))
    , m_window(window)
    , m_menu(new QMenu(tr("预设"), window))
    , m_deleteMenu(new QMenu(tr("删除预设"), m_menu))
{
    // Why applying is not possible shows as the disabled items' tooltip.
    m_menu->setToolTipsVisible(true);
    connect(m_menu, &QMenu::aboutToShow, this, &CPresetMenu::rebuild);
    // The keys are the window's, so that they work with the menu closed.
    for (int i = 0; i < kKeyCount; ++i) {
        auto *key = new QShortcut(keyOf(i), window);
        connect(key, &QShortcut::activated, this, [this, i] { applyAt(i); });
    }
    rebuild();
}

void CPresetMenu::rebuild()
{
    // The delete menu's item is its own: clearing the menu only takes it out.
    m_menu->clear();
    m_deleteMenu->clear();
    const CPresetFile file(m_path);
    const bool readable = file.error().isEmpty();
    const bool canApply = m_canApply();
    const QString notLinked = tr("光源控制器连接并应答后才能应用预设");
    if (!readable)
        addNote(file.error());
    else if (file.presets().isEmpty())
        addNote(tr("（无预设）"));
    else if (!canApply)
        addNote(notLinked);
    for (qsizetype i = 0; i < file.presets().size(); ++i) {
        const Preset &preset = file.presets().at(i);
        QAction *item = m_menu->addAction(menuText(preset.name));
        // Shown beside the item; the window's own key applies the preset
        // that is at that place in the file when it is pressed.
        if (i < kKeyCount) {
            item->setShortcut(keyOf(int(i)));
            item->setShortcutContext(Qt::WidgetShortcut);
        }
        item->setEnabled(canApply);
        if (!canApply)
            item->setToolTip(notLinked);
        connect(item, &QAction::triggered, this, [this, preset] { emit applyRequested(preset); });
        connect(m_deleteMenu->addAction(menuText(preset.name)), &QAction::triggered, this,
                [this, name = preset.name] { deletePreset(name); });
    }
    for (const QString &problem : file.problems())
        addNote(problem);
    m_menu->addSeparator();
    QAction *save = m_menu->addAction(tr("保存当前设置为预设…"));
    save->setEnabled(readable);
    connect(save, &QAction::triggered, this, &CPresetMenu::saveSettings);
    m_deleteMenu->setEnabled(!file.presets().isEmpty());
    m_menu->addMenu(m_deleteMenu);
}

void CPresetMenu::addNote(const QString &text)
{
    m_menu->addAction(menuText(text))->setEnabled(false);
}

void CPresetMenu::applyAt(int index)
{
    const CPresetFile file(m_path);
    if (index < file.presets().size())
        emit applyRequested(file.presets().at(index));
}

void CPresetMenu::saveSettings()
{
    Preset preset{QString(), m_settings()};
    for (;;) {
        bool ok = false;
        preset.name = QInputDialog::getText(m_window, tr("保存当前设置为预设"),
                                            tr("预设名称（1 到 %1 个字符）：").arg(CPresetFile::kNameMax),
                                            QLineEdit::Normal, preset.name, &ok);
        if (!ok)
            return;
        const QString problem = CPresetFile::problemOf(preset);
        if (problem.isEmpty())
            break;
        DimraMessageBox(m_window, tr("这个名称不能用：%1。").arg(problem));
    }
    CPresetFile file(m_path);
    if (file.holds(preset.name) && !ask(tr("已有名为“%1”的预设。要替换它吗？").arg(preset.name)))
        return;
    if (const PresetChange change = file.save(preset); change.outcome != PresetChange::Done)
        DimraMessageBox(m_window, change.error);
}

void CPresetMenu::deletePreset(const QString &name)
{
    if (!ask(tr("要删除预设“%1”吗？").arg(name)))
        return;
    CPresetFile file(m_path);
    if (const PresetChange change = file.remove(name); change.outcome != PresetChange::Done)
        DimraMessageBox(m_window, change.error);
}

bool CPresetMenu::ask(const QString &question)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Dimra"), question, QMessageBox::Yes | QMessageBox::No,
                    m_window);
    box.setTextFormat(Qt::PlainText); // a name is shown as it is written, never as markup
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
