#pragma once

#include "link/PortIo.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <sys/types.h>

namespace q5n {

// The keyboard line's ports as the program reaches them: through q5nkbd, the
// small helper that alone may hold port access. InitializeWinIo() starts the
// helper on a socket pair and reads its greeting; each port call is then one
// checked request (reading the interrupt mask opens a handshake, a data-port
// write sends one key byte, a mask write gives back the mask that was read).
// The program itself never holds port access. When the helper is missing or
// cannot take the ports, every call fails as the hardware would. A helper that
// started and has since ended (it refused a request, or was killed) is started
// again by the next exchange's opening of its handshake, which then goes on:
// one failed exchange, or a helper gone, does not cost that exchange or the
// keyboard line for the rest of the session.
class HelperPortIo final : public PortIo
{
public:
    struct Launch
    {
        QString program;
        QStringList arguments;
        // Handed to the helper as its descriptors 3, 4, ... (its test build's ports).
        QList<int> descriptors;
    };

    // The installed helper: ../libexec/q5ncfg/q5nkbd beside the program,
    // else the libexec folder the program was built for.
    static QString installedHelper();

    // Starts `launch` on a socket pair (its descriptors 0 and 1) with an empty
    // environment; returns the program's end of the pair, or -1.
    static int spawn(const Launch &launch, pid_t *pid);

    explicit HelperPortIo(Launch launch);
    ~HelperPortIo() override;
    HelperPortIo(const HelperPortIo &) = delete;
    HelperPortIo &operator=(const HelperPortIo &) = delete;

    bool InitializeWinIo() override;
    bool SetPortVal(quint16 port, quint32 value, quint8 size) override;
    bool GetPortVal(quint16 port, quint32 *value, quint8 size) override;
    void ShutdownWinIo() override;

    bool isRunning() const { return m_socket >= 0; }
    // The running helper's process (-1 when none runs).
    pid_t pid() const { return m_pid; }

private:
    bool request(quint8 kind, int length, quint8 payload, quint8 *reply);
    bool receive(quint8 *status, quint8 *value, int timeoutMs);
    void stop();

    Launch m_launch;
    bool m_wanted = false; // started, and not shut down since
    int m_socket = -1;
    pid_t m_pid = -1;
};

} // namespace q5n
