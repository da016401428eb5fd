#pragma once

#include "kbdhelper/Requests.h"

#include <cstdint>

namespace q5nkbd {

// The two ports as the helper reaches them: the hardware, or a simulation in
// the test build.
class Ports
{
public:
    virtual ~Ports() = default;
    // The interrupt mask, or -1 when it cannot be read.
    virtual int readMask() = 0;
    virtual void write(std::uint16_t port, std::uint8_t value) = 0;
};

// What the helper allows, request by request: a pure state machine over Ports.
class Session
{
public:
    explicit Session(Ports &ports) : m_ports(ports) {}

    // Handles one whole request. True with `reply` set when it was carried
    // out; false when it is refused (the helper then ends).
    bool handle(std::uint8_t kind, const std::uint8_t *payload, int length, std::uint8_t *reply);
    // Writes back the mask that was read, if any: what the helper does last.
    void restore();

private:
    enum class Phase { Idle, Handshake, Data };

    bool key(std::uint8_t byte);

    Ports &m_ports;
    Phase m_phase = Phase::Idle;
    int m_mask = -1;           // as read by the last kOpen
    std::uint8_t m_letter = 0; // the token letter of this handshake
    int m_sent = 0;            // bytes of the current phase
};

} // namespace q5nkbd
