#pragma once

// The conversation between the program and the keyboard-port helper q5nkbd,
// shared by both sides. Plain C++: the helper links nothing but the C library.
//
// Every request is a kind byte, a length byte and `length` payload bytes; the
// helper answers each with two bytes, a status and a value. Right after it
// starts, before any request, the helper sends the same two bytes once: kOk
// when it holds the port access, kRefused (value: the system's error number,
// clipped to 255) when it does not, and then serves nothing.
//
//   kOpen     length 0   begins an exchange: reads the interrupt mask and
//                        keeps it; answers it; a handshake begins (token
//                        bytes may follow). Only when no exchange is under
//                        way, or the last one sent no data after its
//                        handshake (it found no decoder, or was broken off).
//   kKey      length 1   writes the byte to the keyboard controller's data
//                        port: in a handshake a token letter (the same letter
//                        throughout, at most 15 tokens), in the data phase
//                        of a download (token A or B) an upper-case hex
//                        digit (at most one download stream); an upload or a
//                        memory exchange sends no data
//   kRelease  length 1   writes the mask back; the byte must be the mask read
//                        at the start of this exchange. Ends the handshake
//                        (the data phase begins) or the data phase (the
//                        exchange is over; a further release is refused).
//
// The helper keeps the exchange's pace: a token no sooner than its tick (150
// ms apart, counted from the handshake's start), a token's bytes 4 ms apart (2
// ms for M and N), the first data byte 20 ms after the handshake's release
// and the next ones 4 ms apart, a new exchange no sooner than a tick after the
// last one began. A request that comes early is held until its time.
//
// A request of another kind or length, a byte that the phase may not send, or
// a connection that ends in the middle of a request ends the helper; so does
// the end of the connection. Whenever it ends within an exchange, the helper
// first writes back the mask read at its start.

#include <cstdint>

namespace q5nkbd {

inline constexpr std::uint16_t kKeyboardDataPort = 0x60;
inline constexpr std::uint16_t kInterruptMaskPort = 0x21;

enum Kind : std::uint8_t { kOpen = 'O', kKey = 'K', kRelease = 'R' };
enum Status : std::uint8_t { kOk = '+', kRefused = '-' };

inline constexpr int kMaxPayload = 1;
// Fifteen ticks of five letters, and the download stream: 85 bytes and the
// check byte, two hex digits each.
inline constexpr int kMaxTokenBytes = 15 * 5;
inline constexpr int kMaxDataBytes = 86 * 2;

// The payload length each kind takes.
constexpr int payloadLength(std::uint8_t kind)
{
    switch (kind) {
    case kOpen: return 0;
    case kKey:
    case kRelease: return 1;
    default: return -1;
    }
}

} // namespace q5nkbd
