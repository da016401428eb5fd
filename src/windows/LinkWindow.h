#pragma once

#include "link/LinkExchange.h"
#include "shell/PageWindow.h"
#include "windows/LinkMessages.h"

#include <QList>
#include <QString>

#include <functional>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;

namespace q5n {

class KeyboardChannel;
class LinkSession;
class LinkSettingsPanel;
class SerialPort;

// The base of a window that talks to the decoder. The window declares its
// buttons and, per button, the exchange it starts; its link session
// (LinkSession) does the rest of every exchange: it disables the panel and
// the buttons (and the main window's commands), shows what the exchange waits
// for, and once it has finished shows the message of the result, restores
// what it disabled, gives the focus back to the button and reports a port
// that could not be opened. The window refuses to close while one runs.
class LinkWindow : public PageWindow
{
    Q_OBJECT
public:
    ~LinkWindow() override;

    // Closing is refused while an exchange with the decoder runs.
    bool canClose() const override { return !busy(); }
    bool busy() const;

    LinkExchange &link() const;
    SerialPort &serialPort() const;
    KeyboardChannel &keyboardChannel() const;

    // The buttons that start an exchange, in declaration order.
    QList<QPushButton *> exchangeButtons() const;

    // A close button: closes the window unless an exchange runs.
    void closeClicked();

protected:
    // One button that runs an exchange.
    struct Command
    {
        QPushButton *button = nullptr;
        // Asked before anything starts (a confirmation); false: nothing happens.
        std::function<bool()> confirm;
        // Starts the exchange on link().
        std::function<void()> start;
        // Which texts report its result.
        ExchangeKind kind = ExchangeKind::Download;
        // What a good result does before its message (an upload copies the section).
        std::function<void()> good = {};
    };

    LinkWindow(ProgramHost &host, int page, QWidget *parent = nullptr);

    // A push button as the link windows make them (no auto-default).
    QPushButton *makeButton(const QString &name, const QString &caption);
    // The panel of the link settings, disabled while an exchange runs. The
    // decoder's typed answers arrive in the window's answer box (a tiny,
    // focusable line edit the base makes: answerBox()).
    void setUpLink(LinkSettingsPanel *panel) { m_panel = panel; }
    // Declares a button's exchange; the button runs it when clicked.
    void addCommand(const Command &command);
    // Widgets disabled too while an exchange runs (besides the panel and the
    // exchange buttons).
    void disableWhileBusy(QList<QWidget *> widgets) { m_alsoDisabled += widgets; }
    // Runs after the message of every finished exchange (not an aborted one).
    void afterExchange(std::function<void()> step) { m_afterExchange = std::move(step); }

    // Runs the command of `button`, as a click does.
    void run(QPushButton *button);

    LinkSettingsPanel *panel() const { return m_panel; }
    QLineEdit *answerBox() const { return m_answerBox; }
    // The line that shows what a running exchange waits for and for how long.
    QLabel *waitStatus() const { return m_waitStatus; }

    void showEvent(QShowEvent *event) override;

private:
    LinkSession *m_session;
    LinkSettingsPanel *m_panel = nullptr;
    QLineEdit *m_answerBox = nullptr;
    QLabel *m_waitStatus = nullptr;
    std::vector<Command> m_commands;
    QList<QWidget *> m_alsoDisabled;
    std::function<void()> m_afterExchange;
    bool m_shown = false;
};

} // namespace q5n
