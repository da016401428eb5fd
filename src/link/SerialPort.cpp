#include "link/SerialPort.h"

#include "link/ComPorts.h"
#include "link/SerialDevice.h"

namespace q5n {

SerialPort::SerialPort(QObject *parent) : QObject(parent), m_device(new SerialDevice(this)), m_resolver(&comDevicePath)
{
    connect(m_device, &SerialDevice::readable, this, &SerialPort::readAvailable);
    connect(m_device, &SerialDevice::lost, this, &SerialPort::deviceLost);
}

SerialPort::~SerialPort() = default;

QString SerialPort::devicePath() const
{
    return m_resolver ? m_resolver(m_commPort) : QString();
}

void SerialPort::setSettings(const SerialSettings &settings)
{
    m_settings = settings;
    if (m_device->isOpen())
        m_device->applySettings(settings);
}

bool SerialPort::portOpen() const
{
    return m_device->isOpen();
}

bool SerialPort::setPortOpen(bool open)
{
    m_openError = OpenError::None;
    m_openErrorText.clear();
    if (!open) {
        m_device->close();
        m_input.clear();
        return true;
    }
    if (m_device->isOpen())
        return true;
    const QString path = devicePath();
    if (path.isEmpty()) {
        m_openError = OpenError::NoSuchPort;
        m_openErrorText = QStringLiteral("There is no serial port number %1 on this computer.").arg(m_commPort);
        return false;
    }
    m_input.clear();
    m_commEvent = 0;
    if (m_device->open(path, m_settings)) {
        wakeReaderAt(m_rThreshold);
        return true;
    }
    static constexpr OpenError kErrors[] = {OpenError::None,        OpenError::NotFound,    OpenError::PermissionDenied,
                                            OpenError::Busy,        OpenError::BadLockFile, OpenError::NotSerial,
                                            OpenError::BadSettings, OpenError::Other};
    m_openError = kErrors[int(m_device->error())];
    m_openErrorText = m_device->errorText();
    return false;
}

void SerialPort::setRThreshold(int n)
{
    m_rThreshold = n;
    wakeReaderAt(n - int(m_input.size()));
}

int SerialPort::inBufferCount() const
{
    return int(m_input.size()) + m_device->bytesWaiting();
}

void SerialPort::wakeReaderAt(int bytes)
{
    // An answer arrives a few bytes at a time; a reader woken for each piece
    // costs far more than the bytes. The line's minimum count (at most 255)
    // keeps the system from reporting the line readable until the bytes the
    // threshold still wants are there, so the answer is taken in one read. A
    // hang-up is reported whatever the count.
    m_device->setMinimumCount(bytes);
}

void SerialPort::clearOutBuffer()
{
    m_device->clearOutput();
}

void SerialPort::clearInBuffer()
{
    m_device->clearInput();
    m_input.clear();
}

bool SerialPort::output(const QByteArray &bytes)
{
    return m_device->write(bytes);
}

void SerialPort::flush()
{
    m_device->flush();
}

QByteArray SerialPort::input()
{
    m_input += m_device->readAll();
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
    m_input += m_device->readAll();
    if (m_rThreshold <= 0)
        return;
    if (m_input.size() < m_rThreshold) {
        wakeReaderAt(m_rThreshold - int(m_input.size()));
        return;
    }
    m_commEvent = kEventReceive;
    Q_EMIT onComm();
}

void SerialPort::deviceLost(const QString &reason)
{
    // A hung-up line or an unplugged adapter: the device is closed already.
    Q_EMIT portLost(reason);
}

} // namespace q5n
