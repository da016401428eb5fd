#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace q5n {

// The rates the link windows offer and q5ntool accepts, in the order of the
// baud-rate options.
inline constexpr std::array<qint32, 5> kBaudRates = {1200, 2400, 4800, 9600, 19200};

// In the order of the parity options; the letters are "NEOMS".
enum class Parity { None, Even, Odd, Mark, Space };
enum class DataBits { Seven = 7, Eight = 8 };
enum class StopBits { One = 1, Two = 2 };

// The serial frame of the RS232 link: what the link windows edit, the engine
// opens the port with and q5ntool takes from its options.
struct SerialSettings
{
    qint32 baud = 9600; // one of kBaudRates wherever it was chosen or parsed
    Parity parity = Parity::None;
    DataBits dataBits = DataBits::Eight;
    StopBits stopBits = StopBits::One;

    bool operator==(const SerialSettings &) const = default;
};

QChar parityLetter(Parity parity);
// Even and Odd: the decoder cannot answer an upload or version request.
inline bool parityAllowsReceive(Parity parity)
{
    return parity != Parity::Even && parity != Parity::Odd;
}

// The settings text as the program shows it: baud rate, parity letter, data
// bits and stop bits with commas between and one trailing blank,
// "9600,N,8,1 ".
QString serialSettingsText(const SerialSettings &settings);

// The parts of a settings text, each on its own (q5ntool's options): a rate of
// kBaudRates; a parity letter in either case; "7" or "8"; "1" or "2".
// Nothing for anything else.
std::optional<qint32> parseBaudRate(QStringView text);
std::optional<Parity> parseParity(QStringView text);
std::optional<DataBits> parseDataBits(QStringView text);
std::optional<StopBits> parseStopBits(QStringView text);

// Reads back a settings text: the four parts, blanks around them allowed (so
// the trailing blank too). Nothing when the text is not one.
std::optional<SerialSettings> parseSerialSettings(QStringView text);

} // namespace q5n
