#pragma once

#include "model/PageTable.h"
#include "windows/LinkWindow.h"

class QProgressBar;

namespace q5n {

// The link window frmTransmit ("Transmit", page 5): the link settings, and
// download, upload and firmware version over RS232 or the keyboard port.
class TransmitWindow : public LinkWindow
{
    Q_OBJECT
public:
    static constexpr int kPage = Page::Transmit;

    explicit TransmitWindow(ProgramHost &host, QWidget *parent = nullptr);
    ~TransmitWindow() override;

    // The three exchanges, as their buttons run them.
    void download() { run(m_cmdTransmit); }       // cmdTransmit
    void upload() { run(m_cmdReceive); }          // cmdReceive
    void firmwareVersion() { run(m_cmdVersion); } // CmdVersion

private:
    void buildUi();
    void updateReceiveButtons();

    QPushButton *m_cmdTransmit = nullptr;
    QPushButton *m_cmdReceive = nullptr;
    QPushButton *m_cmdVersion = nullptr;
    QPushButton *m_cmdClose = nullptr;
    QProgressBar *m_progressBar1 = nullptr;
};

// Factory for page 5.
PageWindow *createTransmitWindow(ProgramHost &host);

} // namespace q5n
