#pragma once

// The far end of a pseudo-terminal, driven by a test: the program opens the
// slave device as its serial port; the test reads what was sent on the master
// side and answers from there.

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <fcntl.h>
#include <functional>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace q5n::test {

class PtyPeer : public QObject
{
public:
    PtyPeer()
    {
        m_fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd < 0 || ::grantpt(m_fd) != 0 || ::unlockpt(m_fd) != 0)
            return;
        m_slave = QString::fromLocal8Bit(::ptsname(m_fd));
        // Holding the slave open keeps the master from seeing a hang-up
        // between the program's exchanges (it opens and closes its port).
        m_slaveFd = ::open(::ptsname(m_fd), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios t{};
        if (m_slaveFd >= 0 && ::tcgetattr(m_slaveFd, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(m_slaveFd, TCSANOW, &t);
        }
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] { readMaster(); });
    }
    ~PtyPeer() override { hangUp(); }

    bool isValid() const { return m_fd >= 0 && !m_slave.isEmpty(); }
    QString slavePath() const { return m_slave; }

    // Everything the program sent so far.
    QByteArray received() const { return m_received; }
    void clearReceived() { m_received.clear(); }

    // Called whenever bytes arrive, with all bytes received so far.
    std::function<void(const QByteArray &)> onReceived;

    void send(const QByteArray &bytes)
    {
        if (m_fd >= 0)
            (void)!::write(m_fd, bytes.constData(), size_t(bytes.size()));
    }

    // Closes the master: the program's side sees the line hang up.
    void hangUp()
    {
        delete m_notifier;
        m_notifier = nullptr;
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        if (m_slaveFd >= 0)
            ::close(m_slaveFd);
        m_slaveFd = -1;
    }

private:
    void readMaster()
    {
        char buf[512];
        for (;;) {
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n <= 0)
                break;
            m_received.append(buf, qsizetype(n));
        }
        if (onReceived)
            onReceived(m_received);
    }

    int m_fd = -1;
    int m_slaveFd = -1;
    QString m_slave;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_received;
};

} // namespace q5n::test
