#include "windows/BusyScope.h"

#include "shell/ProgramHost.h"

namespace q5n {

BusyScope::BusyScope(QWidget *owner, bool &busy, ProgramHost *host, const QList<QWidget *> &widgets,
                     QWidget *focusAfter)
    : m_owner(owner), m_busy(busy), m_host(host), m_hostWindow(host ? host->hostWindow() : nullptr),
      m_focusAfter(focusAfter)
{
    m_busy = true;
    if (m_host)
        m_host->setExchangeRunning(true);
    for (QWidget *w : widgets) {
        if (!w)
            continue;
        // The widget's own flag, not what its parent makes of it.
        m_widgets.append({w, !w->testAttribute(Qt::WA_Disabled)});
        w->setEnabled(false);
    }
}

BusyScope::~BusyScope()
{
    for (const auto &[w, enabled] : std::as_const(m_widgets))
        if (w)
            w->setEnabled(enabled);
    if (m_host && m_hostWindow)
        m_host->setExchangeRunning(false);
    // The flag lives in the owner: only touched while the owner does.
    if (m_owner)
        m_busy = false;
    if (m_focusAfter && m_focusAfter->isEnabled() && m_focusAfter->isVisible())
        m_focusAfter->setFocus(Qt::OtherFocusReason);
}

} // namespace q5n
