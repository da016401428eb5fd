#include "link/PortIo.h"

#if defined(__linux__) && (defined(__x86_64__) || defined(__i386__))
#include <sys/io.h>
#define Q5N_HAVE_IOPERM 1
#endif

#ifdef __linux__
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace q5n {

namespace {

void releasePorts()
{
#ifdef Q5N_HAVE_IOPERM
    ioperm(PortIo::kKeyboardDataPort, 1, 0);
    ioperm(PortIo::kInterruptMaskPort, 1, 0);
    iopl(0);
#endif
}

} // namespace

bool HardwarePortIo::takePortAccessAndDropCapabilities(bool *dropped)
{
    bool taken = false;
#ifdef Q5N_HAVE_IOPERM
    taken = ioperm(kKeyboardDataPort, 1, 1) == 0 && ioperm(kInterruptMaskPort, 1, 1) == 0;
    if (!taken)
        releasePorts();
#endif
#ifdef __linux__
    // Raw syscalls: no capability library is needed for "none at all". The
    // ambient set goes first (capset leaves it alone); lowering is always allowed.
    ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    const bool ok = ::syscall(SYS_capset, &header, data) == 0;
#else
    const bool ok = true;
#endif
    if (dropped)
        *dropped = ok;
    return taken;
}

void HardwarePortIo::releasePortAccessInChild()
{
    releasePorts();
}

bool HardwarePortIo::InitializeWinIo()
{
    m_ready = m_taken;
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
    // Given up for good: the capability to take it again is gone.
    if (m_ready)
        releasePorts();
    m_ready = false;
    m_taken = false;
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
