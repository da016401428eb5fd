#pragma once

#include "link/ComPorts.h"

#include <QStringList>
#include <QWidget>

class QAbstractButton;
class QButtonGroup;
class QGridLayout;
class QGroupBox;

namespace q5n {

class ProgramState;
class SerialDeviceWatcher;

// The link settings of a link window: option groups in frames that edit the
// shared LinkSettings (and the download option). Each window says which frames
// it has, how many ports and its mode captions. The groups react to the
// selection itself, so a click, the keyboard and an accessibility action have
// the same effect; the window loads the shared state once it is built.
class LinkSettingsPanel : public QWidget
{
    Q_OBJECT
public:
    struct Options
    {
        int portCount = 6; // "Com 1" .. "Com n"
        QStringList modeCaptions = {QStringLiteral("Keyboard"), QStringLiteral("RS232")};
        bool parity = false;         // Frame6 "Parity"
        bool downloadOption = false; // Frame5 "Download Option"
    };

    LinkSettingsPanel(ProgramState &state, const Options &options, QWidget *parent = nullptr);

    // Shows the shared state: the download option, port, mode, baud rate,
    // data bits, stop bits and the parity that the next exchange uses.
    void load();

    // The selected parity option (0 None .. 4 Space), -1 without a parity frame.
    int parityIndex() const;
    // Even and Odd: the decoder cannot answer an upload or version request.
    bool parityAllowsReceive() const;

    // The option widgets in screen order (row by row, each frame top to
    // bottom), for the window's tab chain.
    QList<QWidget *> focusOrder() const;

    // Follows the devices as they are plugged in and out: those of the system,
    // unless a test gives its own folders and settings file.
    void watchDevices(const ComPortSources &sources, const QString &devDir);
    SerialDeviceWatcher &deviceWatcher() const { return *m_watcher; }
    // Shows each Com number's device on its option (tooltip and accessible description).
    void showPortDevices();
    // The "Ports..." dialog: gives a Com number to a present device.
    void openPortsDialog();

Q_SIGNALS:
    void parityChanged(int index);

private:
    QGroupBox *addFrame(const QString &name, const QString &caption);
    QButtonGroup *addGroup(QGroupBox *frame, const QString &name, const QStringList &captions, int selected);
    void select(QButtonGroup *group, int index);
    void react(QButtonGroup *group, void (LinkSettingsPanel::*handler)(int));
    void equalizeColumns();
    void showEvent(QShowEvent *event) override;

    void modeChosen(int i);
    void portChosen(int i);
    void baudChosen(int i);
    void dataBitsChosen(int i);
    void stopBitsChosen(int i);
    void parityChosen(int i);
    void downloadOptionChosen(int i);

    ProgramState &m_state;
    Options m_options;
    QGridLayout *m_grid = nullptr;
    SerialDeviceWatcher *m_watcher = nullptr;
    QList<QGroupBox *> m_frames; // screen order

    QGroupBox *m_modeFrame = nullptr;
    QGroupBox *m_portFrame = nullptr;
    QGroupBox *m_baudFrame = nullptr;
    QGroupBox *m_dataBitsFrame = nullptr;
    QGroupBox *m_stopBitsFrame = nullptr;
    QGroupBox *m_parityFrame = nullptr;
    QGroupBox *m_downloadOptionFrame = nullptr;

    QButtonGroup *m_modeGroup = nullptr;
    QButtonGroup *m_portGroup = nullptr;
    QButtonGroup *m_baudGroup = nullptr;
    QButtonGroup *m_dataBitsGroup = nullptr;
    QButtonGroup *m_stopBitsGroup = nullptr;
    QButtonGroup *m_parityGroup = nullptr;
    QButtonGroup *m_downloadOptionGroup = nullptr;
};

} // namespace q5n
