#include "windows/LinkWindow.h"

#include "link/SerialPort.h"
#include "shell/ProgramHost.h"
#include "windows/LinkSession.h"
#include "windows/LinkSettingsPanel.h"
#include "windows/LinkWindowLayout.h"

#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>

namespace q5n {

LinkWindow::LinkWindow(ProgramHost &host, int page, QWidget *parent)
    : PageWindow(host, definitionOf(page), parent), m_session(new LinkSession(host.context(), &host, this))
{
    m_waitStatus = m_session->makeWaitStatus();
    m_answerBox = m_session->makeAnswerBox();
}

LinkWindow::~LinkWindow() = default;

bool LinkWindow::busy() const
{
    return m_session->busy();
}

LinkExchange &LinkWindow::link() const
{
    return m_session->link();
}

SerialPort &LinkWindow::serialPort() const
{
    return link().serialPort();
}

KeyboardChannel &LinkWindow::keyboardChannel() const
{
    return link().keyboardChannel();
}

QList<QPushButton *> LinkWindow::exchangeButtons() const
{
    QList<QPushButton *> buttons;
    for (const Command &c : m_commands)
        buttons << c.button;
    return buttons;
}

QPushButton *LinkWindow::makeButton(const QString &name, const QString &caption)
{
    auto *b = new QPushButton(caption, this);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

void LinkWindow::addCommand(const Command &command)
{
    m_commands.push_back(command);
    QPushButton *button = command.button;
    connect(button, &QPushButton::clicked, this, [this, button] { run(button); });
}

void LinkWindow::run(QPushButton *button)
{
    if (busy())
        return;
    const auto found =
        std::find_if(m_commands.begin(), m_commands.end(), [button](const Command &c) { return c.button == button; });
    if (found == m_commands.end() || (found->confirm && !found->confirm()))
        return;
    QList<QWidget *> disabled{m_panel};
    for (const Command &c : m_commands)
        disabled << c.button;
    disabled += m_alsoDisabled;
    m_session->run({found->kind, found->start, disabled, button, {}, found->good, m_afterExchange});
}

void LinkWindow::closeClicked()
{
    if (busy())
        return;
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->close();
    else
        close();
}

void LinkWindow::showEvent(QShowEvent *event)
{
    PageWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    maximizeLinkWindow(this);
}

} // namespace q5n
