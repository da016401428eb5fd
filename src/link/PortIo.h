#pragma once

#include <QList>
#include <QtGlobal>

#include <functional>

namespace q5n {

// Direct access to PC I/O ports, for the keyboard-port channel. Only two ports
// are ever written: the keyboard controller's data port and the interrupt
// mask of the master interrupt controller; the mask is also read, so that the
// channel can put back exactly what it found.
class PortIo
{
public:
    static constexpr quint16 kKeyboardDataPort = 0x60;
    static constexpr quint16 kInterruptMaskPort = 0x21;

    virtual ~PortIo() = default;
    // False when port access is unusable on this machine.
    virtual bool InitializeWinIo() = 0;
    // Writes `size` bytes (always 1) of `value` to `port`; false on failure.
    virtual bool SetPortVal(quint16 port, quint32 value, quint8 size) = 0;
    // Reads `size` bytes (always 1) from `port` into `value`; false on failure
    // (then `value` is left alone).
    virtual bool GetPortVal(quint16 port, quint32 *value, quint8 size) = 0;
    virtual void ShutdownWinIo() = 0;
};

// Gives up every capability of the process (permitted, effective,
// inheritable, ambient). The program needs none: port access is the helper's
// (HelperPortIo), so a capability given to the program by mistake is dropped
// first thing in main(). False only when the system refused.
bool dropAllCapabilities();

// A port I/O in process: it records what is written and read and passes every
// write to an observer (the keyboard-line side of the decoder simulator listens
// here). The interrupt mask port holds the last value written to it, so a read
// gives back what the system (or a test) set.
class SimulatedPortIo : public PortIo
{
public:
    struct Write
    {
        quint16 port;
        quint8 value;
    };
    using Observer = std::function<void(quint16 port, quint8 value)>;

    explicit SimulatedPortIo(bool available = true) : m_available(available) {}

    bool InitializeWinIo() override;
    bool SetPortVal(quint16 port, quint32 value, quint8 size) override;
    bool GetPortVal(quint16 port, quint32 *value, quint8 size) override;
    void ShutdownWinIo() override;

    // The interrupt mask as the system left it (what a read of the mask port gives).
    void setInterruptMask(quint8 mask) { m_interruptMask = mask; }
    quint8 interruptMask() const { return m_interruptMask; }
    // Every read, in order, with the value it gave.
    const QList<Write> &reads() const { return m_reads; }

    void setObserver(Observer observer) { m_observer = std::move(observer); }
    const QList<Write> &writes() const { return m_writes; }
    void clearWrites()
    {
        m_writes.clear();
        m_reads.clear();
    }
    int initializeCalls() const { return m_initializeCalls; }
    int shutdownCalls() const { return m_shutdownCalls; }

private:
    bool m_available;
    Observer m_observer;
    QList<Write> m_writes;
    QList<Write> m_reads;
    quint8 m_interruptMask = 0;
    int m_initializeCalls = 0;
    int m_shutdownCalls = 0;
};

} // namespace q5n
