#pragma once

#include "link/HelperPortIo.h"

#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace q5n::test {

// The keyboard line as the program has it, through the helper: every port
// call is a request to the helper's test build, and the writes the helper
// makes on its simulated ports come back into `port` (which records them and
// lets a simulated decoder listen). Each mask read gives the helper the mask
// `port` holds. Start-up and shut-down are `port`'s, so a test decides whether
// port I/O is available.
class PortThroughHelper final : public PortIo
{
public:
    explicit PortThroughHelper(SimulatedPortIo &port) : m_port(port)
    {
        int writes[2], masks[2];
        if (::pipe2(writes, O_CLOEXEC) != 0 || ::pipe2(masks, O_CLOEXEC) != 0)
            qFatal("no pipes for the keyboard-port helper");
        ::fcntl(m_writes = writes[0], F_SETFL, O_NONBLOCK);
        m_masks = masks[1];
        m_helper = std::make_unique<HelperPortIo>(
            HelperPortIo::Launch{QStringLiteral(Q5N_KBD_SIM_HELPER), {}, {writes[1], masks[0]}});
        const bool started = m_helper->InitializeWinIo();
        ::close(writes[1]);
        ::close(masks[0]);
        if (!started)
            qFatal("the helper's test build did not start: %s", Q5N_KBD_SIM_HELPER);
    }
    ~PortThroughHelper() override
    {
        m_helper.reset();
        ::close(m_writes);
        ::close(m_masks);
    }

    bool InitializeWinIo() override { return m_port.InitializeWinIo(); }
    void ShutdownWinIo() override { m_port.ShutdownWinIo(); }
    bool SetPortVal(quint16 port, quint32 value, quint8 size) override
    {
        const bool sent = m_helper->SetPortVal(port, value, size);
        bool written = false;
        for (quint8 w[2]; ::read(m_writes, w, 2) == 2;)
            written = m_port.SetPortVal(w[0] == kInterruptMaskPort ? kInterruptMaskPort : kKeyboardDataPort, w[1], 1);
        if (!sent)
            qWarning("the keyboard-port helper refused the write of %u to port 0x%x", value, port);
        return sent && written;
    }
    bool GetPortVal(quint16 port, quint32 *value, quint8 size) override
    {
        quint32 simulated = 0;
        const bool readable = m_port.GetPortVal(port, &simulated, size);
        const quint8 mask = m_port.interruptMask();
        if (port != kInterruptMaskPort || ::write(m_masks, &mask, 1) != 1 || !m_helper->GetPortVal(port, value, size))
            return false;
        return readable;
    }

private:
    SimulatedPortIo &m_port;
    int m_writes = -1; // what the helper wrote to its ports
    int m_masks = -1;  // the masks its reads give
    std::unique_ptr<HelperPortIo> m_helper;
};

} // namespace q5n::test
