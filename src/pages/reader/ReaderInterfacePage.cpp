#include "pages/reader/ReaderInterfacePage.h"

namespace q5n {

PageLayout ReaderInterfacePage::layout()
{
    PageLayout l;
    l.window = definitionOf(kPage);
    l.tabStrip = QStringLiteral("TabCFG");
    l.frameGroup = QStringLiteral("fraCfg3");
    l.tabs = {
        {QStringLiteral("&User Informations"), QStringLiteral("User's Name,building date and other informations"), {}},
        {QStringLiteral("&Interface"), QStringLiteral("Interface and Code ID Selection"), {}},
    };
    l.fields = {
        // frame 0: the setup texts, each with its label to the left
        {QStringLiteral("txtDeviceName"), 0, {0, 0}},
        {QStringLiteral("txtUserName"), 0, {1, 0}},
        {QStringLiteral("txtDate"), 0, {2, 0}},
        {QStringLiteral("txtDescription"), 0, {3, 0}},
        // frame 1: "Keyboard Mode" and "RS232 Mode" side by side, "USB Mode" below the first
        {QStringLiteral("OptCfg3_1"), 1, {0, 0}, {{0, 2}, {1}}},
        {QStringLiteral("ChkNotebook"), 1, {1, 0}},
        {QStringLiteral("ChkMSRMem"), 1, {2, 0}},
    };
    // The default is restored in the order the page shows its fields when it
    // opens: the interface mode, read memory, then the external keyboard.
    l.buttons = {
        {QStringLiteral("cmdDefault31_2"),
         QStringLiteral("Set Default"),
         1,
         {3, 0, 1, 1, Qt::AlignRight},
         {QStringLiteral("OptCfg3_1"), QStringLiteral("ChkMSRMem"), QStringLiteral("ChkNotebook")}},
    };
    return l;
}

ReaderInterfacePage::ReaderInterfacePage(ProgramHost &host, QWidget *parent) : SettingPage(host, layout(), parent) {}

} // namespace q5n
