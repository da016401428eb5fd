#pragma once

#include "link/ComPorts.h"
#include "link/Timing.h"
#include "model/SerialSettings.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

namespace q5n {

// A port to look for a decoder on: the name the user knows it by ("com2" or a
// device path), the device to open, its Com number (0 for none), and why it is
// left alone, when it is.
struct FindPort
{
    QString name;
    QString device;
    int comNumber = 0;
    QString skipped; // "in use: ...", "the system console", ...; empty: probed
};

// Why a device may not be probed: it is the system console, the controlling
// terminal of a process (a login on it), or `checkPort` finds it held by
// another program, absent or not ours to open. Empty when it may be probed.
// The device is opened (without being taken) only once the console and the
// login sessions have been ruled out.
QString probeRefusal(const QString &device);
// Whether `consoles` (the text of /proc/consoles) lists the device behind
// `device` (by its major:minor number) as a console the kernel writes to.
bool listedAsConsole(const QString &device, const QByteArray &consoles);

// The ports a search without named ports goes over: Com 1..6 as the program
// resolves them, then (unless `comOnly`) every other present serial device,
// each device once, with the ones that may not be probed marked.
QList<FindPort> findCandidates(const ComPorts &ports = ComPorts(), bool comOnly = false);

// How the search of one port ended.
struct FindResult
{
    enum class Kind {
        Found,       // a decoder answered at `at`
        NoDecoder,   // silent at every rate, or an answer that is no decoder's
        Skipped,     // not probed: FindPort::skipped says why
        Unavailable, // the port could not be opened, or went away
        Stopped,     // cancelled
    };
    Kind kind = Kind::NoDecoder;
    SerialSettings at; // the settings the decoder answered at
    QString firmware;  // its version text: the 12 characters, a blank, the 10
    QString why;       // for every other kind: what happened
};

// The settings text without its trailing blank: "19200,N,8,1".
QString answeredAtText(const SerialSettings &settings);

class LinkExchange;
class SimulatedPortIo;

// Looks for decoders: every port at once, on each port the rates of the link
// settings in turn from the fastest, each with the firmware-version request.
// A rate at which no byte comes back within `Timing::probeFirstByteMs` is left
// at once; a port ends at its first answer, good or bad, so a line that
// talks without being a decoder gets one request per rate at most. No widgets,
// no waiting: started by one call, ended by finished().
class DecoderFinder : public QObject
{
    Q_OBJECT
public:
    explicit DecoderFinder(const Timing &timing, QObject *parent = nullptr);
    ~DecoderFinder() override;

    // The rates tried, in order: the link settings' rates from the fastest.
    static QList<qint32> probeRates();

    // Starts the search of `ports` with the frame of `frame` (its rate is
    // ignored). Skipped ports end at once. A call while a search runs is
    // ignored.
    void start(const QList<FindPort> &ports, const SerialSettings &frame);
    // Ends every probe at once: the ports close, the ones still searched end
    // Stopped, then finished() comes.
    void cancel();
    bool running() const { return m_pending > 0; }

    const QList<FindPort> &ports() const { return m_ports; }
    const QList<FindResult> &results() const { return m_results; }
    int foundCount() const;
    // The engines of the running probes (for a caller that stops exchanges).
    QList<LinkExchange *> engines() const;

Q_SIGNALS:
    // Port `index` is now asked at `rate`.
    void probing(int index, qint32 rate);
    // Port `index` is through: results()[index] says how.
    void portDone(int index);
    // Every port is through.
    void finished();

private:
    struct Probe;
    void probeNext(int index);
    void portEnded(int index, const FindResult &result);

    Timing m_timing;
    SerialSettings m_frame;
    QList<FindPort> m_ports;
    QList<FindResult> m_results;
    std::vector<std::unique_ptr<Probe>> m_probes;
    int m_pending = 0;
};

} // namespace q5n
