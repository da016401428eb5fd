#include "shell/PageWindow.h"

#include "model/PageTable.h"
#include "model/ProgramState.h"
#include "shell/MainWindow.h"

#include <QAction>
#include <QCloseEvent>

namespace q5n {

PageWindow::PageWindow(MainWindow &main, const Definition &definition, QWidget *parent)
    : QWidget(parent), m_main(main), m_definition(definition)
{
    if (const PageInfo *info = pageInfo(definition.page))
        setObjectName(info->objectName);
    setWindowTitle(definition.title);
    main.context().state.activePage = static_cast<qint16>(definition.page);
    setMenuState(true);
}

PageWindow::~PageWindow()
{
    if (!m_closed) {
        m_main.context().state.activePage = 0;
        setMenuState(false);
    }
}

PageWindow::Definition PageWindow::definitionOf(int page)
{
    const PageInfo *info = pageInfo(page);
    if (!info)
        return {page, QString(), QString(), QString()};
    const QString checked = info->checksMenuItem && !info->menuItems.empty() ? info->menuItems.front().name : QString();
    return {page, info->title, checked, info->disabledMenuItem};
}

AppContext &PageWindow::context() const
{
    return m_main.context();
}

void PageWindow::setMenuState(bool open)
{
    if (QAction *a = m_main.menuAction(m_definition.checkedMenuItem)) {
        a->setCheckable(true);
        a->setChecked(open);
    }
    if (QAction *a = m_main.menuAction(m_definition.disabledMenuItem))
        a->setEnabled(!open);
}

void PageWindow::closeEvent(QCloseEvent *event)
{
    if (!canClose()) {
        event->ignore();
        return;
    }
    if (!m_closed) {
        m_closed = true;
        m_main.context().state.activePage = 0;
        setMenuState(false);
    }
    event->accept();
}

} // namespace q5n
