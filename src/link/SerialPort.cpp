#include "link/SerialPort.h"

#include "link/ComPorts.h"
#include "link/PortAccess.h"

#include <QFileInfo>

#include <algorithm>
#include <sys/ioctl.h>
#include <termios.h>

namespace q5n {

bool applySerialSettings(QSerialPort &port, const SerialSettings &settings)
{
    static constexpr QSerialPort::Parity kParities[] = {QSerialPort::NoParity, QSerialPort::EvenParity,
                                                        QSerialPort::OddParity, QSerialPort::MarkParity,
                                                        QSerialPort::SpaceParity};
    bool refused = false;
    auto apply = [&](bool done) {
        if (!done && port.error() != QSerialPort::UnsupportedOperationError)
            refused = true;
    };
    apply(port.setBaudRate(settings.baud));
    apply(port.setDataBits(QSerialPort::DataBits(int(settings.dataBits))));
    apply(port.setParity(kParities[int(settings.parity)]));
    apply(port.setStopBits(settings.stopBits == StopBits::Two ? QSerialPort::TwoStop : QSerialPort::OneStop));
    return !refused;
}

SerialPort::SerialPort(QObject *parent) : QObject(parent), m_port(new QSerialPort(this)), m_resolver(&comDevicePath)
{
    connect(m_port, &QSerialPort::readyRead, this, &SerialPort::readAvailable);
    connect(m_port, &QSerialPort::errorOccurred, this, &SerialPort::handleError);
}

SerialPort::~SerialPort()
{
    if (m_port->isOpen())
        m_port->close();
}

QString SerialPort::devicePath() const
{
    return m_resolver ? m_resolver(m_commPort) : QString();
}

void SerialPort::setSettings(const SerialSettings &settings)
{
    m_settings = settings;
    if (m_port->isOpen())
        applySerialSettings(*m_port, settings);
}

bool SerialPort::portOpen() const
{
    return m_port->isOpen();
}

bool SerialPort::setPortOpen(bool open)
{
    m_openError = OpenError::None;
    m_openErrorText.clear();
    if (!open) {
        if (m_port->isOpen())
            m_port->close();
        m_input.clear();
        return true;
    }
    if (m_port->isOpen())
        return true;
    const QString path = devicePath();
    if (path.isEmpty()) {
        m_openError = OpenError::NoSuchPort;
        m_openErrorText = QStringLiteral("There is no serial port number %1 on this computer.").arg(m_commPort);
        return false;
    }
    // The device itself, not a link to it: the serial port library names its
    // lock file after the path, so two names of one device would take two locks.
    QString device = QFileInfo(path).canonicalFilePath();
    if (device.isEmpty())
        device = path;
    m_port->setPortName(device);
    m_input.clear();
    m_commEvent = 0;
    // The frame goes to the line with the opening itself (one set of terminal
    // settings); only a port that refuses it that way gets the parts one by one.
    applyFrame();
    if (m_port->open(QIODevice::ReadWrite)) {
        m_port->clearError();
        wakeReaderAt(m_rThreshold);
        return true;
    }
    if (m_port->error() != QSerialPort::DeviceNotFoundError && m_port->error() != QSerialPort::PermissionError) {
        m_port->clearError();
        m_port->setBaudRate(QSerialPort::Baud9600);
        m_port->setDataBits(QSerialPort::Data8);
        m_port->setParity(QSerialPort::NoParity);
        m_port->setStopBits(QSerialPort::OneStop);
        if (m_port->open(QIODevice::ReadWrite))
            return applyFrameAfterOpening(path);
    }
    switch (m_port->error()) {
    case QSerialPort::DeviceNotFoundError:
        m_openError = OpenError::NotFound;
        m_openErrorText = QStringLiteral("%1: no such device.").arg(path);
        break;
    case QSerialPort::PermissionError:
        if (QFileInfo::exists(path) && !QFileInfo(path).isWritable()) {
            m_openError = OpenError::PermissionDenied;
            m_openErrorText = QStringLiteral("%1: permission denied.").arg(path);
            if (const auto owner = deviceOwnership(path))
                m_openErrorText += QLatin1Char('\n') + accessAdvice(*owner);
        } else {
            m_openError = OpenError::Busy;
            m_openErrorText = QStringLiteral("%1: the port is in use by another program.").arg(path);
            if (const auto lock = serialLock(device))
                m_openErrorText += QLatin1Char('\n') + lockText(*lock);
        }
        break;
    default:
        m_openError = OpenError::Other;
        m_openErrorText = QStringLiteral("%1: %2").arg(path, m_port->errorString());
        break;
    }
    m_port->clearError();
    return false;
}

void SerialPort::applyFrame()
{
    // A closed port takes every part and keeps it for its opening.
    applySerialSettings(*m_port, m_settings);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
}

bool SerialPort::applyFrameAfterOpening(const QString &path)
{
    // Every part is applied even when an earlier one is refused, so the stop
    // bits and the rest still reach the line; any refusal but a
    // pseudo-terminal's means the port cannot run these settings.
    const bool accepted = applySerialSettings(*m_port, m_settings);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!accepted) {
        m_openError = OpenError::BadSettings;
        m_openErrorText = QStringLiteral("%1: the settings %2 are not accepted (%3).")
                              .arg(path, serialSettingsText(m_settings), m_port->errorString());
        m_port->close();
        return false;
    }
    m_port->clearError();
    wakeReaderAt(m_rThreshold);
    return true;
}

void SerialPort::setRThreshold(int n)
{
    m_rThreshold = n;
    wakeReaderAt(n - int(m_input.size()));
}

int SerialPort::inBufferCount() const
{
    int waiting = 0;
    if (m_port->isOpen() && ::ioctl(int(m_port->handle()), FIONREAD, &waiting) != 0)
        waiting = 0;
    return int(m_input.size() + m_port->bytesAvailable()) + waiting;
}

void SerialPort::wakeReaderAt(int bytes)
{
    // An answer arrives a few bytes at a time; a reader woken for each piece
    // costs far more than the bytes. The line's minimum count (at most 255)
    // keeps the system from reporting the line readable until the bytes the
    // threshold still wants are there, so the answer is taken in one read. A
    // hang-up is reported whatever the count.
    if (!m_port->isOpen())
        return;
    const int fd = int(m_port->handle());
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return;
    const auto wanted = cc_t(std::clamp(bytes, 1, 255));
    if (t.c_cc[VMIN] == wanted && t.c_cc[VTIME] == 0)
        return;
    t.c_cc[VMIN] = wanted;
    t.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &t);
}

void SerialPort::clearOutBuffer()
{
    if (m_port->isOpen())
        m_port->clear(QSerialPort::Output);
}

void SerialPort::clearInBuffer()
{
    if (m_port->isOpen()) {
        m_port->clear(QSerialPort::Input);
        m_port->readAll();
    }
    m_input.clear();
}

bool SerialPort::output(const QByteArray &bytes)
{
    if (!m_port->isOpen())
        return false;
    return m_port->write(bytes) == bytes.size();
}

void SerialPort::flush()
{
    if (m_port->isOpen())
        m_port->flush();
}

QByteArray SerialPort::input()
{
    if (m_port->isOpen())
        m_input += m_port->readAll();
    QByteArray out;
    if (m_inputLen > 0 && m_input.size() > m_inputLen) {
        out = m_input.left(m_inputLen);
        m_input.remove(0, m_inputLen);
    } else {
        out.swap(m_input);
    }
    return out;
}

void SerialPort::readAvailable()
{
    m_input += m_port->readAll();
    if (m_rThreshold <= 0)
        return;
    if (m_input.size() < m_rThreshold) {
        wakeReaderAt(m_rThreshold - int(m_input.size()));
        return;
    }
    m_commEvent = kEventReceive;
    Q_EMIT onComm();
}

void SerialPort::handleError(QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError && error != QSerialPort::WriteError)
        return;
    if (!m_port->isOpen())
        return;
    // A hung-up pseudo-terminal or an unplugged adapter: close at once (Qt
    // would otherwise report the error in a tight loop) and say so once.
    const QString reason = m_port->errorString();
    m_port->close();
    m_port->clearError();
    Q_EMIT portLost(reason);
}

} // namespace q5n
