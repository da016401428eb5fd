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
    // `arguments` go to the helper's test build ("paced": the protocol's pace).
    explicit PortThroughHelper(SimulatedPortIo &port, const QStringList &arguments = {}) : m_port(port)
    {
        int writes[2], masks[2];
        if (::pipe2(writes, O_CLOEXEC) != 0 || ::pipe2(masks, O_CLOEXEC) != 0)
            qFatal("no pipes for the keyboard-port helper");
        ::fcntl(m_writes = writes[0], F_SETFL, O_NONBLOCK);
        m_masks = masks[1];
        // The helper's ends stay open here, so that a helper started again
        // (after a refusal or a kill) gets its ports too.
        m_helperEnds[0] = writes[1];
        m_helperEnds[1] = masks[0];
        m_helper = std::make_unique<HelperPortIo>(
            HelperPortIo::Launch{QStringLiteral(Q5N_KBD_SIM_HELPER), arguments, {m_helperEnds[0], m_helperEnds[1]}});
        if (!m_helper->InitializeWinIo())
            qFatal("the helper's test build did not start: %s", Q5N_KBD_SIM_HELPER);
    }
    ~PortThroughHelper() override
    {
        m_helper.reset();
        for (int fd : {m_writes, m_masks, m_helperEnds[0], m_helperEnds[1]})
            ::close(fd);
    }

    HelperPortIo &helper() { return *m_helper; }

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
        // `port` records the read and holds the mask the helper is to find;
        // the program gets the helper's answer, as it does from the real
        // helper (an opening of the exchange, whatever `port` could do alone).
        quint32 simulated = 0;
        m_port.GetPortVal(port, &simulated, size);
        const quint8 mask = m_port.interruptMask();
        return port == kInterruptMaskPort && ::write(m_masks, &mask, 1) == 1 && m_helper->GetPortVal(port, value, size);
    }

private:
    SimulatedPortIo &m_port;
    int m_writes = -1; // what the helper wrote to its ports
    int m_masks = -1;  // the masks its reads give
    int m_helperEnds[2] = {-1, -1};
    std::unique_ptr<HelperPortIo> m_helper;
};

} // namespace q5n::test
