#pragma once

#include "link/LinkExchange.h"
#include "windows/LinkMessages.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QWidget;

namespace q5n {

class BusyScope;
class ProgramHost;
struct AppContext;
struct LinkSettings;

// Runs a window's exchanges with the decoder: it owns the engine, opens the
// serial port or the keyboard line through it, holds the busy state while an
// exchange runs, shows what the exchange waits for, and once it has ended
// shows the message of its result (LinkMessages' table), restores what it
// disabled and reports a port that could not be opened. Every window that
// talks to the decoder runs its exchanges through one.
class LinkSession : public QObject
{
    Q_OBJECT
public:
    // `host` is the program whose commands are disabled while an exchange
    // runs (none: nothing is disabled); `owner` is the window.
    LinkSession(AppContext &context, ProgramHost *host, QWidget *owner);
    ~LinkSession() override;

    LinkExchange &link() const { return *m_link; }
    bool busy() const { return m_busy; }

    // The box Text1, made on the owner, where the decoder's typed answers
    // arrive (keyboard line): tiny, but visible and enabled so that it can
    // hold the focus.
    QLineEdit *makeAnswerBox();
    // The line LblWait, made on the owner: what a running exchange waits for
    // and how long it may still take.
    QLabel *makeWaitStatus();

    // One exchange and what the window does around it.
    struct Exchange
    {
        ExchangeKind kind = ExchangeKind::Download;
        std::function<void()> start;      // starts it on link()
        QList<QWidget *> disabled;        // while it runs, besides the program's commands
        QWidget *focusAfter = nullptr;    // takes the focus back once it has ended
        std::function<void()> ended;      // first, whatever the result
        std::function<void()> good;       // a good result, before its message
        std::function<void()> afterwards; // after the message of every end but Aborted
    };
    // Starts `exchange` and returns at once; ignored while one runs.
    void run(Exchange exchange);

    // Listens to the serial port of `settings` (LinkExchange::monitor); a port
    // that cannot be opened is reported at once, and then false.
    bool monitor(const LinkSettings &settings);

private:
    void finished(LinkResult result);

    AppContext &m_ctx;
    ProgramHost *m_host;
    QPointer<QWidget> m_owner;
    LinkExchange *m_link;
    QLabel *m_waitStatus = nullptr;
    std::unique_ptr<Exchange> m_running;
    bool m_rs232 = true;
    std::unique_ptr<BusyScope> m_busyScope;
    bool m_busy = false;
};

} // namespace q5n
