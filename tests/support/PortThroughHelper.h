#pragma once

#include "link/HelperPortIo.h"

#include <memory>

namespace q5n::test {

// The keyboard line as the program has it, through the helper: every port
// call goes to the helper's test build as a request, and the writes that the
// helper makes on its simulated ports come back into `port` (which records
// them and lets a simulated decoder listen). Each read of the interrupt mask
// gives the helper the mask `port` holds. Start-up and shut-down calls are
// `port`'s, so a test decides whether port I/O is available.
class PortThroughHelper final : public PortIo
{
public:
    explicit PortThroughHelper(SimulatedPortIo &port);
    ~PortThroughHelper() override;

    bool InitializeWinIo() override { return m_port.InitializeWinIo(); }
    bool SetPortVal(quint16 port, quint32 value, quint8 size) override;
    bool GetPortVal(quint16 port, quint32 *value, quint8 size) override;
    void ShutdownWinIo() override { m_port.ShutdownWinIo(); }

private:
    bool replayWrites();

    SimulatedPortIo &m_port;
    int m_writes = -1; // what the helper wrote to its ports
    int m_masks = -1;  // the masks its reads give
    std::unique_ptr<HelperPortIo> m_helper;
};

} // namespace q5n::test
