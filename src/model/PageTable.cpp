#include "model/PageTable.h"

namespace q5n {

namespace {

const QString kDecoderDefault = QStringLiteral("mnuConfigDefault");
const QString kReaderDefault = QStringLiteral("mnuMagDefault");

std::vector<PageInfo> buildTable()
{
    using F = PageFamily;
    const QString config = QStringLiteral("mnuConfig"), mag = QStringLiteral("mnuMag"),
                  tools = QStringLiteral("mnuTools");
    auto item = [](const QString &menu, const char *name, const char *caption, const char *keys = "") {
        return PageMenuItem{menu, QLatin1String(name), QLatin1String(caption), QLatin1String(keys)};
    };
    // number, objectName, title, family, menu items, checks its item, Set All Default item disabled,
    // counterpart, help section, toolbar button, closed by New and Open, toolbar tooltip
    // clang-format off
    return {
        {Page::DecoderInterface, QStringLiteral("cfg3"), QStringLiteral("Interface"), F::BarDecoder,
         {item(config, "mnuConfigInterface", "&Interface", "Ctrl+F3")}, true, kDecoderDefault,
         Page::ReaderInterface, QStringLiteral("cfg3"), QStringLiteral("irm"), true, QStringLiteral("Interface and Reading Mode")},
        {Page::DecoderComm, QStringLiteral("cfg4"), QStringLiteral("Communication Parameters"), F::BarDecoder,
         {item(config, "mnuConfigComm", "&Communication", "Ctrl+F4")}, true, kDecoderDefault, Page::ReaderComm,
         QStringLiteral("cfg4"), QStringLiteral("com"), true, QStringLiteral("Communication Parameters")},
        {Page::DecoderBar, QStringLiteral("cfg5"), QStringLiteral("Bar Codes and Others"), F::BarDecoder,
         {item(config, "mnuConfigBar", "&Bar Codes and Others", "Ctrl+F5")}, true, kDecoderDefault, Page::None,
         QStringLiteral("cfg5"), QStringLiteral("bar"), true, QStringLiteral("Bar Codes and Others")},
        {Page::DecoderMisc, QStringLiteral("cfg6"), QStringLiteral("Miscellaneous Parameters"), F::BarDecoder,
         {item(config, "mnuConfigMisc", "&Miscellaneous", "Ctrl+F6")}, true, kDecoderDefault, Page::ReaderMisc,
         QStringLiteral("cfg6"), QStringLiteral("mis"), true, QStringLiteral("Miscellaneous Parameters")},
        {Page::ReaderInterface, QStringLiteral("magcfg3"), QStringLiteral("Interface"), F::MagneticReader,
         {item(mag, "mnuMagInterface", "&Interface")}, true, kReaderDefault, Page::DecoderInterface,
         QStringLiteral("magcfg3"), QStringLiteral("irm"), true, QString()},
        {Page::ReaderComm, QStringLiteral("magcfg4"), QStringLiteral("Communication Parameters"), F::MagneticReader,
         {item(mag, "mnuMagComm", "&Communication")}, true, kReaderDefault, Page::DecoderComm,
         QStringLiteral("magcfg4"), QStringLiteral("com"), true, QString()},
        {Page::ReaderMisc, QStringLiteral("magcfg6"), QStringLiteral("Miscellaneous Parameters"), F::MagneticReader,
         {item(mag, "mnuMagMisc", "&Miscellaneous")}, true, kReaderDefault, Page::DecoderMisc,
         QStringLiteral("magcfg6"), QStringLiteral("mis"), true, QString()},
        {Page::Transmit, QStringLiteral("frmTransmit"), QStringLiteral("Transmit"), F::Tool,
         {item(config, "mnuConfigTransmit", "Transmit"), item(mag, "mnuMagTransmit", "Transmit")}, false,
         kDecoderDefault, Page::Transmit, QStringLiteral("frmTransmit"), QStringLiteral("transmit"), true, QStringLiteral("Transmit")},
        {Page::ReadMemory, QStringLiteral("frmReadMemory"), QStringLiteral("Read Decoder Memory"), F::Tool,
         {item(tools, "mnuToolsRDM", "&Read Decoder Memory")}, false, QString(), Page::None,
         QStringLiteral("frmReadMemory"), QString(), false, QString()},
    };
    // clang-format on
}

} // namespace

std::span<const PageInfo> pageTable()
{
    static const std::vector<PageInfo> table = buildTable();
    return table;
}

std::span<const ModalWindowInfo> modalWindowTable()
{
    static const std::vector<ModalWindowInfo> table = {
        {QStringLiteral("DDT"),
         {QStringLiteral("mnuTools"), QStringLiteral("mnuToolsKRtest"), QStringLiteral("&KR Test"), QString()},
         QStringLiteral("krtest"),
         QStringLiteral("Keyboard & RS232 Test")},
    };
    return table;
}

const PageInfo *pageInfo(int number)
{
    for (const PageInfo &p : pageTable())
        if (p.number == number)
            return &p;
    return nullptr;
}

int toolbarPage(const QString &key, bool readerMode)
{
    if (key.isEmpty())
        return Page::None;
    const PageFamily family = readerMode ? PageFamily::MagneticReader : PageFamily::BarDecoder;
    for (const PageInfo &p : pageTable())
        if (p.toolbarKey == key && (p.family == family || p.family == PageFamily::Tool))
            return p.number;
    return Page::None;
}

} // namespace q5n
