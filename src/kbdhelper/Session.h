#pragma once

#include "kbdhelper/Requests.h"

#include <cstdint>

namespace q5nkbd {

// The two ports as the helper reaches them: the hardware, or a simulation in
// the test build. Nothing here needs the C++ runtime library (no pure
// virtual, no deleting destructor), so the helper links the C library alone.
class Ports
{
public:
    // The interrupt mask, or -1 when it cannot be read.
    virtual int readMask() { return -1; }
    virtual void write(std::uint16_t, std::uint8_t) {}

protected:
    ~Ports() = default;
};

// Microseconds on a clock that only goes forward.
using Micros = std::int64_t;

// The intervals the keyboard line keeps, as the helper holds its client to
// them. A request that comes sooner is carried out once its time has come.
struct Pace
{
    Micros tick = 0;             // from the handshake's start to its first token, and token to token
    Micros tokenPause = 0;       // after each byte of a download or upload token
    Micros memoryTokenPause = 0; // after each byte of a memory token
    Micros afterHandshake = 0;   // from the handshake's release to the first data byte
    Micros dataPause = 0;        // after each data byte
};

// The program's own: 150 ms ticks, 4 ms after each byte (2 ms after a memory
// token's), 20 ms between a download's handshake and its data.
inline constexpr Pace kProtocolPace{150'000, 4'000, 2'000, 20'000, 4'000};

// What the helper allows, request by request: a pure state machine over Ports.
// One exchange at a time: a handshake is opened once, sends at most fifteen
// tokens of one letter, is released; then, for a download only, one stream of
// hex digits, and the data phase's release ends the exchange. The mask goes
// back only within an exchange, and only as it was read at its start.
class Session
{
public:
    Session(Ports &ports, const Pace &pace) : m_ports(ports), m_pace(pace) {}

    // The time before which the request may not be carried out (the pauses of
    // the exchange so far); a time already past when nothing holds it back.
    Micros earliest(std::uint8_t kind, const std::uint8_t *payload, int length) const;
    // Handles one whole request at `now`. True with `reply` set when it was
    // carried out; false when it is refused (the helper then ends), which is
    // also the answer to a request that comes before its earliest time.
    bool handle(std::uint8_t kind, const std::uint8_t *payload, int length, Micros now, std::uint8_t *reply);
    // Writes back the mask read at the start of the exchange under way, if
    // any: what the helper does last.
    void restore();

private:
    enum class Phase { Idle, Handshake, Data };

    bool key(std::uint8_t byte, Micros now);
    bool mayOpen() const;

    Ports &m_ports;
    Pace m_pace;
    Phase m_phase = Phase::Idle;
    int m_mask = -1;           // as read at the start of the exchange under way
    std::uint8_t m_letter = 0; // the token letter of this exchange
    int m_sent = 0;            // bytes of the current phase
    bool m_opened = false;     // an exchange has been opened before
    Micros m_openedAt = 0;     // when the last handshake began
    Micros m_releasedAt = 0;   // when the last handshake was released
    Micros m_lastKeyAt = 0;    // when the last byte went to the data port
};

} // namespace q5nkbd
