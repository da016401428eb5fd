#include "shell/PageSwitcher.h"

#include "model/PageTable.h"
#include "model/ProgramState.h"
#include "shell/PageWindow.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSet>

namespace q5n {

namespace {

PageFamily familyOf(int page)
{
    const PageInfo *p = pageInfo(page);
    return p ? p->family : PageFamily::Tool;
}

} // namespace

PageSwitcher::PageSwitcher(ProgramHost &host, ProgramState &state, QMdiArea *area, Lookup menuItem,
                           Lookup toolbarButton, QObject *parent)
    : QObject(parent), m_host(host), m_state(state), m_area(area), m_menuItem(std::move(menuItem)),
      m_toolbarButton(std::move(toolbarButton))
{
}

void PageSwitcher::registerPage(int page, PageFactory factory)
{
    m_factories[page] = std::move(factory);
    updateCommandAvailability();
}

PageWindow *PageSwitcher::showPage(int page)
{
    const auto it = m_factories.find(page);
    if (it == m_factories.end())
        return nullptr;
    PageWindow *window = it->second(m_host);
    if (!window)
        return nullptr;
    QMdiSubWindow *sub = addPageWindow(page, window);
    sub->show();
    window->setFocus();
    return window;
}

QMdiSubWindow *PageSwitcher::addPageWindow(int page, QWidget *window)
{
    window->setAttribute(Qt::WA_DeleteOnClose);
    QMdiSubWindow *sub = m_area->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    Q_EMIT windowAdded(sub);
    m_open[page] = {sub, window};
    m_state.activePage = static_cast<qint16>(page);
    // A window that goes without closing (its frame deleted) is forgotten too.
    connect(sub, &QObject::destroyed, this, [this, page, window] { windowClosed(page, window); });
    showOpenState();
    return sub;
}

QMdiSubWindow *PageSwitcher::pageWindow(int page) const
{
    const auto it = m_open.find(page);
    return it == m_open.end() ? nullptr : it->second.sub;
}

void PageSwitcher::windowClosed(int page, QWidget *window)
{
    const auto it = m_open.find(page);
    // Compared as plain addresses: the window may be half destroyed here.
    if (it == m_open.end() || it->second.window != window)
        return;
    disconnect(it->second.sub, &QObject::destroyed, this, nullptr);
    m_open.erase(it);
    if (m_state.activePage == page)
        m_state.activePage = Page::None;
    showOpenState();
}

void PageSwitcher::showOpenState()
{
    QSet<QString> locked;
    for (const PageInfo &p : pageTable()) {
        const bool open = m_open.count(p.number) != 0;
        if (p.checksMenuItem && !p.menuItems.empty())
            if (QAction *a = m_menuItem(p.menuItems.front().name))
                a->setChecked(open);
        if (open && !p.disabledMenuItem.isEmpty())
            locked.insert(p.disabledMenuItem);
    }
    for (const PageInfo &p : pageTable())
        if (!p.disabledMenuItem.isEmpty())
            if (QAction *a = m_menuItem(p.disabledMenuItem))
                a->setEnabled(!locked.contains(p.disabledMenuItem));
}

bool PageSwitcher::closePage(int page)
{
    QMdiSubWindow *sub = pageWindow(page);
    if (!sub)
        return true;
    if (!sub->close())
        return false;
    // A window that is no page window does not report its closing.
    const auto it = m_open.find(page);
    if (it != m_open.end())
        windowClosed(page, it->second.window);
    return true;
}

void PageSwitcher::closeSettingPages()
{
    // In the page table's order: cfg3, cfg4, cfg5, cfg6, magcfg3, magcfg4,
    // magcfg6, frmTransmit. The memory window stays.
    for (const PageInfo &p : pageTable())
        if (p.closedWithConfiguration)
            closePage(p.number);
}

qint16 PageSwitcher::closeActivePage()
{
    const qint16 open = m_state.activePage;
    if (open != Page::None)
        closePage(open);
    return open;
}

int PageSwitcher::toolbarPage(const QString &key) const
{
    return q5n::toolbarPage(key, m_state.readerMode);
}

void PageSwitcher::updateCommandAvailability()
{
    for (const PageInfo &p : pageTable())
        for (const PageMenuItem &item : p.menuItems)
            if (QAction *a = m_menuItem(item.name))
                a->setEnabled(hasPage(p.number));
    for (const PageInfo &p : pageTable())
        if (QAction *a = m_toolbarButton(p.toolbarKey)) {
            const int page = toolbarPage(p.toolbarKey);
            a->setEnabled(page != Page::None && hasPage(page));
        }
}

void PageSwitcher::showFamilyState()
{
    const bool reader = m_state.readerMode;
    if (QAction *mag = m_toolbarButton(QStringLiteral("mag")))
        mag->setChecked(reader);
    if (reader)
        closePage(Page::DecoderBar);
    // "bar" (enabled exactly when not in reader mode) and the page buttons
    // that open a page of the current family.
    updateCommandAvailability();
}

void PageSwitcher::openPage(int page)
{
    if (hasPage(page)) {
        const int wasOpen = closeActivePage();
        // The open page refuses to close (it is busy) and stays; choosing the
        // open page's command closes it.
        if (m_state.activePage == Page::None && wasOpen != page) {
            const PageFamily family = familyOf(page);
            if (family != PageFamily::Tool) {
                m_state.readerMode = family == PageFamily::MagneticReader;
                showFamilyState();
            }
            // The memory window finds its number set when it is created.
            if (page == Page::ReadMemory)
                m_state.activePage = static_cast<qint16>(page);
            if (!showPage(page))
                m_state.activePage = Page::None;
        }
    }
    // Choosing a checkable item flips its mark before the command runs: the
    // marks are shown again from what is open.
    showOpenState();
}

void PageSwitcher::toggleReaderMode()
{
    m_state.readerMode = !m_state.readerMode;
    showFamilyState();
    const int wasOpen = closeActivePage();
    if (m_state.activePage != Page::None)
        return; // the open page is busy and stays
    const PageInfo *p = pageInfo(wasOpen);
    if (const int next = p ? p->counterpart : Page::None)
        showPage(next);
}

} // namespace q5n
