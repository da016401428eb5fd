#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

namespace q5n {

class ProgramHost;

// The busy state of a link window for one exchange: disables the given
// widgets (and the main window's commands that could change the
// configuration or the link), marks the window busy, and on leaving the scope
// restores every widget's own enabled state, clears the mark and gives the
// focus back to the widget that started the exchange. Whatever way the
// exchange ends, nothing stays disabled.
class BusyScope
{
public:
    BusyScope(QWidget *owner, bool &busy, ProgramHost *host, const QList<QWidget *> &widgets,
              QWidget *focusAfter = nullptr);
    ~BusyScope();

    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    QPointer<QWidget> m_owner;
    bool &m_busy;
    ProgramHost *m_host;
    QPointer<QWidget> m_hostWindow;                  // the host lives as long as its window
    QList<QPair<QPointer<QWidget>, bool>> m_widgets; // with their own enabled state before
    QPointer<QWidget> m_focusAfter;
};

} // namespace q5n
