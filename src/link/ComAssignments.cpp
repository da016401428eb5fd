#include "link/ComAssignments.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace q5n {

namespace {

const QString kById = QStringLiteral("by-id/");
const QString kByPath = QStringLiteral("by-path/");

QString nameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// 0..5 for ttyS0..ttyS5, else -1.
int builtInIndex(const QString &identity)
{
    static const QRegularExpression builtIn(QStringLiteral("^ttyS([0-5])$"));
    const auto m = builtIn.match(identity);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

} // namespace

bool naturalLess(const QString &a, const QString &b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            // Leading zeros do not count; then the longer run is the greater number.
            QStringView x = QStringView(a).mid(i, ei - i), y = QStringView(b).mid(j, ej - j);
            while (x.size() > 1 && x.front() == u'0')
                x = x.mid(1);
            while (y.size() > 1 && y.front() == u'0')
                y = y.mid(1);
            if (x.size() != y.size())
                return x.size() < y.size();
            if (const int c = x.compare(y); c != 0)
                return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

QList<PresentDevice> serialDevicesFrom(const QStringList &systemPorts, const QString &byIdDir,
                                       const QList<DeviceLink> &byId, const QString &byPathDir,
                                       const QList<DeviceLink> &byPath)
{
    QList<PresentDevice> devices;
    QSet<QString> targets;
    auto linkFor = [](const QList<DeviceLink> &links, const QString &target) -> const DeviceLink * {
        const DeviceLink *best = nullptr;
        for (const DeviceLink &l : links)
            if (l.target == target && (!best || naturalLess(l.name, best->name)))
                best = &l;
        return best;
    };
    auto add = [&](const QString &target) {
        if (target.isEmpty() || targets.contains(target))
            return;
        targets.insert(target);
        if (const DeviceLink *l = linkFor(byId, target))
            devices.append({kById + l->name, byIdDir + u'/' + l->name, target});
        else if (const DeviceLink *p = linkFor(byPath, target))
            devices.append({kByPath + p->name, byPathDir + u'/' + p->name, target});
        else
            devices.append({nameOf(target), target, target});
    };
    for (const QString &port : systemPorts)
        add(port);
    for (const DeviceLink &l : byId)
        add(l.target);
    for (const DeviceLink &l : byPath)
        add(l.target);
    std::sort(devices.begin(), devices.end(), [](const PresentDevice &a, const PresentDevice &b) {
        return a.systemPath == b.systemPath ? naturalLess(a.identity, b.identity)
                                            : naturalLess(a.systemPath, b.systemPath);
    });
    return devices;
}

ComTable assignComNumbers(ComTable kept, const QList<PresentDevice> &present)
{
    for (int n = 0; n < kComPortCount; ++n)
        for (int m = 0; m < n; ++m)
            if (!kept[n].isEmpty() && kept[n] == kept[m])
                kept[n].clear();
    QList<PresentDevice> fresh;
    for (const PresentDevice &d : present)
        if (comNumberOf(kept, d.identity) == 0)
            fresh.append(d);
    std::stable_sort(fresh.begin(), fresh.end(), [](const PresentDevice &a, const PresentDevice &b) {
        return naturalLess(a.systemPath, b.systemPath);
    });
    // Built-in ports first, at their own numbers.
    for (auto it = fresh.begin(); it != fresh.end();) {
        const int k = builtInIndex(it->identity);
        if (k >= 0 && kept[k].isEmpty()) {
            kept[k] = it->identity;
            it = fresh.erase(it);
        } else {
            ++it;
        }
    }
    for (const PresentDevice &d : std::as_const(fresh)) {
        const auto free = std::find(kept.begin(), kept.end(), QString());
        if (free == kept.end())
            break;
        *free = d.identity;
    }
    return kept;
}

void giveComNumber(ComTable &table, int n, const QString &identity)
{
    if (n < 1 || n > kComPortCount || identity.isEmpty())
        return;
    const int old = comNumberOf(table, identity);
    if (old == n)
        return;
    if (old > 0)
        table[old - 1] = table[n - 1];
    table[n - 1] = identity;
}

int comNumberOf(const ComTable &table, const QString &identity)
{
    if (identity.isEmpty())
        return 0;
    const auto at = std::find(table.begin(), table.end(), identity);
    return at == table.end() ? 0 : int(at - table.begin()) + 1;
}

QByteArray comTableBytes(const ComTable &table)
{
    QByteArray bytes;
    for (int n = 0; n < kComPortCount; ++n)
        if (!table[n].isEmpty())
            bytes += "Com" + QByteArray::number(n + 1) + '=' + table[n].toUtf8() + '\n';
    return bytes;
}

ComTable parseComTable(const QByteArray &bytes)
{
    static const QRegularExpression line(QStringLiteral("^Com([1-6])=([^/\\s][^\\s]*)$"));
    ComTable table;
    for (const QByteArray &raw : bytes.split('\n')) {
        const auto m = line.match(QString::fromUtf8(raw.trimmed()));
        // A name with ".." or a further folder is no identity this program wrote.
        if (!m.hasMatch() || m.captured(2).contains(QStringLiteral("..")) || m.captured(2).count(u'/') > 1)
            continue;
        QString &slot = table[m.captured(1).toInt() - 1];
        if (slot.isEmpty())
            slot = m.captured(2);
    }
    return table;
}

QString deviceDescription(const QString &identity)
{
    if (identity.startsWith(kById)) {
        // usb-FTDI_FT232R_USB_UART_A12345-if00-port0: the maker, model and
        // serial number without the bus and the interface.
        static const QRegularExpression decoration(QStringLiteral("^(usb|pci|platform)-|-if[0-9]+(-port[0-9]+)?$"));
        QString name = identity.mid(kById.size());
        name.remove(decoration);
        return QStringLiteral("the USB adapter %1").arg(name);
    }
    if (identity.startsWith(kByPath))
        return QStringLiteral("the serial adapter at %1").arg(identity.mid(kByPath.size()));
    if (identity.startsWith(QStringLiteral("ttyS")))
        return QStringLiteral("the built-in port %1").arg(identity);
    return QStringLiteral("the serial device %1").arg(identity);
}

} // namespace q5n
