// Simulated ports for the test build of the helper (never installed, never
// given a capability). Descriptor 3 receives every port write as two bytes,
// the port's low byte and the value; each read of the interrupt mask takes the
// next byte from descriptor 4, so the test on the other end decides what the
// mask is. The argument "-" refuses the port access, as a missing capability;
// "paced" holds the client to the protocol's pace, as the real helper always
// does (the tests that shorten the program's intervals leave it out).
#include "kbdhelper/Backend.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace q5nkbd {

namespace {

constexpr int kWrites = 3;
constexpr int kMaskReads = 4;

class SimulatedPorts final : public Ports
{
public:
    int readMask() override
    {
        std::uint8_t byte = 0;
        ssize_t n;
        while ((n = ::read(kMaskReads, &byte, 1)) < 0 && errno == EINTR) {
        }
        return n == 1 ? byte : -1;
    }
    void write(std::uint16_t port, std::uint8_t value) override
    {
        const std::uint8_t report[2] = {static_cast<std::uint8_t>(port & 0xFF), value};
        while (::write(kWrites, report, sizeof report) < 0 && errno == EINTR) {
        }
    }
};

} // namespace

int lastDescriptor()
{
    return kMaskReads;
}

Ports *openPorts(int argc, char **argv, int *error)
{
    bool refused = false;
    for (int i = 1; i < argc; ++i)
        refused = refused || std::strcmp(argv[i], "-") == 0;
    if (refused) {
        *error = EPERM;
        return nullptr;
    }
    static SimulatedPorts ports;
    return &ports;
}

Pace clientPace(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "paced") == 0)
            return kProtocolPace;
    return {};
}

} // namespace q5nkbd
