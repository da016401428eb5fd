#include "support/PortThroughHelper.h"

#include <QtGlobal>

#include <fcntl.h>
#include <unistd.h>

namespace q5n::test {

PortThroughHelper::PortThroughHelper(SimulatedPortIo &port) : m_port(port)
{
    int writes[2];
    int masks[2];
    if (::pipe2(writes, O_CLOEXEC) != 0 || ::pipe2(masks, O_CLOEXEC) != 0)
        qFatal("no pipes for the keyboard-port helper");
    ::fcntl(writes[0], F_SETFL, O_NONBLOCK);
    m_writes = writes[0];
    m_masks = masks[1];
    m_helper = std::make_unique<HelperPortIo>(
        HelperPortIo::Launch{QStringLiteral(Q5N_KBD_SIM_HELPER), {}, {writes[1], masks[0]}});
    const bool started = m_helper->InitializeWinIo();
    ::close(writes[1]);
    ::close(masks[0]);
    if (!started)
        qFatal("the keyboard-port helper's test build did not start: %s", Q5N_KBD_SIM_HELPER);
}

PortThroughHelper::~PortThroughHelper()
{
    m_helper.reset();
    ::close(m_writes);
    ::close(m_masks);
}

bool PortThroughHelper::SetPortVal(quint16 port, quint32 value, quint8 size)
{
    const bool sent = m_helper->SetPortVal(port, value, size);
    const bool written = replayWrites();
    if (!sent)
        qWarning("the keyboard-port helper refused the write of %u to port 0x%x", value, port);
    return sent && written;
}

bool PortThroughHelper::GetPortVal(quint16 port, quint32 *value, quint8 size)
{
    quint32 simulated = 0;
    const bool readable = m_port.GetPortVal(port, &simulated, size);
    if (port != kInterruptMaskPort)
        return readable && (*value = simulated, true);
    const quint8 mask = m_port.interruptMask();
    if (::write(m_masks, &mask, 1) != 1)
        return false;
    quint32 read = 0;
    if (!m_helper->GetPortVal(port, &read, size) || !readable)
        return false;
    *value = read;
    return true;
}

// Each write the helper made, as port and value, into the simulated port.
bool PortThroughHelper::replayWrites()
{
    bool result = false;
    quint8 report[2];
    while (::read(m_writes, report, 2) == 2)
        result = m_port.SetPortVal(report[0] == (kKeyboardDataPort & 0xFF) ? kKeyboardDataPort : kInterruptMaskPort,
                                   report[1], 1);
    return result;
}

} // namespace q5n::test
