#include "sim/DecoderModel.h"

#include "model/Defaults.h"
#include "model/Text8.h"

namespace q5n::sim {

namespace {

struct FaultEntry
{
    Fault fault;
    const char *name;
};

constexpr FaultEntry kFaults[] = {
    {Fault::None, "none"},        {Fault::Silent, "silent"},
    {Fault::Refuse, "refuse"},    {Fault::BadCheck, "bad-check"},
    {Fault::ShortReply, "short"}, {Fault::HangUp, "hangup"},
    {Fault::Remove, "remove"},    {Fault::Flood, "flood"},
    {Fault::Drip, "drip"},        {Fault::OtherRate, "other-rate"},
};

struct MemoryFaultEntry
{
    MemoryFault fault;
    const char *name;
};

constexpr MemoryFaultEntry kMemoryFaults[] = {
    {MemoryFault::None, "none"},     {MemoryFault::BadCheck, "bad-check"}, {MemoryFault::Silent, "silent"},
    {MemoryFault::HangUp, "hangup"}, {MemoryFault::OverLong, "over-long"},
};

} // namespace

QString memoryFaultName(MemoryFault fault)
{
    for (const auto &e : kMemoryFaults)
        if (e.fault == fault)
            return QString::fromLatin1(e.name);
    return {};
}

std::optional<MemoryFault> memoryFaultFromName(const QString &name)
{
    const QString n = name.trimmed().toLower();
    for (const auto &e : kMemoryFaults)
        if (n == QLatin1String(e.name))
            return e.fault;
    return std::nullopt;
}

QList<Fault> allFaults()
{
    QList<Fault> faults;
    for (const auto &e : kFaults)
        faults.append(e.fault);
    return faults;
}

QString faultName(Fault fault)
{
    for (const auto &e : kFaults)
        if (e.fault == fault)
            return QString::fromLatin1(e.name);
    return {};
}

std::optional<Fault> faultFromName(const QString &name)
{
    const QString n = name.trimmed().toLower();
    for (const auto &e : kFaults)
        if (n == QLatin1String(e.name))
            return e.fault;
    return std::nullopt;
}

QString sectionName(Section section)
{
    return section == Section::Reader ? QStringLiteral("reader") : QStringLiteral("decoder");
}

std::optional<Section> sectionFromName(const QString &name)
{
    const QString n = name.trimmed().toLower();
    if (n == u"decoder")
        return Section::Decoder;
    if (n == u"reader")
        return Section::Reader;
    return std::nullopt;
}

DecoderModel::DecoderModel() : image(factoryImage())
{
    setVersionText(QStringLiteral("Q5N Decoder Ver 3.05  "));
    memoryLines = {QByteArrayLiteral("4006381333931"), QByteArrayLiteral("CODE39-TEST"),
                   QByteArrayLiteral("%B1234567890123456^DOE/JOHN^2912?")};
}

void DecoderModel::setVersionText(const QString &text)
{
    QByteArray bytes = encode8(text.left(kVersionPart1Size + kVersionPart2Size));
    bytes = bytes.leftJustified(kVersionPart1Size + kVersionPart2Size, ' ');
    versionPart1 = bytes.left(kVersionPart1Size);
    versionPart2 = bytes.mid(kVersionPart1Size);
}

QString DecoderModel::versionText() const
{
    return decode8(versionPart1 + versionPart2);
}

} // namespace q5n::sim
