#pragma once

#include <QStringList>

class QWidget;

namespace q5n::test {

// Presses Tab round `window` from its first control, then Shift+Tab, and
// compares the stops with the screen order: left to right, top to bottom, a
// box or frame read whole before what stands to its right or below it. Every
// stop is a shown, enabled control of the window; Shift+Tab visits them in the
// reverse order. An exclusive option group counts once and must be entered at
// its selected option (its first when none is selected). Activates the
// window and moves the focus. Returns readable problems; empty when the order
// is good.
QStringList focusOrderProblems(QWidget *window);

// How a widget is named in the problems: its objectName, else its class and text.
QString describeWidget(const QWidget *widget);

} // namespace q5n::test
