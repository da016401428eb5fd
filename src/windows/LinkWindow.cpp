#include "windows/LinkWindow.h"

#include "link/SerialPort.h"
#include "model/ProgramState.h"
#include "platform/Prompter.h"
#include "shell/AppContext.h"
#include "windows/BusyScope.h"
#include "windows/LineEditAnswerSource.h"
#include "windows/LinkSettingsPanel.h"
#include "windows/LinkWindowLayout.h"
#include "windows/SerialOpen.h"

#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>

namespace q5n {

LinkWindow::LinkWindow(ProgramHost &host, int page, QWidget *parent) : PageWindow(host, definitionOf(page), parent)
{
    // What a running exchange waits for and how long it may still take.
    m_waitStatus = new QLabel(this);
    m_waitStatus->setObjectName(QStringLiteral("LblWait"));
    m_waitStatus->setTextFormat(Qt::PlainText);
    m_waitStatus->setWordWrap(true);

    // The decoder's typed answers arrive here: tiny, but visible and enabled
    // so that it can hold the focus.
    m_answerBox = new QLineEdit(this);
    m_answerBox->setObjectName(QStringLiteral("Text1"));
    m_answerBox->setFixedSize(12, 7);
    m_answerBox->setFrame(false);
    m_answerBox->setFocusPolicy(Qt::ClickFocus);
    m_answerBox->setAccessibleName(QStringLiteral("Decoder answer"));
}

LinkWindow::~LinkWindow() = default;

SerialPort &LinkWindow::serialPort() const
{
    return m_link->serialPort();
}

KeyboardChannel &LinkWindow::keyboardChannel() const
{
    return m_link->keyboardChannel();
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

void LinkWindow::setUpLink(LinkSettingsPanel *panel)
{
    m_panel = panel;
    m_link = new LinkExchange(context().portIo, context().timing, new LineEditAnswerSource(m_answerBox, this), this);
    connect(m_link, &LinkExchange::waiting, this, &LinkWindow::showWaiting);
    connect(m_link, &LinkExchange::finished, this, &LinkWindow::finished);
}

void LinkWindow::addCommand(const Command &command)
{
    m_commands.push_back(command);
    QPushButton *button = command.button;
    connect(button, &QPushButton::clicked, this, [this, button] { run(button); });
}

void LinkWindow::run(QPushButton *button)
{
    if (m_busy)
        return;
    const auto found =
        std::find_if(m_commands.begin(), m_commands.end(), [button](const Command &c) { return c.button == button; });
    if (found == m_commands.end() || (found->confirm && !found->confirm()))
        return;
    QList<QWidget *> disabled{m_panel};
    for (const Command &c : m_commands)
        disabled << c.button;
    disabled += m_alsoDisabled;
    m_running = &*found;
    m_busyScope = std::make_unique<BusyScope>(this, m_busy, &host(), disabled, button);
    found->start();
}

void LinkWindow::finished(LinkResult result)
{
    if (!m_running)
        return;
    const Command &command = *std::exchange(m_running, nullptr);
    if (result != LinkResult::Aborted) {
        if (result != LinkResult::PortUnavailable && command.report)
            command.report(result);
        if (m_afterExchange)
            m_afterExchange();
    }
    // Everything comes back before a port that could not be opened is reported.
    m_busyScope.reset();
    if (result == LinkResult::PortUnavailable)
        reportPortUnavailable(context().prompter, m_link->portNumber(), m_link->portError());
}

void LinkWindow::showWaiting(LinkExchange::Waiting what, int msLeft)
{
    QString text;
    switch (what) {
    case LinkExchange::Waiting::Nothing: break;
    case LinkExchange::Waiting::SerialAnswer:
        text =
            QStringLiteral("Waiting for the decoder's answer on COM %1").arg(context().state.linkSettings.portNumber);
        break;
    case LinkExchange::Waiting::Handshake: text = QStringLiteral("Calling the decoder on the keyboard line"); break;
    case LinkExchange::Waiting::Sending: text = QStringLiteral("Sending the configuration on the keyboard line"); break;
    case LinkExchange::Waiting::KeyboardAnswer:
        text = QStringLiteral("Waiting for the decoder's answer on the keyboard line");
        break;
    }
    if (!text.isEmpty() && msLeft >= 0)
        text += QStringLiteral(": %1 s left").arg(QString::number((msLeft + 99) / 100 / 10.0, 'f', 1));
    m_waitStatus->setText(text);
}

void LinkWindow::closeClicked()
{
    if (m_busy)
        return;
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->close();
    else
        close();
}

void LinkWindow::message(const QString &title, const QString &text)
{
    context().prompter.ask({title, text, Prompter::Button::Ok, Prompter::Button::Ok, Prompter::Icon::None, {}});
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
