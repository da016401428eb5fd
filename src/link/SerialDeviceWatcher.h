#pragma once

#include "link/ComPorts.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

namespace q5n {

// Follows serial devices as they are plugged in and out. The system tells of
// each change in its device folders (/dev, /dev/serial and its by-id and
// by-path folders); the watcher then reads the present devices again, a
// moment later so that the system has made all of a new device's links, and
// numbers a new device. Nothing is read in between: no polling.
class SerialDeviceWatcher : public QObject
{
    Q_OBJECT
public:
    explicit SerialDeviceWatcher(ComPortSources sources = {}, QString devDir = QStringLiteral("/dev"),
                                 QObject *parent = nullptr);

    const QList<PresentDevice> &devices() const { return m_devices; }
    const ComPorts &ports() const { return m_ports; }
    // Reads the present devices now (a dialog that has just changed a number).
    void rescan();

    // How long after a change in a folder the devices are read again.
    static constexpr int kSettleMs = 150;

Q_SIGNALS:
    void devicesChanged();
    void deviceAdded(const q5n::PresentDevice &device);
    void deviceRemoved(const q5n::PresentDevice &device);

private:
    void watchFolders();

    ComPorts m_ports;
    QString m_devDir;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QList<PresentDevice> m_devices;
};

} // namespace q5n
