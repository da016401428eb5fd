#pragma once

#include "link/LinkExchange.h"
#include "model/PageTable.h"
#include "shell/PageWindow.h"

#include <QString>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace q5n {

class LinkSettingsPanel;
class SerialPort;
class KeyboardChannel;

// The link window frmTransmit ("Transmit", page 5): the link settings, and
// download, upload and firmware version over RS232 or the keyboard port. The
// exchanges run on the link engine; the window shows their outcome.
class TransmitWindow : public PageWindow
{
    Q_OBJECT
public:
    static constexpr int kPage = Page::Transmit;

    explicit TransmitWindow(ProgramHost &host, QWidget *parent = nullptr);
    ~TransmitWindow() override;

    // Closing is refused while an exchange with the decoder runs.
    bool canClose() const override { return !m_busy; }
    bool busy() const { return m_busy; }

    // The three exchanges, as their buttons run them.
    void download();        // cmdTransmit
    void upload();          // cmdReceive
    void firmwareVersion(); // CmdVersion

    LinkExchange &link() const { return *m_link; }
    SerialPort &serialPort() const;
    KeyboardChannel &keyboardChannel() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildUi();
    void updateReceiveButtons();
    void closeClicked();
    // Upload and firmware version: the same exchange; `version` shows the
    // version text instead of copying the section.
    void receive(bool version, QPushButton *startedBy);
    void showWaiting(LinkExchange::Waiting what, int msLeft);
    void showProgress(int value, int maximum);
    void message(const QString &title, const QString &text);

    LinkSettingsPanel *m_panel = nullptr;
    QPushButton *m_cmdTransmit = nullptr;
    QPushButton *m_cmdReceive = nullptr;
    QPushButton *m_cmdVersion = nullptr;
    QPushButton *m_cmdClose = nullptr;
    QLabel *m_waitStatus = nullptr;
    QProgressBar *m_progressBar1 = nullptr;
    QLineEdit *m_text1 = nullptr;

    LinkExchange *m_link = nullptr;
    bool m_busy = false;
    bool m_shown = false;
};

// Factory for page 5.
PageWindow *createTransmitWindow(ProgramHost &host);

} // namespace q5n
