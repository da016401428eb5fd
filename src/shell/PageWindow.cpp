#include "shell/PageWindow.h"

#include "model/PageTable.h"
#include "shell/ProgramHost.h"

#include <QCloseEvent>

namespace q5n {

PageWindow::PageWindow(ProgramHost &host, const Definition &definition, QWidget *parent)
    : QWidget(parent), m_host(host), m_definition(definition)
{
    if (const PageInfo *info = pageInfo(definition.page))
        setObjectName(info->objectName);
    setWindowTitle(definition.title);
}

PageWindow::~PageWindow()
{
    if (!m_closed)
        m_host.pageWindowClosed(m_definition.page, this);
}

PageWindow::Definition PageWindow::definitionOf(int page)
{
    const PageInfo *info = pageInfo(page);
    return {page, info ? info->title : QString()};
}

AppContext &PageWindow::context() const
{
    return m_host.context();
}

void PageWindow::closeEvent(QCloseEvent *event)
{
    if (!canClose()) {
        event->ignore();
        return;
    }
    if (!m_closed) {
        m_closed = true;
        m_host.pageWindowClosed(m_definition.page, this);
    }
    event->accept();
}

} // namespace q5n
