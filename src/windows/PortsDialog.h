#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace q5n {

class SerialDeviceWatcher;

// "Ports": the serial devices with their Com numbers, present ones to choose
// from and the numbers kept for unplugged ones shown; the chosen device takes
// the chosen number (the device that had it takes the chosen device's old
// one). Keyboard order as on screen: the list, the number, Give Number, Close.
class PortsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PortsDialog(SerialDeviceWatcher &watcher, QWidget *parent = nullptr);

    QListWidget *deviceList() const { return m_list; }

Q_SIGNALS:
    void numberGiven();

private:
    void refresh();
    void give();
    void selectionChanged();

    SerialDeviceWatcher &m_watcher;
    QListWidget *m_list = nullptr;
    QComboBox *m_number = nullptr;
    QPushButton *m_give = nullptr;
    QPushButton *m_close = nullptr;
    QLabel *m_status = nullptr; // why a number could not be kept
};

} // namespace q5n
