#pragma once

#include <QtGlobal>

#include <array>
#include <cstdint>

namespace q5n {

// The decoder's whole configuration: 85 bytes. Bytes 0..24 configure the
// bar-code decoder, bytes 25..84 the magnetic-card reader.
constexpr int kImageSize = 85;
constexpr int kDecoderFirst = 0;
constexpr int kDecoderLast = 24;
constexpr int kReaderFirst = 25;
constexpr int kReaderLast = 84;

struct ConfigImage
{
    std::array<quint8, kImageSize> bytes{};

    // Index checked like every other access: outside 0..84 reads 0.
    quint8 at(int index) const { return validIndex(index) ? bytes[static_cast<std::size_t>(index)] : 0; }
    quint8 &operator[](int index) { return bytes.at(static_cast<std::size_t>(index)); }
    quint8 operator[](int index) const { return bytes.at(static_cast<std::size_t>(index)); }

    bool operator==(const ConfigImage &) const = default;

    // The index is compared as an unsigned number, so a negative index is out of range too.
    static bool validIndex(int index) { return static_cast<unsigned>(index) < unsigned(kImageSize); }
};

// Outcome of a masked write or read. The callers pass constant indexes, so a
// failure is a programming error; it changes no byte and is reported back.
enum class BitsError { None, IndexOutOfRange, Overflow };

} // namespace q5n
