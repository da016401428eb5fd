#pragma once

#include "model/PageTable.h"
#include "shell/PageWindow.h"

#include <QString>

class QAbstractButton;
class QButtonGroup;
class QGridLayout;
class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;

namespace q5n {

class EventWait;
class KeyboardChannel;
class SerialPort;

// The link window frmTransmit ("Transmit", page 5): the link settings, and
// download, upload and firmware version over RS232 or the keyboard port.
class TransmitWindow : public PageWindow
{
    Q_OBJECT
public:
    static constexpr int kPage = Page::Transmit;

    explicit TransmitWindow(MainWindow &main, QWidget *parent = nullptr);
    ~TransmitWindow() override;

    // Closing is refused while an exchange with the decoder runs.
    bool canClose() const override { return !m_busy; }
    bool busy() const { return m_busy; }

    // The three exchanges, as their buttons run them.
    void download();          // cmdTransmit
    void upload();            // cmdReceive
    void firmwareVersion();   // CmdVersion

    SerialPort &serialPort() const { return *m_comm; }
    KeyboardChannel &keyboardChannel() const { return *m_keyboard; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    // Result of an exchange, as the window's InputPos.
    enum InputPos { NoAnswer = 0, GoodAnswer = 1, BadAnswer = 2 };

    void buildUi();
    void equalizeColumns();
    QButtonGroup *addGroup(QGroupBox *frame, const QString &name, const QStringList &captions);
    void select(QButtonGroup *group, int index);
    void load();

    void modeClicked(int i);
    void portClicked(int i);
    void baudClicked(int i);
    void dataBitsClicked(int i);
    void stopBitsClicked(int i);
    void parityClicked(int i);
    void downloadOptionClicked(int i);

    void setCommandsEnabled(bool enabled);
    void closeClicked();

    void receive(); // cmdReceive's steps, with or without VerFlag
    void downloadRs232();
    // The keyboard handshake with the token of the current exchange; the tick
    // that ended it (above the tick count: no answer), or -1 when aborted.
    int keyboardHandshake();
    void downloadKeyboard();
    void receiveRs232();
    void receiveKeyboard();
    // Waits for the RS232 answer (InputPos set by the receive handler), up to
    // `timeoutMs`. False when aborted.
    bool waitSerialAnswer(int timeoutMs);
    void onComm();
    void onPortLost();
    void message(const QString &title, const QString &text);

    QGridLayout *m_grid = nullptr;
    QGroupBox *m_frame1 = nullptr;   // Interface
    QGroupBox *m_fraPort = nullptr;  // Port
    QGroupBox *m_frame4 = nullptr;   // Baud Rate
    QGroupBox *m_frame2 = nullptr;   // Data Bits
    QGroupBox *m_frame3 = nullptr;   // Stop Bits
    QGroupBox *m_frame6 = nullptr;   // Parity
    QGroupBox *m_frame5 = nullptr;   // Download Option
    QButtonGroup *m_optMode = nullptr;
    QButtonGroup *m_optPort = nullptr;
    QButtonGroup *m_optBaud = nullptr;
    QButtonGroup *m_optDatabits = nullptr;
    QButtonGroup *m_optStopbits = nullptr;
    QButtonGroup *m_option2 = nullptr;
    QButtonGroup *m_option1 = nullptr;
    QPushButton *m_cmdTransmit = nullptr;
    QPushButton *m_cmdReceive = nullptr;
    QPushButton *m_cmdVersion = nullptr;
    QPushButton *m_cmdClose = nullptr;
    QProgressBar *m_progressBar1 = nullptr;
    QLineEdit *m_text1 = nullptr;

    EventWait *m_wait = nullptr;
    KeyboardChannel *m_keyboard = nullptr;
    SerialPort *m_comm = nullptr;    // MSComm1
    QTimer *m_timer2 = nullptr;      // RS232 answer time-out

    bool m_verFlag = false;
    bool m_timeOver = false;
    int m_inputPos = NoAnswer;
    bool m_awaitingReply = false;    // the receive handler takes the next answer
    bool m_portLost = false;
    QString m_msg;
    bool m_busy = false;
    bool m_shown = false;
};

// Factory for page 5.
PageWindow *createTransmitWindow(MainWindow &main);

} // namespace q5n
