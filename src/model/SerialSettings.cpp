#include "model/SerialSettings.h"

#include <QList>

#include <algorithm>

namespace q5n {

namespace {

constexpr char16_t kParityLetters[] = u"NEOMS";

} // namespace

QChar parityLetter(Parity parity)
{
    return QChar(kParityLetters[int(parity)]);
}

QString serialSettingsText(const SerialSettings &s)
{
    return QString::number(s.baud) + u',' + parityLetter(s.parity) + u',' + QString::number(int(s.dataBits)) + u',' +
           QString::number(int(s.stopBits)) + u' ';
}

std::optional<qint32> parseBaudRate(QStringView text)
{
    // The digits exactly as the rate is written: no sign, no leading zero.
    const auto it = std::find_if(kBaudRates.begin(), kBaudRates.end(),
                                 [text](qint32 rate) { return text == QString::number(rate); });
    if (it == kBaudRates.end())
        return std::nullopt;
    return *it;
}

std::optional<Parity> parseParity(QStringView text)
{
    const qsizetype i = text.size() == 1 ? QStringView(kParityLetters).indexOf(text[0].toUpper()) : -1;
    if (i < 0)
        return std::nullopt;
    return Parity(i);
}

std::optional<DataBits> parseDataBits(QStringView text)
{
    if (text == u"7")
        return DataBits::Seven;
    if (text == u"8")
        return DataBits::Eight;
    return std::nullopt;
}

std::optional<StopBits> parseStopBits(QStringView text)
{
    if (text == u"1")
        return StopBits::One;
    if (text == u"2")
        return StopBits::Two;
    return std::nullopt;
}

std::optional<SerialSettings> parseSerialSettings(QStringView text)
{
    const QList<QStringView> parts = text.split(u',');
    if (parts.size() != 4)
        return std::nullopt;
    const auto baud = parseBaudRate(parts[0].trimmed());
    const auto parity = parseParity(parts[1].trimmed());
    const auto dataBits = parseDataBits(parts[2].trimmed());
    const auto stopBits = parseStopBits(parts[3].trimmed());
    if (!baud || !parity || !dataBits || !stopBits)
        return std::nullopt;
    return SerialSettings{*baud, *parity, *dataBits, *stopBits};
}

} // namespace q5n
