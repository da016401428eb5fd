#include "windows/TabTextBox.h"

#include <QShortcut>

namespace q5n {

TabTextBox::TabTextBox(QWidget *parent) : QPlainTextEdit(parent)
{
    setTabChangesFocus(false);
    const std::pair<QList<QKeySequence>, bool> leaveKeys[] = {
        {{QKeySequence(Qt::CTRL | Qt::Key_Tab)}, true},
        {{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab)},
         false},
    };
    for (const auto &[keys, next] : leaveKeys) {
        auto *shortcut = new QShortcut(this);
        shortcut->setKeys(keys);
        shortcut->setContext(Qt::WidgetShortcut);
        // The window's chain, as Tab walks it from any other control.
        connect(shortcut, &QShortcut::activated, this, [this, next = next] { QWidget::focusNextPrevChild(next); });
    }
}

} // namespace q5n
