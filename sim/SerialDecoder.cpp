#include "sim/SerialDecoder.h"

#include "model/DecoderLine.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace q5n::sim {

namespace {

constexpr int kIncompleteRequestMs = 1000; // a request not completed by then is dropped
constexpr int kQuietAfterRefusalMs = 100;  // the rest of a refused frame is dropped until the line is quiet
constexpr int kMemoryAnswerMs = 3500;      // the program answers each memory block within this
constexpr int kSendTickMs = 2;
constexpr int kHangUpSettleMs = 30;
constexpr qint64 kFloodBytes = 1024 * 1024;
constexpr qint64 kDripByteNs = 50 * 1000000LL; // the drip fault: one byte every 50 ms
constexpr int kOtherRateDivisor = 4;           // the other-rate fault answers at a quarter of the rate
// The decoder's receive buffer: room for the longest request (a 90-byte
// download frame) and then some.
constexpr int kReceiveBufferSize = 256;

struct BaudEntry
{
    speed_t code;
    int baud;
};

constexpr BaudEntry kBauds[] = {
    {B300, 300},   {B600, 600},     {B1200, 1200},   {B2400, 2400},   {B4800, 4800},
    {B9600, 9600}, {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200},
};

int baudOf(speed_t code)
{
    for (const auto &e : kBauds)
        if (e.code == code)
            return e.baud;
    return 0;
}

speed_t codeOf(int baud)
{
    for (const auto &e : kBauds)
        if (e.baud == baud)
            return e.code;
    return B9600;
}

QString hexBytes(const QByteArray &bytes, int max = 96)
{
    QString s = QString::fromLatin1(bytes.left(max).toHex(' ')).toUpper();
    if (bytes.size() > max)
        s += QStringLiteral(" ...");
    return s;
}

QString kindName(RequestKind kind)
{
    switch (kind) {
    case RequestKind::Download: return QStringLiteral("download");
    case RequestKind::Upload: return QStringLiteral("upload");
    case RequestKind::MemoryRead: return QStringLiteral("memory read");
    case RequestKind::MemoryClear: return QStringLiteral("memory clear");
    case RequestKind::Unknown: return QStringLiteral("unknown request");
    case RequestKind::Garbage: return QStringLiteral("garbage");
    case RequestKind::Incomplete: break;
    }
    return QStringLiteral("incomplete request");
}

// The bits one byte takes on the wire: start, data, parity, stop.
int bitsPerByte(const SerialSettings &line)
{
    return 1 + int(line.dataBits) + (line.parity == Parity::None ? 0 : 1) + int(line.stopBits);
}

// "9600,N,8,1", as the log shows a line.
QString lineText(const SerialSettings &line)
{
    return serialSettingsText(line).trimmed();
}

} // namespace

SerialDecoder::SerialDecoder(QObject *parent) : QObject(parent)
{
    m_clock.start();
    m_processTimer.setSingleShot(true);
    m_processTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_processTimer, &QTimer::timeout, this, &SerialDecoder::processInput);
    m_incompleteTimer.setSingleShot(true);
    connect(&m_incompleteTimer, &QTimer::timeout, this, &SerialDecoder::dropIncomplete);
    m_quietTimer.setSingleShot(true);
    m_sendTimer.setTimerType(Qt::PreciseTimer);
    m_sendTimer.setInterval(kSendTickMs);
    connect(&m_sendTimer, &QTimer::timeout, this, &SerialDecoder::pumpOutput);
    m_memoryAnswerTimer.setSingleShot(true);
    m_memoryAnswerTimer.setInterval(kMemoryAnswerMs);
    connect(&m_memoryAnswerTimer, &QTimer::timeout, this,
            [this] { endMemoryRead(QStringLiteral("no answer to block")); });
}

SerialDecoder::~SerialDecoder()
{
    close();
}

bool SerialDecoder::open(const QString &linkPath)
{
    close();
    m_comPort = 0;
    m_error.clear();
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        m_error = QStringLiteral("posix_openpt: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    char name[256] = {};
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0) {
        m_error = QStringLiteral("pseudo-terminal set-up: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        ::close(master);
        return false;
    }
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        m_error =
            QStringLiteral("%1: %2").arg(QString::fromLocal8Bit(name), QString::fromLocal8Bit(std::strerror(errno)));
        ::close(master);
        return false;
    }
    // Raw mode, so that nothing the program sends is echoed or translated
    // before it sets the line up itself.
    termios t{};
    if (::tcgetattr(slave, &t) == 0) {
        ::cfmakeraw(&t);
        ::cfsetispeed(&t, codeOf(m_line.baud));
        ::cfsetospeed(&t, codeOf(m_line.baud));
        ::tcsetattr(slave, TCSANOW, &t);
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    if (!linkPath.isEmpty()) {
        const QFileInfo info(linkPath);
        if (info.isSymLink()) {
            QFile::remove(linkPath);
        } else if (info.exists()) {
            m_error = QStringLiteral("%1 exists and is not a symlink; left alone").arg(linkPath);
            ::close(slave);
            ::close(master);
            return false;
        }
        if (::symlink(name, QFile::encodeName(linkPath).constData()) != 0) {
            m_error = QStringLiteral("symlink %1: %2").arg(linkPath, QString::fromLocal8Bit(std::strerror(errno)));
            ::close(slave);
            ::close(master);
            return false;
        }
        m_linkPath = linkPath;
    }

    m_masterFd = master;
    m_slaveFd = slave;
    m_devicePath = QString::fromLocal8Bit(name);
    m_in.clear();
    m_out.clear();
    m_hangUpAfter = -1;
    m_memoryIndex = -1;
    m_notifier = new QSocketNotifier(master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SerialDecoder::readMaster);
    // Exclusive mode belongs to the line, which the decoder's own end keeps
    // alive: a program that ends without leaving it (killed, crashed) would
    // keep every later program out. Each close of the device is watched, and
    // the line is released once the program has gone.
    m_closeWatch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_closeWatch >= 0 &&
        ::inotify_add_watch(m_closeWatch, name, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) >= 0) {
        m_closeNotifier = new QSocketNotifier(m_closeWatch, QSocketNotifier::Read, this);
        connect(m_closeNotifier, &QSocketNotifier::activated, this, &SerialDecoder::lineOpenedOrClosed);
    }
    log(QStringLiteral("line open on %1 (%2)").arg(m_devicePath, lineText(m_line)));
    return true;
}

bool SerialDecoder::openAsComPort(int n, const QString &linkPath)
{
    if (!open(linkPath))
        return false;
    m_comPort = n;
    const QByteArray name = QByteArrayLiteral("Q5NCFG_COM") + QByteArray::number(n);
    qputenv(name.constData(), QFile::encodeName(m_devicePath));
    return true;
}

void SerialDecoder::close()
{
    m_processTimer.stop();
    m_incompleteTimer.stop();
    m_quietTimer.stop();
    m_sendTimer.stop();
    m_memoryAnswerTimer.stop();
    m_memoryIndex = -1;
    m_out.clear();
    m_floodLeft = 0;
    m_in.clear();
    m_overrunBytes = 0;
    if (m_notifier) {
        m_notifier->setEnabled(false);
        delete m_notifier;
        m_notifier = nullptr;
    }
    delete m_closeNotifier;
    m_closeNotifier = nullptr;
    if (m_closeWatch >= 0)
        ::close(m_closeWatch);
    m_closeWatch = -1;
    if (m_slaveFd >= 0)
        ::close(m_slaveFd);
    if (m_masterFd >= 0)
        ::close(m_masterFd);
    m_slaveFd = -1;
    m_masterFd = -1;
    if (!m_linkPath.isEmpty() && QFileInfo(m_linkPath).isSymLink())
        QFile::remove(m_linkPath);
    m_linkPath.clear();
}

qint64 SerialDecoder::byteTimeNs() const
{
    if (!m_pacing || m_line.baud <= 0)
        return 0;
    return qint64(bitsPerByte(m_line)) * 1000000000LL / m_line.baud;
}

void SerialDecoder::lineOpenedOrClosed()
{
    // Only the last event tells whether someone holds the line now: a program
    // that closed and opened it again at once holds it.
    alignas(inotify_event) char events[4096];
    bool closed = false;
    ssize_t n = 0;
    while ((n = ::read(m_closeWatch, events, sizeof events)) > 0) {
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
            const auto *e = reinterpret_cast<const inotify_event *>(events + at);
            if (e->mask & IN_OPEN)
                closed = false;
            if (e->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE))
                closed = true;
            at += ssize_t(sizeof(inotify_event)) + e->len;
        }
    }
    if (!closed)
        return;
    // What was still going out falls on a line nobody listens to.
    cutOutput(QStringLiteral("the program closed the line"));
    // Only a program that holds the line can have put it in exclusive mode,
    // and no other program (but root's) can open it meanwhile: a close with
    // the flag still set is that program gone without leaving it.
    int exclusive = 0;
    if (m_slaveFd < 0 || ::ioctl(m_slaveFd, TIOCGEXCL, &exclusive) != 0 || !exclusive)
        return;
    ::ioctl(m_slaveFd, TIOCNXCL);
    log(QStringLiteral("the program closed the line in exclusive mode; released"));
}

void SerialDecoder::cutOutput(const QString &why)
{
    const qint64 left = m_out.size() + m_floodLeft;
    m_out.clear();
    m_replyInFlight.clear();
    m_floodLeft = 0;
    m_hangUpAfter = -1;
    m_sendTimer.stop();
    if (left > 0)
        log(QStringLiteral("%1: %2 byte(s) not sent").arg(why).arg(left));
}

void SerialDecoder::readMaster()
{
    if (m_masterFd < 0)
        return;
    char buf[4096];
    const ssize_t n = ::read(m_masterFd, buf, sizeof buf);
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR)
            return;
        // Should not happen while the decoder holds its own end open; never
        // let a failing descriptor spin the event loop.
        log(QStringLiteral("read failed: %1; line closed").arg(QString::fromLocal8Bit(std::strerror(errno))));
        close();
        return;
    }
    if (n == 0)
        return;
    const QByteArray bytes(buf, int(n));
    const qint64 now = m_clock.nsecsElapsed();
    // The bytes arrive at the wire time of the line. A pseudo-terminal takes
    // them far faster than a line carries them: on a real line the sender
    // would have been held back, so at most a receive buffer's worth counts
    // as still arriving, and a flood cannot put the decoder's answers off.
    m_rxFreeAtNs = qMin(qMax(now, m_rxFreeAtNs) + bytes.size() * byteTimeNs(), now + kReceiveBufferSize * byteTimeNs());

    if (m_quietTimer.isActive()) {
        // Still the tail of a refused frame.
        m_quietTimer.start(kQuietAfterRefusalMs + int((m_rxFreeAtNs - now) / 1000000));
        return;
    }
    m_in += bytes;
    if (m_in.size() > kReceiveBufferSize) {
        // An overrun: the oldest bytes are lost, and the decoder looks for the
        // next request in what its buffer still holds.
        m_overrunBytes += m_in.size() - kReceiveBufferSize;
        m_in.remove(0, m_in.size() - kReceiveBufferSize);
    }
    const qint64 waitNs = (m_rxFreeAtNs - now) + qint64(m_responseDelayMs) * 1000000;
    m_processTimer.start(int(qMax<qint64>(0, (waitNs + 999999) / 1000000)));
}

bool SerialDecoder::programLineMatches(QString *programLine) const
{
    termios t{};
    if (m_slaveFd < 0 || ::tcgetattr(m_slaveFd, &t) != 0)
        return true;
    // A pseudo-terminal always carries 8 data bits without parity (the kernel
    // forces that), so only the baud rate and the stop bits tell a mismatch.
    SerialSettings program = m_line;
    program.baud = baudOf(::cfgetospeed(&t));
    program.stopBits = (t.c_cflag & CSTOPB) ? StopBits::Two : StopBits::One;
    *programLine = lineText(program);
    return program == m_line;
}

void SerialDecoder::processInput()
{
    if (m_overrunBytes > 0) {
        log(QStringLiteral("receive buffer overrun: %1 byte(s) lost").arg(m_overrunBytes));
        m_overrunBytes = 0;
    }
    if (m_in.isEmpty())
        return;
    if (m_checkLine) {
        QString programLine;
        if (!programLineMatches(&programLine)) {
            log(QStringLiteral("received %1 byte(s) sent as %2 while the decoder runs %3: garbled, ignored")
                    .arg(m_in.size())
                    .arg(programLine, lineText(m_line)));
            m_in.clear();
            return;
        }
    }
    // A running memory read takes the first byte as the program's answer to the last block.
    while (m_memoryIndex >= 0 && !m_in.isEmpty()) {
        const char answer = m_in[0];
        m_in.remove(0, 1);
        m_memoryAnswerTimer.stop();
        if (answer == 'S') {
            ++m_memoryIndex;
            if (m_memoryIndex < m_memoryBlocks.size())
                sendMemoryBlock();
            else
                endMemoryRead(QStringLiteral("\"S\" after the last block"));
        } else {
            const bool printable = answer > 0x20 && answer < 0x7F;
            endMemoryRead(printable ? QStringLiteral("answer \"%1\"").arg(QLatin1Char(answer))
                                    : QStringLiteral("answer byte 0x%1").arg(quint8(answer), 2, 16, QLatin1Char('0')));
        }
    }
    if (m_memoryIndex >= 0)
        return;

    while (!m_in.isEmpty()) {
        const RequestScan scan = scanRequest(m_in);
        if (scan.kind == RequestKind::Incomplete)
            break;
        const QByteArray bytes = m_in.left(scan.size);
        m_in.remove(0, scan.size);
        handleRequest(scan, bytes);
        if (m_quietTimer.isActive()) {
            m_in.clear();
            break;
        }
    }
    if (m_in.isEmpty())
        m_incompleteTimer.stop();
    else
        m_incompleteTimer.start(kIncompleteRequestMs);
}

void SerialDecoder::dropIncomplete()
{
    if (m_in.isEmpty())
        return;
    log(QStringLiteral("incomplete request dropped: %1").arg(hexBytes(m_in)));
    const bool download =
        m_in.size() >= 2 && (quint8(m_in[1]) == kCmdDownloadSave || quint8(m_in[1]) == kCmdDownloadNoSave);
    m_in.clear();
    if (download && m_model.fault != Fault::Silent) {
        ++m_model.downloadsRefused;
        sendReply(QByteArray(1, char(kRefuse)));
    }
}

void SerialDecoder::handleRequest(const RequestScan &scan, const QByteArray &bytes)
{
    log(QStringLiteral("received %1 (%2 bytes)%3: %4")
            .arg(kindName(scan.kind))
            .arg(bytes.size())
            .arg(scan.valid ? QString() : QStringLiteral(" refused, ") + scan.problem)
            .arg(hexBytes(bytes)));
    if (scan.kind == RequestKind::Garbage) {
        Q_EMIT requestHandled(scan.kind, false);
        return;
    }
    // A new request ends whatever the decoder was still sending.
    cutOutput(QStringLiteral("a new request"));
    const Fault fault = m_model.fault;
    if (fault == Fault::Silent) {
        log(QStringLiteral("fault silent: no answer"));
        Q_EMIT requestHandled(scan.kind, scan.valid);
        return;
    }
    if (fault == Fault::Remove || fault == Fault::Flood) {
        Q_EMIT requestHandled(scan.kind, scan.valid);
        if (fault == Fault::Remove) {
            remove();
            return;
        }
        flood();
        return;
    }
    if (!scan.valid || fault == Fault::Refuse) {
        // The rest of a frame cut short by a refusal is dropped.
        if ((scan.kind == RequestKind::Download && bytes.size() < kDownloadFrameSize) ||
            scan.kind == RequestKind::Unknown)
            m_quietTimer.start(kQuietAfterRefusalMs);
        if (scan.kind == RequestKind::Download) {
            ++m_model.downloadsRefused;
            Q_EMIT downloadReceived(imageFromDownloadFrame(bytes), quint8(bytes[1]), false);
        }
        sendReply(QByteArray(1, char(kRefuse)));
        Q_EMIT requestHandled(scan.kind, false);
        return;
    }

    switch (scan.kind) {
    case RequestKind::Download: {
        const ConfigImage image = imageFromDownloadFrame(bytes);
        m_model.image = image;
        m_model.lastDownloadCommand = quint8(bytes[1]);
        ++m_model.downloadsAccepted;
        Q_EMIT downloadReceived(image, m_model.lastDownloadCommand, true);
        if (fault == Fault::HangUp)
            sendReply({}, 0);
        else if (fault == Fault::ShortReply)
            log(QStringLiteral("fault short: acknowledge withheld"));
        else
            sendReply(QByteArray(1, char(kAck)));
        adoptLineOf(image);
        break;
    }
    case RequestKind::Upload: {
        QByteArray reply = uploadReply(m_model);
        const int n = quint8(reply[0]);
        if (fault == Fault::BadCheck)
            reply[n + 23] = char(quint8(reply[n + 23]) ^ 0x5A);
        ++m_model.uploadsServed;
        if (fault == Fault::ShortReply)
            sendReply(reply.left(reply.size() / 2));
        else if (fault == Fault::HangUp)
            sendReply(reply, int(reply.size()) / 2);
        else
            sendReply(reply);
        break;
    }
    case RequestKind::MemoryRead:
        ++m_model.memoryReads;
        m_memoryBlocks = memoryBlocks(m_model.memoryLines, m_model.memoryFault, m_model.memoryFaultBlock);
        if (fault == Fault::BadCheck && !m_memoryBlocks.isEmpty())
            m_memoryBlocks[0][kMemoryBlockSize - 1] = char(quint8(m_memoryBlocks[0][kMemoryBlockSize - 1]) ^ 0x5A);
        m_memoryIndex = 0;
        sendMemoryBlock();
        break;
    case RequestKind::MemoryClear:
        if (fault == Fault::HangUp) {
            sendReply({}, 0);
        } else if (fault != Fault::ShortReply) {
            ++m_model.memoryClears;
            m_model.memoryLines.clear();
            sendReply(QByteArray(1, char(kAck)));
        }
        break;
    case RequestKind::Incomplete:
    case RequestKind::Unknown:
    case RequestKind::Garbage: break;
    }
    Q_EMIT requestHandled(scan.kind, true);
}

void SerialDecoder::sendScan(const QByteArray &data)
{
    if (!isOpen() || data.isEmpty())
        return;
    log(QStringLiteral("scan"));
    sendReply(data);
}

void SerialDecoder::sendMemoryBlock()
{
    const QByteArray block = m_memoryBlocks.value(m_memoryIndex);
    const bool faultHere = m_memoryIndex == memoryFaultBlockIndex(m_model.memoryFaultBlock, int(m_memoryBlocks.size()));
    if (faultHere && m_model.memoryFault == MemoryFault::Silent) {
        endMemoryRead(QStringLiteral("memory fault silent: block not sent"));
        return;
    }
    if (faultHere && m_model.memoryFault == MemoryFault::HangUp) {
        sendReply(block, kMemoryBlockSize / 2);
        endMemoryRead(QStringLiteral("memory fault hangup"));
        return;
    }
    switch (m_model.fault) {
    case Fault::ShortReply:
        sendReply(block.left(kMemoryBlockSize / 2));
        endMemoryRead(QStringLiteral("fault short"));
        return;
    case Fault::HangUp:
        sendReply(block, kMemoryBlockSize / 2);
        endMemoryRead(QStringLiteral("fault hangup"));
        return;
    default:
        sendReply(block);
        m_memoryAnswerTimer.start();
        return;
    }
}

void SerialDecoder::endMemoryRead(const QString &why)
{
    if (m_memoryIndex < 0)
        return;
    log(QStringLiteral("memory read over after block %1 of %2: %3")
            .arg(m_memoryIndex + 1)
            .arg(m_memoryBlocks.size())
            .arg(why));
    m_memoryIndex = -1;
    m_memoryBlocks.clear();
    m_memoryAnswerTimer.stop();
}

void SerialDecoder::sendReply(QByteArray bytes, int hangUpAfter)
{
    if (m_masterFd < 0)
        return;
    if (m_model.fault == Fault::OtherRate && !bytes.isEmpty()) {
        const int rate = qMax(1, m_line.baud / kOtherRateDivisor);
        const QByteArray heard = heardAtRate(bytes, rate, m_line.baud);
        log(QStringLiteral("fault other-rate: %1 byte(s) sent at %2 baud, heard at %3 as %4 byte(s)")
                .arg(bytes.size())
                .arg(rate)
                .arg(m_line.baud)
                .arg(heard.size()));
        bytes = heard;
    }
    if (hangUpAfter >= 0) {
        log(QStringLiteral("fault hangup: line goes down after %1 byte(s)").arg(hangUpAfter));
        bytes = bytes.left(hangUpAfter);
        m_hangUpAfter = int(m_out.size() + bytes.size());
    }
    if (m_out.isEmpty()) {
        m_sendStartNs = m_clock.nsecsElapsed();
        m_sentInBurst = 0;
    }
    m_out += bytes;
    m_replyInFlight += bytes;
    if (!m_sendTimer.isActive())
        m_sendTimer.start();
    pumpOutput();
}

void SerialDecoder::pumpOutput()
{
    if (m_masterFd < 0) {
        m_sendTimer.stop();
        return;
    }
    if (m_out.isEmpty() && m_floodLeft > 0) {
        // The flood goes as fast as the line takes it; a full line is only a
        // reader behind, so it waits for the next tick. Every byte has its
        // high bit set, so no run of it is a valid answer.
        static const QByteArray chunk = [] {
            QByteArray c(64 * 1024, Qt::Uninitialized);
            for (qsizetype i = 0; i < c.size(); ++i)
                c[i] = char(0x80 | ((i * 37 + 11) & 0x7F));
            return c;
        }();
        while (m_floodLeft > 0) {
            const ssize_t n = ::write(m_masterFd, chunk.constData(), size_t(qMin<qint64>(chunk.size(), m_floodLeft)));
            if (n <= 0)
                break;
            m_floodLeft -= n;
        }
        if (m_floodLeft == 0) {
            m_sendTimer.stop();
            log(QStringLiteral("flood sent"));
        }
        return;
    }
    qint64 due = m_out.size();
    const qint64 perByte = m_model.fault == Fault::Drip ? kDripByteNs : byteTimeNs();
    if (perByte > 0) {
        const qint64 elapsed = m_clock.nsecsElapsed() - m_sendStartNs;
        due = qMin<qint64>(m_out.size(), elapsed / perByte - m_sentInBurst);
    }
    if (m_hangUpAfter >= 0)
        due = qMin<qint64>(due, m_hangUpAfter);
    if (due > 0) {
        const ssize_t n = ::write(m_masterFd, m_out.constData(), size_t(due));
        if (n > 0) {
            m_out.remove(0, int(n));
            m_sentInBurst += n;
            if (m_hangUpAfter >= 0)
                m_hangUpAfter -= int(n);
        } else if (n < 0 && errno == EAGAIN) {
            // Nobody has read the line for a long time (no program has the port
            // open): like bytes on a wire nobody listens to, they are lost.
            log(QStringLiteral("line full, nobody reading: %1 byte(s) lost").arg(m_out.size()));
            m_out.clear();
            m_hangUpAfter = qMin(m_hangUpAfter, 0);
        } else if (n < 0 && errno != EINTR) {
            log(QStringLiteral("write failed: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
            m_out.clear();
            m_hangUpAfter = qMin(m_hangUpAfter, 0);
        }
    }
    if (m_hangUpAfter == 0) {
        // Hang up once the bytes written so far have had time to reach the program.
        m_hangUpAfter = -1;
        m_sendTimer.stop();
        m_out.clear();
        QTimer::singleShot(kHangUpSettleMs, this, [this] {
            if (isOpen())
                hangUp(QStringLiteral("hanging up %1").arg(m_devicePath));
        });
        return;
    }
    if (m_out.isEmpty()) {
        m_sendTimer.stop();
        const QByteArray sent = m_replyInFlight;
        m_replyInFlight.clear();
        log(QStringLiteral("sent %1 byte(s): %2").arg(sent.size()).arg(hexBytes(sent)));
        Q_EMIT replySent(sent);
        takeAdoptedLine();
    }
}

void SerialDecoder::adoptLineOf(const ConfigImage &image)
{
    if (!m_adoptSettings)
        return;
    const std::optional<SerialSettings> line = decoderLine(image);
    if (!line) {
        log(QStringLiteral("the downloaded configuration's parity shows no option: line kept"));
        return;
    }
    if (*line == m_line)
        return;
    m_adoptedLine = line;
    if (m_out.isEmpty()) // nothing on the wire (no acknowledgement): at once
        takeAdoptedLine();
}

void SerialDecoder::takeAdoptedLine()
{
    if (!m_adoptedLine)
        return;
    log(QStringLiteral("line settings of the download taken: %1 (were %2)")
            .arg(lineText(*m_adoptedLine), lineText(m_line)));
    m_line = *std::exchange(m_adoptedLine, std::nullopt);
}

void SerialDecoder::flood()
{
    if (!isOpen())
        return;
    cutOutput(QStringLiteral("a flood"));
    log(QStringLiteral("flood: %1 byte(s) of garbage").arg(kFloodBytes));
    m_floodLeft = kFloodBytes;
    m_sendTimer.start();
    pumpOutput();
}

void SerialDecoder::remove()
{
    if (isOpen())
        hangUp(QStringLiteral("removed: %1 goes away").arg(m_devicePath));
}

void SerialDecoder::hangUp(const QString &how)
{
    log(how);
    const QString link = m_linkPath;
    m_replyInFlight.clear();
    close();
    Q_EMIT hungUp();
    if (m_reopenAfterHangUpMs >= 0) {
        QTimer::singleShot(m_reopenAfterHangUpMs, this, [this, link] {
            if (isOpen())
                return;
            const int com = m_comPort;
            if (com > 0 ? openAsComPort(com, link) : open(link))
                Q_EMIT reopened(m_devicePath);
            else
                log(QStringLiteral("reopening failed: %1").arg(m_error));
        });
    }
}

} // namespace q5n::sim
