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
//   kOpen     length 0   reads the interrupt mask and keeps it; answers it;
//                        a handshake begins (token bytes may follow)
//   kKey      length 1   writes the byte to the keyboard controller's data
//                        port: in a handshake a token letter (the same letter
//                        throughout, at most 15 tokens), in the data phase
//                        that follows a handshake an upper-case hex digit (at
//                        most one download stream)
//   kRelease  length 1   writes the mask back; the byte must be the mask that
//                        was read. Ends the handshake (the data phase begins)
//                        or the data phase.
//
// A request of another kind or length, a byte that the phase may not send, or
// a connection that ends in the middle of a request ends the helper; so does
// the end of the connection. Whenever it ends, the helper first writes back
// the mask it read.

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
