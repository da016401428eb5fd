#include "kbdhelper/Session.h"

namespace q5nkbd {

namespace {

bool isTokenLetter(std::uint8_t b)
{
    return b == 'A' || b == 'B' || b == 'C' || b == 'M' || b == 'N';
}

bool isHexDigit(std::uint8_t b)
{
    return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'F');
}

} // namespace

bool Session::handle(std::uint8_t kind, const std::uint8_t *payload, int length, std::uint8_t *reply)
{
    if (payloadLength(kind) != length)
        return false;
    *reply = 0;
    switch (kind) {
    case kOpen:
        m_mask = m_ports.readMask();
        if (m_mask < 0)
            return false;
        m_phase = Phase::Handshake;
        m_letter = 0;
        m_sent = 0;
        *reply = static_cast<std::uint8_t>(m_mask);
        return true;
    case kKey: return key(payload[0]);
    case kRelease:
        // Only the mask that was found goes back: never a value of the client's.
        if (m_mask < 0 || payload[0] != m_mask)
            return false;
        m_ports.write(kInterruptMaskPort, payload[0]);
        m_phase = m_phase == Phase::Handshake ? Phase::Data : Phase::Idle;
        m_sent = 0;
        return true;
    default: return false;
    }
}

bool Session::key(std::uint8_t byte)
{
    switch (m_phase) {
    case Phase::Idle: return false;
    case Phase::Handshake:
        if (!isTokenLetter(byte) || (m_letter != 0 && byte != m_letter) || m_sent >= kMaxTokenBytes)
            return false;
        m_letter = byte;
        break;
    case Phase::Data:
        if (!isHexDigit(byte) || m_sent >= kMaxDataBytes)
            return false;
        break;
    }
    ++m_sent;
    m_ports.write(kKeyboardDataPort, byte);
    return true;
}

void Session::restore()
{
    if (m_mask >= 0)
        m_ports.write(kInterruptMaskPort, static_cast<std::uint8_t>(m_mask));
    m_phase = Phase::Idle;
}

} // namespace q5nkbd
