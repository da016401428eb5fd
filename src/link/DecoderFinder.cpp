#include "link/DecoderFinder.h"

#include "link/LinkExchange.h"
#include "link/PortAccess.h"
#include "link/PortIo.h"
#include "link/SerialPort.h"
#include "model/ProgramState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace q5n {

namespace {

// The character device behind a path (links followed), or nothing.
bool deviceNumber(const QString &path, dev_t *number)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    *number = st.st_rdev;
    return true;
}

// The process that has the device as its controlling terminal (a login or a
// shell on the line), as /proc lists every process to every user; 0 for none.
qint64 terminalUser(dev_t number, QString *program)
{
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric)
            continue;
        QFile stat(proc.filePath(entry + QStringLiteral("/stat")));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.read(4096);
        const qsizetype close = text.lastIndexOf(')');
        if (close < 0)
            continue;
        // After the name: state, ppid, pgrp, session, tty_nr.
        const QList<QByteArray> fields = text.mid(close + 2).split(' ');
        if (fields.size() < 5)
            continue;
        const unsigned tty = fields[4].toUInt();
        const unsigned ttyMajor = (tty >> 8) & 0xfff;
        const unsigned ttyMinor = (tty & 0xff) | ((tty >> 12) & 0xfff00);
        if (tty != 0 && ttyMajor == major(number) && ttyMinor == minor(number)) {
            const qsizetype open = text.indexOf('(');
            *program = QString::fromLocal8Bit(text.mid(open + 1, close - open - 1));
            return pid;
        }
    }
    return 0;
}

} // namespace

bool listedAsConsole(const QString &device, const QByteArray &consoles)
{
    dev_t number = 0;
    if (!deviceNumber(device, &number))
        return false;
    // "major:minor" is the last word of each line.
    const QByteArray wanted = QByteArray::number(major(number)) + ':' + QByteArray::number(minor(number));
    for (const QByteArray &line : consoles.split('\n'))
        if (line.simplified().split(' ').last() == wanted)
            return true;
    return false;
}

QString probeRefusal(const QString &device)
{
    dev_t number = 0;
    if (deviceNumber(device, &number)) {
        QFile consoles(QStringLiteral("/proc/consoles"));
        if (consoles.open(QIODevice::ReadOnly) && listedAsConsole(device, consoles.read(64 * 1024)))
            return QStringLiteral("the system console: not probed");
        QString program;
        if (const qint64 pid = terminalUser(number, &program))
            return QStringLiteral("in use: the terminal of process %1 (%2)").arg(pid).arg(program);
    }
    const PortCheck check = checkPort(device);
    return check.usable ? QString() : check.reason;
}

QList<FindPort> findCandidates(const ComPorts &ports, bool comOnly)
{
    QList<FindPort> list;
    QSet<QString> seen;
    auto add = [&](const QString &name, const QString &device, int com) {
        const QString canonical = QFileInfo(device).canonicalFilePath();
        const QString key = canonical.isEmpty() ? device : canonical;
        if (device.isEmpty() || seen.contains(key))
            return;
        seen.insert(key);
        list.append({name, device, com, probeRefusal(device)});
    };
    // A Com number whose device is not there is no present port.
    for (const ComPort &c : ports.all())
        if (dev_t number = 0; deviceNumber(c.device, &number))
            add(QStringLiteral("com%1").arg(c.number), c.device, c.number);
    if (!comOnly)
        for (const PresentDevice &d : ports.presentDevices())
            add(d.path, d.path, 0);
    return list;
}

QString answeredAtText(const SerialSettings &settings)
{
    return serialSettingsText(settings).trimmed();
}

// One port's search: its own engine over its own device.
struct DecoderFinder::Probe
{
    explicit Probe(const Timing &timing) : engine(portIo, timing, nullptr) {}
    SimulatedPortIo portIo{false}; // the keyboard line is never used here
    LinkExchange engine;
    LinkSettings link;
    int rate = 0; // index into probeRates()
    bool done = false;
};

DecoderFinder::DecoderFinder(const Timing &timing, QObject *parent) : QObject(parent), m_timing(timing) {}

DecoderFinder::~DecoderFinder() = default;

QList<qint32> DecoderFinder::probeRates()
{
    QList<qint32> rates(kBaudRates.begin(), kBaudRates.end());
    std::sort(rates.begin(), rates.end(), std::greater<>());
    return rates;
}

int DecoderFinder::foundCount() const
{
    return int(std::count_if(m_results.begin(), m_results.end(),
                             [](const FindResult &r) { return r.kind == FindResult::Kind::Found; }));
}

QList<LinkExchange *> DecoderFinder::engines() const
{
    QList<LinkExchange *> list;
    for (const auto &p : m_probes)
        if (p)
            list << &p->engine;
    return list;
}

void DecoderFinder::start(const QList<FindPort> &ports, const SerialSettings &frame)
{
    if (m_pending > 0)
        return;
    m_frame = frame;
    m_ports = ports;
    m_results = QList<FindResult>(ports.size());
    m_probes.clear();
    m_probes.resize(std::size_t(ports.size()));
    m_pending = int(ports.size());
    for (int i = 0; i < ports.size(); ++i) {
        const FindPort &port = ports[i];
        if (!port.skipped.isEmpty()) {
            // Ended from the event loop, as every probe is.
            QMetaObject::invokeMethod(
                this,
                [this, i] {
                    portEnded(i, {FindResult::Kind::Skipped, {}, {}, m_ports[i].skipped});
                },
                Qt::QueuedConnection);
            continue;
        }
        auto probe = std::make_unique<Probe>(m_timing);
        const QString device = port.device;
        probe->engine.serialPort().setResolver([device](int) { return device; });
        probe->link.linkMode = LinkSettings::kRs232;
        probe->link.portNumber = qint16(port.comNumber > 0 ? port.comNumber : 1);
        probe->link.serial = frame;
        connect(&probe->engine, &LinkExchange::finished, this, [this, i](LinkResult r) {
            Probe &p = *m_probes[std::size_t(i)];
            const qint32 rate = p.link.serial.baud;
            switch (r) {
            case LinkResult::Good: {
                const UploadReply &reply = p.engine.reply();
                portEnded(i, {FindResult::Kind::Found,
                              p.link.serial,
                              reply.versionPart1 + QLatin1Char(' ') + reply.versionPart2,
                              {}});
                return;
            }
            case LinkResult::TimeOut:
                if (++p.rate < probeRates().size()) {
                    probeNext(i);
                    return;
                }
                portEnded(i, {FindResult::Kind::NoDecoder, {}, {}, QStringLiteral("no answer at any rate")});
                return;
            case LinkResult::Bad:
                portEnded(i, {FindResult::Kind::NoDecoder,
                              {},
                              {},
                              QStringLiteral("an answer at %1 that is not a decoder's reply")
                                  .arg(answeredAtText(p.link.serial))});
                return;
            case LinkResult::PortUnavailable:
                portEnded(i, {FindResult::Kind::Unavailable,
                              {},
                              {},
                              QStringLiteral("not available: ") +
                                  QString(p.engine.portError()).replace(QLatin1Char('\n'), QLatin1Char(' '))});
                return;
            case LinkResult::PortLost:
                portEnded(
                    i, {FindResult::Kind::Unavailable, {}, {}, QStringLiteral("the port went away at %1").arg(rate)});
                return;
            case LinkResult::Aborted:
                portEnded(i, {FindResult::Kind::Stopped, {}, {}, QStringLiteral("stopped")});
                return;
            }
        });
        m_probes[std::size_t(i)] = std::move(probe);
        probeNext(i);
    }
}

void DecoderFinder::probeNext(int index)
{
    Probe &p = *m_probes[std::size_t(index)];
    p.link.serial.baud = probeRates().at(p.rate);
    Q_EMIT probing(index, p.link.serial.baud);
    p.engine.probe(p.link, m_timing.probeFirstByteMs);
}

void DecoderFinder::portEnded(int index, const FindResult &result)
{
    if (m_pending <= 0)
        return;
    m_results[index] = result;
    if (auto &p = m_probes[std::size_t(index)]) {
        if (p->done)
            return;
        p->done = true;
    }
    Q_EMIT portDone(index);
    if (--m_pending == 0)
        Q_EMIT finished();
}

void DecoderFinder::cancel()
{
    for (const auto &p : m_probes)
        if (p && !p->done)
            p->engine.abort();
}

} // namespace q5n
