// The real ports: ioperm() for exactly the two ports (needs CAP_SYS_RAWIO),
// then inb()/outb(). x86 Linux only; elsewhere the access is refused.
#include "kbdhelper/Backend.h"

#include <cerrno>

#if defined(__linux__) && (defined(__x86_64__) || defined(__i386__))
#include <sys/io.h>
#define Q5NKBD_HAVE_IOPERM 1
#endif

namespace q5nkbd {

namespace {

#ifdef Q5NKBD_HAVE_IOPERM
class HardwarePorts final : public Ports
{
public:
    int readMask() override { return inb(kInterruptMaskPort); }
    void write(std::uint16_t port, std::uint8_t value) override { outb(value, port); }
};
#endif

} // namespace

int lastDescriptor()
{
    return 2;
}

Ports *openPorts(int, char **, int *error)
{
#ifdef Q5NKBD_HAVE_IOPERM
    if (ioperm(kKeyboardDataPort, 1, 1) != 0 || ioperm(kInterruptMaskPort, 1, 1) != 0) {
        *error = errno;
        ioperm(kKeyboardDataPort, 1, 0);
        return nullptr;
    }
    static HardwarePorts ports;
    return &ports;
#else
    *error = ENOSYS;
    return nullptr;
#endif
}

Pace clientPace(int, char **)
{
    return kProtocolPace;
}

} // namespace q5nkbd
