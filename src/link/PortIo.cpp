#include "link/PortIo.h"

#ifdef __linux__
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace q5n {

bool dropAllCapabilities()
{
#ifdef __linux__
    // Raw syscalls: no capability library is needed for "none at all". The
    // ambient set goes first (capset leaves it alone); lowering is always allowed.
    ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    return ::syscall(SYS_capset, &header, data) == 0;
#else
    return true;
#endif
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
