#include "link/ComPorts.h"

#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QStandardPaths>

#include <optional>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace q5n {

namespace {

QList<DeviceLink> linksIn(const QString &dir)
{
    QList<DeviceLink> links;
    const QDir d(dir);
    for (const QFileInfo &link : d.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
        // A link whose device has gone is no present device.
        const QString target = link.canonicalFilePath();
        if (!target.isEmpty())
            links.append({link.fileName(), target});
    }
    return links;
}

// Q5NCFG_COM<n> when set; set and empty, the number has no device.
std::optional<QString> overrideOf(int n)
{
    const QByteArray var = "Q5NCFG_COM" + QByteArray::number(n);
    if (!qEnvironmentVariableIsSet(var.constData()))
        return std::nullopt;
    return qEnvironmentVariable(var.constData());
}

// False for what exists and is surely no terminal: a file, a folder, or a
// character device of another kind than tty (the system tells through
// /sys/dev/char; a pseudo-terminal is not listed there and passes).
bool maybeSerialDevice(const QString &path)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return true; // absent: opening says so
    if (!S_ISCHR(st.st_mode))
        return false;
    const QString sys = QStringLiteral("/sys/dev/char/%1:%2/subsystem").arg(major(st.st_rdev)).arg(minor(st.st_rdev));
    const QFileInfo subsystem(sys);
    return !subsystem.exists() || subsystem.canonicalFilePath().endsWith(QStringLiteral("/tty"));
}

} // namespace

QString ComPortSources::defaultSettingsFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/q5ncfg/comports");
}

QStringList ComPortSources::systemSerialPorts()
{
    QStringList ports;
    for (const QSerialPortInfo &p : QSerialPortInfo::availablePorts())
        ports << p.systemLocation();
    return ports;
}

ComPorts::ComPorts(ComPortSources sources) : m_sources(std::move(sources)) {}

QList<PresentDevice> ComPorts::presentDevices() const
{
    return serialDevicesFrom(m_sources.systemPorts ? m_sources.systemPorts() : QStringList(), m_sources.byIdDir,
                             linksIn(m_sources.byIdDir), m_sources.byPathDir, linksIn(m_sources.byPathDir));
}

ComTable ComPorts::load() const
{
    QByteArray bytes;
    if (!readWholeFile(m_sources.settingsFile, &bytes))
        return {};
    return parseComTable(bytes);
}

QString ComPorts::save(const ComTable &table) const
{
    if (m_sources.settingsFile.isEmpty())
        return QStringLiteral("no settings file");
    QDir().mkpath(QFileInfo(m_sources.settingsFile).absolutePath());
    return writeFileAtomically(m_sources.settingsFile, comTableBytes(table));
}

ComTable ComPorts::table() const
{
    const ComTable kept = load();
    const ComTable now = assignComNumbers(kept, presentDevices());
    // Numbers still hold when the file cannot be written: they are only not kept.
    if (now != kept)
        save(now);
    return now;
}

QString ComPorts::give(int n, const QString &identity) const
{
    ComTable t = table();
    giveComNumber(t, n, identity);
    return save(t);
}

ComPort ComPorts::describe(int n, const ComTable &table, const QList<PresentDevice> &present) const
{
    ComPort p;
    p.number = n;
    if (const auto override = overrideOf(n)) {
        p.device = *override;
        p.overridden = true;
        p.present = QFileInfo::exists(*override);
        p.text = override->isEmpty() ? QStringLiteral("Com %1 has no device: Q5NCFG_COM%1 is empty").arg(n)
                                     : QStringLiteral("Com %1 is %2 (set by Q5NCFG_COM%1)").arg(n).arg(*override);
        return p;
    }
    p.identity = table[n - 1];
    if (p.identity.isEmpty()) {
        p.text = QStringLiteral("No serial device has Com %1 on this computer").arg(n);
        return p;
    }
    for (const PresentDevice &d : present)
        if (d.identity == p.identity) {
            p.device = d.path;
            p.systemPath = d.systemPath;
            p.present = true;
            p.text = QStringLiteral("Com %1 is %2 (%3)").arg(n).arg(deviceDescription(p.identity), d.systemPath);
            return p;
        }
    p.text = QStringLiteral("Com %1 is %2, which is not connected").arg(n).arg(deviceDescription(p.identity));
    return p;
}

ComPort ComPorts::port(int n) const
{
    if (n < 1 || n > kComPortCount)
        return {};
    if (overrideOf(n))
        return describe(n, {}, {});
    return all()[n - 1];
}

QList<ComPort> ComPorts::all() const
{
    const QList<PresentDevice> present = presentDevices();
    const ComTable kept = load();
    const ComTable now = assignComNumbers(kept, present);
    if (now != kept)
        save(now);
    QList<ComPort> list;
    for (int n = 1; n <= kComPortCount; ++n)
        list.append(describe(n, now, present));
    return list;
}

QString comDevicePath(int n)
{
    return ComPorts().port(n).device;
}

PortName resolvePortName(const QString &value, const ComPorts &ports)
{
    PortName r;
    static const QRegularExpression com(QStringLiteral("^com([0-9]+)$"), QRegularExpression::CaseInsensitiveOption);
    if (const auto m = com.match(value); m.hasMatch()) {
        const int n = m.captured(1).toInt();
        if (n < 1 || n > kComPortCount) {
            r.usageError = true;
            r.problem = QStringLiteral("%1 is no port name: com1..com%2 or a device path are accepted")
                            .arg(value)
                            .arg(kComPortCount);
            return r;
        }
        const ComPort p = ports.port(n);
        r.comNumber = n;
        r.device = p.device;
        r.text = p.text;
        if (p.device.isEmpty())
            r.problem = p.text;
        return r;
    }
    if (value.isEmpty() || !maybeSerialDevice(value)) {
        r.usageError = true;
        r.problem = QStringLiteral("%1 is not a serial device: com1..com%2 or a serial device's path are accepted")
                        .arg(value)
                        .arg(kComPortCount);
        return r;
    }
    r.device = value;
    r.text = value;
    return r;
}

} // namespace q5n
