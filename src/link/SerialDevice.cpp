#include "link/SerialDevice.h"

#include "link/FdWatch.h"
#include "link/PortAccess.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace q5n {

namespace {

// The device numbers of pseudo-terminal slaves (/dev/pts/N).
constexpr unsigned kPtySlaveMajorFirst = 136;
constexpr unsigned kPtySlaveMajorLast = 143;

speed_t speedOf(qint32 baud)
{
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    default: return B0;
    }
}

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

SerialDevice::SerialDevice(QObject *parent) : QObject(parent) {}

SerialDevice::~SerialDevice()
{
    close();
}

bool SerialDevice::fail(Error error, const QString &text)
{
    m_error = error;
    m_errorText = text;
    return false;
}

bool SerialDevice::open(const QString &path, const SerialSettings &settings)
{
    close();
    m_error = Error::None;
    m_errorText.clear();
    // The device itself, not a link to it: the lock file is named after the
    // device, so two names of one device take one lock.
    const QString device = QFileInfo(path).canonicalFilePath();
    if (device.isEmpty())
        return fail(Error::NotFound, QStringLiteral("%1: no such device.").arg(path));

    // A lock file that is not a regular file is never opened (a FIFO would
    // block the opening for ever); one whose process holds the device keeps it.
    const std::optional<SerialLock> lock = serialLock(device);
    if (lock && !lock->regular)
        return fail(Error::BadLockFile, QStringLiteral("%1: %2").arg(path, lockText(*lock)));
    if (lock && lock->holdsDevice)
        return fail(Error::Busy,
                    QStringLiteral("%1: the port is in use by another program.\n%2").arg(path, lockText(*lock)));

    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        switch (error) {
        case ENOENT:
        case ENXIO:
        case ENODEV: return fail(Error::NotFound, QStringLiteral("%1: no such device.").arg(path));
        case EACCES:
        case EPERM: {
            QString text = QStringLiteral("%1: permission denied.").arg(path);
            if (const auto owner = deviceOwnership(device))
                text += QLatin1Char('\n') + accessAdvice(*owner);
            return fail(Error::PermissionDenied, text);
        }
        case EBUSY:
            return fail(Error::Busy, QStringLiteral("%1: the port is in use by another program.\n%2")
                                         .arg(path, heldText(deviceOpeners(device), false)));
        default: return fail(Error::Other, QStringLiteral("%1: %2").arg(path, systemText(error)));
        }
    }
    struct stat st
    {
    };
    termios probe{};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || ::tcgetattr(fd, &probe) != 0) {
        ::close(fd);
        return fail(Error::NotSerial, QStringLiteral("%1: not a serial device.").arg(path));
    }
    // The exclusive lock on the device decides whether another program has it.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK)
            return fail(Error::Busy, QStringLiteral("%1: the port is in use by another program.\n%2")
                                         .arg(path, heldText(deviceLockers(device), true)));
        return fail(Error::Other, QStringLiteral("%1: %2").arg(path, systemText(error)));
    }
    ::ioctl(fd, TIOCEXCL);
    m_fd = fd;
    m_pseudoTerminal = major(st.st_rdev) >= kPtySlaveMajorFirst && major(st.st_rdev) <= kPtySlaveMajorLast;
    m_path = path;
    if (!applySettings(settings)) {
        const QString reason = systemText(errno);
        close();
        return fail(Error::BadSettings, QStringLiteral("%1: the settings %2 are not accepted (%3).")
                                            .arg(path, serialSettingsText(settings), reason));
    }
    ::tcflush(fd, TCIOFLUSH);
    // A stale lock (its process gone, or not holding the device) gives way.
    if (lock && !lock->holdsDevice)
        ::unlink(QFile::encodeName(lock->path).constData());
    writeLockFile(device);
    m_watch = std::make_unique<FdWatch>(
        fd, [this] { onReadable(); }, [this] { onWritable(); });
    return true;
}

bool SerialDevice::applySettings(const SerialSettings &settings)
{
    if (m_fd < 0)
        return false;
    termios t{};
    if (::tcgetattr(m_fd, &t) != 0)
        return false;
    const speed_t speed = speedOf(settings.baud);
    if (speed == B0) {
        errno = EINVAL;
        return false;
    }
    // The count the reader asked for stays; a line just opened starts at one
    // byte, whatever the last program left on it.
    const cc_t minimum = m_minimum ? m_minimum : 1;
    ::cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD | (settings.dataBits == DataBits::Seven ? CS7 : CS8);
    if (settings.stopBits == StopBits::Two)
        t.c_cflag |= CSTOPB;
    switch (settings.parity) {
    case Parity::None: break;
    case Parity::Even: t.c_cflag |= PARENB; break;
    case Parity::Odd: t.c_cflag |= PARENB | PARODD; break;
    case Parity::Mark: t.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case Parity::Space: t.c_cflag |= PARENB | CMSPAR; break;
    }
    t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    t.c_cc[VMIN] = minimum;
    t.c_cc[VTIME] = 0;
    m_minimum = 0; // unknown until the line has taken the settings
    if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0)
        return false;
    if (::tcsetattr(m_fd, TCSANOW, &t) != 0) {
        // A pseudo-terminal carries 8 data bits without parity whatever it is
        // told, and once it has forced that it refuses 7 bits or a parity
        // (EINVAL): the rate and the stop bits still go to the line.
        if (errno != EINVAL || !m_pseudoTerminal)
            return false;
        t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR);
        t.c_cflag |= CS8;
        if (::tcsetattr(m_fd, TCSANOW, &t) != 0)
            return false;
    }
    // tcsetattr succeeds when any part was taken: the rate must be the one asked for.
    termios now{};
    if (::tcgetattr(m_fd, &now) != 0 || ::cfgetospeed(&now) != speed) {
        errno = EINVAL;
        return false;
    }
    m_minimum = now.c_cc[VTIME] == 0 ? now.c_cc[VMIN] : 0;
    return true;
}

void SerialDevice::setMinimumCount(int bytes)
{
    const auto wanted = cc_t(std::clamp(bytes, 1, 255));
    // The line's count is known from the last change: asked again for the
    // same count (every request does), the system is not asked at all.
    if (m_fd < 0 || wanted == m_minimum)
        return;
    termios t{};
    if (::tcgetattr(m_fd, &t) != 0)
        return;
    t.c_cc[VMIN] = wanted;
    t.c_cc[VTIME] = 0;
    if (::tcsetattr(m_fd, TCSANOW, &t) == 0)
        m_minimum = wanted;
}

void SerialDevice::close()
{
    if (m_fd < 0)
        return;
    Q_EMIT closing();
    m_watch.reset();
    // Exclusive mode outlives the descriptor while another end keeps the line
    // open (a pseudo-terminal's): give it up, with the lock file.
    ::ioctl(m_fd, TIOCNXCL);
    removeLockFile();
    ::close(m_fd);
    m_fd = -1;
    m_buffer.clear();
    m_pending.clear();
    m_drained = false;
    m_minimum = 0;
}

bool SerialDevice::write(const QByteArray &bytes)
{
    if (m_fd < 0)
        return false;
    // Written from the event loop, as soon as the line takes it: the caller
    // first clears what the line received before, so an answer that comes at
    // once is not cleared with it.
    m_pending += bytes;
    if (m_watch)
        m_watch->setWriteWanted(true);
    return true;
}

void SerialDevice::flush()
{
    writePending();
}

void SerialDevice::writePending()
{
    while (m_fd >= 0 && !m_pending.isEmpty()) {
        const ssize_t n = ::write(m_fd, m_pending.constData(), size_t(m_pending.size()));
        if (n > 0) {
            m_pending.remove(0, qsizetype(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        loseLine(n < 0 ? errno : EIO);
        return;
    }
    if (m_watch)
        m_watch->setWriteWanted(!m_pending.isEmpty());
}

void SerialDevice::onWritable()
{
    writePending();
}

bool SerialDevice::drain()
{
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
        if (n > 0) {
            m_buffer.append(chunk, qsizetype(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        // End of file on a terminal is a hang-up; EIO, ENXIO and ENODEV a line gone.
        loseLine(n == 0 ? EIO : errno);
        return false;
    }
}

void SerialDevice::onReadable()
{
    if (m_fd < 0 || !drain())
        return;
    // What the system held is read: the readers of this signal take it from
    // the buffer without asking the system again (bytes that come meanwhile
    // make the line readable again).
    const QPointer<SerialDevice> alive(this);
    m_drained = true;
    Q_EMIT readable();
    if (alive)
        m_drained = false;
}

QByteArray SerialDevice::readAll()
{
    if (m_fd >= 0 && !m_drained)
        drain();
    QByteArray out;
    out.swap(m_buffer);
    return out;
}

int SerialDevice::bytesWaiting() const
{
    int waiting = 0;
    if (m_fd >= 0 && ::ioctl(m_fd, FIONREAD, &waiting) != 0)
        waiting = 0;
    return int(m_buffer.size()) + waiting;
}

void SerialDevice::clearInput()
{
    if (m_fd >= 0) {
        ::tcflush(m_fd, TCIFLUSH);
        drain();
    }
    m_buffer.clear();
}

void SerialDevice::clearOutput()
{
    if (m_fd >= 0)
        ::tcflush(m_fd, TCOFLUSH);
    m_pending.clear();
    if (m_watch)
        m_watch->setWriteWanted(false);
}

void SerialDevice::loseLine(int error)
{
    if (m_fd < 0)
        return;
    const QString reason = error == EIO ? QStringLiteral("The line hung up (%1).").arg(systemText(error))
                                        : QStringLiteral("The device went away (%1).").arg(systemText(error));
    close();
    Q_EMIT lost(reason);
}

void SerialDevice::writeLockFile(const QString &device)
{
    const QString path = serialLockPath(device);
    if (path.isEmpty())
        return;
    const QByteArray name = QFile::encodeName(path);
    // Never through a link, never blocking, never over another file.
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    struct stat st
    {
    };
    // The usual form: the process number in ten characters and a newline.
    const QByteArray text = QByteArray::number(qint64(::getpid())).rightJustified(10, ' ') + '\n';
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        ::write(fd, text.constData(), size_t(text.size())) != text.size()) {
        ::close(fd);
        return;
    }
    ::close(fd);
    m_lockPath = path;
    m_lockDev = st.st_dev;
    m_lockIno = st.st_ino;
}

void SerialDevice::removeLockFile()
{
    if (m_lockPath.isEmpty())
        return;
    const QByteArray name = QFile::encodeName(m_lockPath);
    struct stat st
    {
    };
    // Only the file this device wrote: another may have replaced it meanwhile.
    if (::lstat(name.constData(), &st) == 0 && st.st_dev == m_lockDev && st.st_ino == m_lockIno)
        ::unlink(name.constData());
    m_lockPath.clear();
}

} // namespace q5n
