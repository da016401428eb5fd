#include "kbdhelper/Session.h"

namespace q5nkbd {

namespace {

constexpr Micros kAnyTime = INT64_MIN;
constexpr int kTokenLength = 5;

bool isTokenLetter(std::uint8_t b)
{
    return b == 'A' || b == 'B' || b == 'C' || b == 'M' || b == 'N';
}

// Only a download (saved or not) sends data after its handshake.
bool isDownloadLetter(std::uint8_t b)
{
    return b == 'A' || b == 'B';
}

bool isHexDigit(std::uint8_t b)
{
    return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'F');
}

Micros later(Micros a, Micros b)
{
    return a > b ? a : b;
}

} // namespace

bool Session::mayOpen() const
{
    // After a handshake that found no decoder (or was broken off) the data
    // phase sends nothing, and the next exchange may begin; once data has gone
    // out, only the data phase's release ends the exchange.
    return m_phase == Phase::Idle || (m_phase == Phase::Data && m_sent == 0);
}

Micros Session::earliest(std::uint8_t kind, const std::uint8_t *payload, int length) const
{
    if (payloadLength(kind) != length)
        return kAnyTime;
    switch (kind) {
    case kOpen:
        // Exchanges follow one another no faster than one token tick.
        return m_opened && mayOpen() ? m_openedAt + m_pace.tick : kAnyTime;
    case kKey:
        if (m_phase == Phase::Handshake) {
            const std::uint8_t letter = m_letter != 0 ? m_letter : payload[0];
            const Micros pause = letter == 'M' || letter == 'N' ? m_pace.memoryTokenPause : m_pace.tokenPause;
            const Micros afterLast = m_sent > 0 ? m_lastKeyAt + pause : kAnyTime;
            if (m_sent % kTokenLength != 0)
                return afterLast;
            // Token n (from 1) goes out on tick n, counted from the handshake's start.
            return later(afterLast, m_openedAt + (m_sent / kTokenLength + 1) * m_pace.tick);
        }
        if (m_phase == Phase::Data)
            return m_sent == 0 ? m_releasedAt + m_pace.afterHandshake : m_lastKeyAt + m_pace.dataPause;
        return kAnyTime;
    default: return kAnyTime;
    }
}

bool Session::handle(std::uint8_t kind, const std::uint8_t *payload, int length, Micros now, std::uint8_t *reply)
{
    if (payloadLength(kind) != length || now < earliest(kind, payload, length))
        return false;
    *reply = 0;
    switch (kind) {
    case kOpen: {
        if (!mayOpen())
            return false;
        const int mask = m_ports.readMask();
        if (mask < 0)
            return false;
        m_mask = mask;
        m_phase = Phase::Handshake;
        m_letter = 0;
        m_sent = 0;
        m_opened = true;
        m_openedAt = now;
        *reply = static_cast<std::uint8_t>(m_mask);
        return true;
    }
    case kKey: return key(payload[0], now);
    case kRelease:
        // Only the mask found at the start of this exchange goes back, and
        // only while the exchange lasts: never a value of the client's.
        if (m_phase == Phase::Idle || payload[0] != m_mask)
            return false;
        m_ports.write(kInterruptMaskPort, payload[0]);
        if (m_phase == Phase::Handshake) {
            m_phase = Phase::Data;
            m_releasedAt = now;
        } else {
            m_phase = Phase::Idle;
            m_mask = -1;
        }
        m_sent = 0;
        return true;
    default: return false;
    }
}

bool Session::key(std::uint8_t byte, Micros now)
{
    switch (m_phase) {
    case Phase::Idle: return false;
    case Phase::Handshake:
        if (!isTokenLetter(byte) || (m_letter != 0 && byte != m_letter) || m_sent >= kMaxTokenBytes)
            return false;
        m_letter = byte;
        break;
    case Phase::Data:
        if (!isDownloadLetter(m_letter) || !isHexDigit(byte) || m_sent >= kMaxDataBytes)
            return false;
        break;
    }
    ++m_sent;
    m_lastKeyAt = now;
    m_ports.write(kKeyboardDataPort, byte);
    return true;
}

void Session::restore()
{
    if (m_phase != Phase::Idle && m_mask >= 0)
        m_ports.write(kInterruptMaskPort, static_cast<std::uint8_t>(m_mask));
    m_phase = Phase::Idle;
    m_mask = -1;
}

} // namespace q5nkbd
