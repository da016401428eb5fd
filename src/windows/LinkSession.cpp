#include "windows/LinkSession.h"

#include "model/ProgramState.h"
#include "platform/Prompter.h"
#include "shell/AppContext.h"
#include "windows/BusyScope.h"
#include "windows/LineEditAnswerSource.h"

#include <QLabel>
#include <QLineEdit>

namespace q5n {

LinkSession::LinkSession(AppContext &context, ProgramHost *host, QWidget *owner)
    : QObject(owner), m_ctx(context), m_host(host), m_owner(owner),
      m_link(new LinkExchange(context.portIo, context.timing, nullptr, this))
{
    connect(m_link, &LinkExchange::finished, this, &LinkSession::finished);
}

LinkSession::~LinkSession() = default;

QLineEdit *LinkSession::makeAnswerBox()
{
    auto *box = new QLineEdit(m_owner);
    box->setObjectName(QStringLiteral("Text1"));
    box->setFixedSize(12, 7);
    box->setFrame(false);
    box->setFocusPolicy(Qt::ClickFocus);
    box->setAccessibleName(QStringLiteral("Decoder answer"));
    m_link->setAnswerSource(new LineEditAnswerSource(box, this));
    return box;
}

QLabel *LinkSession::makeWaitStatus()
{
    m_waitStatus = new QLabel(m_owner);
    m_waitStatus->setObjectName(QStringLiteral("LblWait"));
    m_waitStatus->setTextFormat(Qt::PlainText);
    m_waitStatus->setWordWrap(true);
    connect(m_link, &LinkExchange::waiting, m_waitStatus, [this](LinkExchange::Waiting what, int msLeft) {
        m_waitStatus->setText(waitingLineText(what, msLeft, m_ctx.state.linkSettings.portNumber));
    });
    return m_waitStatus;
}

void LinkSession::run(Exchange exchange)
{
    if (m_busy || m_link->running())
        return;
    m_rs232 = m_ctx.state.linkSettings.isRs232();
    m_running = std::make_unique<Exchange>(std::move(exchange));
    m_busyScope = std::make_unique<BusyScope>(m_owner, m_busy, m_host, m_running->disabled, m_running->focusAfter);
    m_running->start();
}

bool LinkSession::monitor(const LinkSettings &settings)
{
    if (m_link->monitor(settings))
        return true;
    reportPortUnavailable(m_ctx.prompter, m_link->portNumber(), m_link->portError());
    return false;
}

void LinkSession::finished(LinkResult result)
{
    if (!m_running)
        return;
    const std::unique_ptr<Exchange> exchange = std::move(m_running);
    if (exchange->ended)
        exchange->ended();
    if (result == LinkResult::Good && exchange->good)
        exchange->good();
    const LinkMessage message = resultMessage(exchange->kind, result, m_rs232, *m_link);
    if (!message.text.isEmpty())
        m_ctx.prompter.ask(
            {message.title, message.text, Prompter::Button::Ok, Prompter::Button::Ok, Prompter::Icon::None, {}});
    if (result != LinkResult::Aborted && exchange->afterwards)
        exchange->afterwards();
    // Everything comes back before a port that could not be opened is reported.
    m_busyScope.reset();
    if (result == LinkResult::PortUnavailable)
        reportPortUnavailable(m_ctx.prompter, m_link->portNumber(), m_link->portError());
}

} // namespace q5n
