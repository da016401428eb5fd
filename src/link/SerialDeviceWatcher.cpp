#include "link/SerialDeviceWatcher.h"

#include <QFileInfo>

namespace q5n {

SerialDeviceWatcher::SerialDeviceWatcher(ComPortSources sources, QString devDir, QObject *parent)
    : QObject(parent), m_ports(std::move(sources)), m_devDir(std::move(devDir))
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &SerialDeviceWatcher::rescan);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { m_settle.start(); });
    watchFolders();
    m_ports.table(); // numbers the devices seen for the first time
    m_devices = m_ports.presentDevices();
}

void SerialDeviceWatcher::watchFolders()
{
    // The by-id folder goes with the last USB adapter and comes back with the
    // next: the folders above it are watched so that it is watched again.
    const ComPortSources &s = m_ports.sources();
    QStringList folders{m_devDir, s.byIdDir, s.byPathDir, QFileInfo(s.byIdDir).absolutePath(),
                        QFileInfo(s.byPathDir).absolutePath()};
    QStringList wanted;
    for (const QString &f : std::as_const(folders))
        if (!f.isEmpty() && !wanted.contains(f) && QFileInfo(f).isDir())
            wanted << f;
    const QStringList watched = m_watcher.directories();
    for (const QString &f : watched)
        if (!wanted.contains(f))
            m_watcher.removePath(f);
    for (const QString &f : std::as_const(wanted))
        if (!watched.contains(f))
            m_watcher.addPath(f);
}

void SerialDeviceWatcher::rescan()
{
    watchFolders();
    m_ports.table();
    const QList<PresentDevice> now = m_ports.presentDevices();
    if (now == m_devices)
        return;
    const QList<PresentDevice> before = std::exchange(m_devices, now);
    for (const PresentDevice &d : before)
        if (!now.contains(d))
            Q_EMIT deviceRemoved(d);
    for (const PresentDevice &d : now)
        if (!before.contains(d))
            Q_EMIT deviceAdded(d);
    Q_EMIT devicesChanged();
}

} // namespace q5n
