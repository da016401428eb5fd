#include "pages/decoder/InterfacePage.h"

// The page is a declaration: its tables are laid out by hand, a row per line.
// clang-format off
namespace q5n {

PageLayout InterfacePage::layout()
{
    PageLayout l;
    l.window = definitionOf(kPage);
    l.tabStrip = QStringLiteral("TabCFG");
    l.frameGroup = QStringLiteral("fraCfg3");
    l.tabs = {
        {QStringLiteral("&User Information"), QStringLiteral("User's Name,building date and other informations"), {}},
        {QStringLiteral("&Interface"), QStringLiteral("Interface Selection and 2nd Port Input Device Selection"), {}},
    };
    l.fields = {
        // frame 0: the setup texts, each with its label to the left
        {QStringLiteral("txtDeviceName"), 0, {0, 0}},
        {QStringLiteral("txtUserName"), 0, {1, 0}},
        {QStringLiteral("txtDate"), 0, {2, 0}},
        {QStringLiteral("txtDescription"), 0, {3, 0}},
        // frame 1: "Keyboard Mode" and "RS232 Mode" side by side, "USB Mode" below the first
        {QStringLiteral("OptCfg3_1"), 1, {0, 0}, {{0, 2}, {1}}},
        {QStringLiteral("ChkRead"), 1, {1, 0}},
    };
    l.buttons = {
        {QStringLiteral("cmdDefault31_2"), QStringLiteral("Set Default"), 1, {2, 0, 1, 1, Qt::AlignRight},
         {QStringLiteral("OptCfg3_1"), QStringLiteral("ChkRead")}},
    };
    return l;
}

InterfacePage::InterfacePage(ProgramHost &host, QWidget *parent) : SettingPage(host, layout(), parent) {}

} // namespace q5n
// clang-format on
