#pragma once

#include <QList>

class QWidget;

namespace q5n {

// Tab order of a link window: each widget of `order` follows the one before.
void chainFocus(const QList<QWidget *> &order);
// A link window fills the main window: its sub-window (or the window itself,
// when it stands alone) is maximised.
void maximizeLinkWindow(QWidget *window);

} // namespace q5n
