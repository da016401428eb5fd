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
    // Every field named; the help section of each page is its objectName.
    // clang-format off
    return {
        {.number = Page::DecoderInterface, .objectName = QStringLiteral("cfg3"),
         .title = QStringLiteral("Interface"), .family = F::BarDecoder,
         .menuItems = {item(config, "mnuConfigInterface", "&Interface", "Ctrl+F3")}, .checksMenuItem = true,
         .disabledMenuItem = kDecoderDefault, .counterpart = Page::ReaderInterface,
         .helpSection = QStringLiteral("cfg3"), .toolbarKey = QStringLiteral("irm"), .closedWithConfiguration = true,
         .toolbarTip = QStringLiteral("Interface and Reading Mode")},
        {.number = Page::DecoderComm, .objectName = QStringLiteral("cfg4"),
         .title = QStringLiteral("Communication Parameters"), .family = F::BarDecoder,
         .menuItems = {item(config, "mnuConfigComm", "&Communication", "Ctrl+F4")}, .checksMenuItem = true,
         .disabledMenuItem = kDecoderDefault, .counterpart = Page::ReaderComm, .helpSection = QStringLiteral("cfg4"),
         .toolbarKey = QStringLiteral("com"), .closedWithConfiguration = true,
         .toolbarTip = QStringLiteral("Communication Parameters")},
        {.number = Page::DecoderBar, .objectName = QStringLiteral("cfg5"),
         .title = QStringLiteral("Bar Codes and Others"), .family = F::BarDecoder,
         .menuItems = {item(config, "mnuConfigBar", "&Bar Codes and Others", "Ctrl+F5")}, .checksMenuItem = true,
         .disabledMenuItem = kDecoderDefault, .counterpart = Page::None, .helpSection = QStringLiteral("cfg5"),
         .toolbarKey = QStringLiteral("bar"), .closedWithConfiguration = true,
         .toolbarTip = QStringLiteral("Bar Codes and Others")},
        {.number = Page::DecoderMisc, .objectName = QStringLiteral("cfg6"),
         .title = QStringLiteral("Miscellaneous Parameters"), .family = F::BarDecoder,
         .menuItems = {item(config, "mnuConfigMisc", "&Miscellaneous", "Ctrl+F6")}, .checksMenuItem = true,
         .disabledMenuItem = kDecoderDefault, .counterpart = Page::ReaderMisc, .helpSection = QStringLiteral("cfg6"),
         .toolbarKey = QStringLiteral("mis"), .closedWithConfiguration = true,
         .toolbarTip = QStringLiteral("Miscellaneous Parameters")},
        {.number = Page::ReaderInterface, .objectName = QStringLiteral("magcfg3"),
         .title = QStringLiteral("Interface"), .family = F::MagneticReader,
         .menuItems = {item(mag, "mnuMagInterface", "&Interface")}, .checksMenuItem = true,
         .disabledMenuItem = kReaderDefault, .counterpart = Page::DecoderInterface,
         .helpSection = QStringLiteral("magcfg3"), .toolbarKey = QStringLiteral("irm"),
         .closedWithConfiguration = true, .toolbarTip = QString()},
        {.number = Page::ReaderComm, .objectName = QStringLiteral("magcfg4"),
         .title = QStringLiteral("Communication Parameters"), .family = F::MagneticReader,
         .menuItems = {item(mag, "mnuMagComm", "&Communication")}, .checksMenuItem = true,
         .disabledMenuItem = kReaderDefault, .counterpart = Page::DecoderComm,
         .helpSection = QStringLiteral("magcfg4"), .toolbarKey = QStringLiteral("com"),
         .closedWithConfiguration = true, .toolbarTip = QString()},
        {.number = Page::ReaderMisc, .objectName = QStringLiteral("magcfg6"),
         .title = QStringLiteral("Miscellaneous Parameters"), .family = F::MagneticReader,
         .menuItems = {item(mag, "mnuMagMisc", "&Miscellaneous")}, .checksMenuItem = true,
         .disabledMenuItem = kReaderDefault, .counterpart = Page::DecoderMisc,
         .helpSection = QStringLiteral("magcfg6"), .toolbarKey = QStringLiteral("mis"),
         .closedWithConfiguration = true, .toolbarTip = QString()},
        {.number = Page::Transmit, .objectName = QStringLiteral("frmTransmit"), .title = QStringLiteral("Transmit"),
         .family = F::Tool,
         .menuItems = {item(config, "mnuConfigTransmit", "Transmit"), item(mag, "mnuMagTransmit", "Transmit")},
         .checksMenuItem = false, .disabledMenuItem = kDecoderDefault, .counterpart = Page::Transmit,
         .helpSection = QStringLiteral("frmTransmit"), .toolbarKey = QStringLiteral("transmit"),
         .closedWithConfiguration = true, .toolbarTip = QStringLiteral("Transmit")},
        {.number = Page::ReadMemory, .objectName = QStringLiteral("frmReadMemory"),
         .title = QStringLiteral("Read Decoder Memory"), .family = F::Tool,
         .menuItems = {item(tools, "mnuToolsRDM", "&Read Decoder Memory")}, .checksMenuItem = false,
         .disabledMenuItem = QString(), .counterpart = Page::None, .helpSection = QStringLiteral("frmReadMemory"),
         .toolbarKey = QString(), .closedWithConfiguration = false, .toolbarTip = QString()},
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
