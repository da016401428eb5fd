#include "windows/LinkWindowLayout.h"

#include <QMdiSubWindow>
#include <QWidget>

namespace q5n {

void chainFocus(const QList<QWidget *> &order)
{
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void maximizeLinkWindow(QWidget *window)
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(window->parentWidget()))
        sub->showMaximized();
    else if (!window->parentWidget())
        window->showMaximized();
}

} // namespace q5n
