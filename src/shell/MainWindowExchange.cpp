#include "shell/MainWindow.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>

namespace q5n {

namespace {

// Commands that stay usable during an exchange: leaving (refused by the busy
// window itself) and help.
bool staysAvailable(const QAction *a)
{
    const QString name = a->objectName();
    return name == QLatin1String("mnuFileExit") || name.startsWith(QLatin1String("mnuHelp"));
}

} // namespace

void MainWindow::setExchangeRunning(bool running)
{
    if (running == m_exchangeRunning)
        return;
    m_exchangeRunning = running;
    if (!running) {
        for (const auto &[action, enabled] : std::as_const(m_lockedCommands))
            if (action)
                action->setEnabled(enabled);
        m_lockedCommands.clear();
        return;
    }
    QList<QAction *> commands;
    for (QAction *a : findChildren<QAction *>()) {
        if (a->menu() || a->isSeparator() || !a->objectName().startsWith(QLatin1String("mnu")) || staysAvailable(a))
            continue;
        commands.append(a);
    }
    if (auto *bar = findChild<QToolBar *>(QStringLiteral("Toolbar1")))
        for (QAction *a : bar->actions())
            if (!a->isSeparator() && !commands.contains(a))
                commands.append(a);
    for (QAction *a : std::as_const(commands)) {
        m_lockedCommands.append({a, a->isEnabled()});
        a->setEnabled(false);
    }
}

} // namespace q5n
