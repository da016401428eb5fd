#pragma once

#include <QStringList>

class QWidget;

namespace q5n::test {

// Walks the focus chain of `window` (the stops the Tab key visits among its
// visible, enabled descendants) and compares it with the screen order: left
// to right, top to bottom, a box or frame read whole before what stands to its
// right or below it. An exclusive option group counts once and must be
// entered at its selected option (its first when none is selected). Returns
// readable problems; empty when the order is good.
QStringList focusOrderProblems(QWidget *window);

// How a widget is named in the problems: its objectName, else its class and text.
QString describeWidget(const QWidget *widget);

} // namespace q5n::test
