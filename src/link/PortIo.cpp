#include "link/PortIo.h"

#if defined(__linux__) && (defined(__x86_64__) || defined(__i386__))
#include <sys/io.h>
#define Q5N_HAVE_IOPERM 1
#endif

namespace q5n {

bool HardwarePortIo::InitializeWinIo()
{
#ifdef Q5N_HAVE_IOPERM
    m_ready = ioperm(kKeyboardDataPort, 1, 1) == 0 && ioperm(kInterruptMaskPort, 1, 1) == 0;
    if (!m_ready) {
        ioperm(kKeyboardDataPort, 1, 0);
        ioperm(kInterruptMaskPort, 1, 0);
    }
#else
    m_ready = false;
#endif
    return m_ready;
}

bool HardwarePortIo::SetPortVal(quint16 port, quint32 value, quint8 size)
{
    if (!m_ready || size != 1 || (port != kKeyboardDataPort && port != kInterruptMaskPort))
        return false;
#ifdef Q5N_HAVE_IOPERM
    outb(static_cast<unsigned char>(value & 0xFF), port);
    return true;
#else
    Q_UNUSED(value);
    return false;
#endif
}

bool HardwarePortIo::GetPortVal(quint16 port, quint32 *value, quint8 size)
{
    if (!m_ready || size != 1 || !value || (port != kKeyboardDataPort && port != kInterruptMaskPort))
        return false;
#ifdef Q5N_HAVE_IOPERM
    *value = inb(port);
    return true;
#else
    return false;
#endif
}

void HardwarePortIo::ShutdownWinIo()
{
#ifdef Q5N_HAVE_IOPERM
    if (m_ready) {
        ioperm(kKeyboardDataPort, 1, 0);
        ioperm(kInterruptMaskPort, 1, 0);
    }
#endif
    m_ready = false;
}

bool SimulatedPortIo::InitializeWinIo()
{
    ++m_initializeCalls;
    return m_available;
}

bool SimulatedPortIo::SetPortVal(quint16 port, quint32 value, quint8 size)
{
    if (size != 1)
        return false;
    const auto byte = static_cast<quint8>(value & 0xFF);
    m_writes.append({port, byte});
    if (port == kInterruptMaskPort)
        m_interruptMask = byte;
    if (m_observer)
        m_observer(port, byte);
    return m_available;
}

bool SimulatedPortIo::GetPortVal(quint16 port, quint32 *value, quint8 size)
{
    if (size != 1 || !value)
        return false;
    const quint8 byte = port == kInterruptMaskPort ? m_interruptMask : 0;
    m_reads.append({port, byte});
    if (!m_available)
        return false;
    *value = byte;
    return true;
}

void SimulatedPortIo::ShutdownWinIo()
{
    ++m_shutdownCalls;
}

} // namespace q5n
