#include "pages/decoder/CommunicationPage.h"

// The page is a declaration: its tables are laid out by hand, a row per line.
// clang-format off
namespace q5n {

PageLayout CommunicationPage::layout()
{
    PageLayout l;
    l.window = definitionOf(kPage);
    l.tabStrip = QStringLiteral("TabCFG1");
    l.frameGroup = QStringLiteral("fraCfg4");
    l.tabs = {
        {QStringLiteral("&RS232"), QStringLiteral("RS232 Mode Parameters"), {}},
        {QStringLiteral("&Keyboard"), QStringLiteral("Keyboard Wedge Mode Parameters"), {}},
        {QStringLiteral("&Output Character"), QStringLiteral("Output Characters Parameters"), {}},
    };
    l.fields = {
        // frame 0: line parameters on the left, parity and handshakes on the right
        {QStringLiteral("optCfg41A"), 0, {0, 0}, {{0, 1}, {2, 3}}},
        {QStringLiteral("optCfg41D"), 0, {0, 1}, {{0, 1}, {2, 3}, {4}}},
        {QStringLiteral("optCfg41B"), 0, {1, 0}, {{0, 1}}},
        {QStringLiteral("optRTSCTS"), 0, {1, 1}, {{0, 1}}},
        // "1 Bit" stands left of "2 Bits"
        {QStringLiteral("optCfg41C"), 0, {2, 0}, {{1, 0}}},
        {QStringLiteral("optACKNCK"), 0, {2, 1}, {{0, 1}}},
        {QStringLiteral("optXONXOFF"), 0, {3, 1}, {{0, 1}}},
        // frame 1: keyboard wedge; "Upper Case" stands above "Lower Case"
        {QStringLiteral("optCfg42A"), 1, {0, 0}, {{0, 1}, {2, 3}}},
        {QStringLiteral("Optcfg42b"), 1, {0, 1}, {{1}, {0}}},
        {QStringLiteral("optCfg42C"), 1, {1, 0}, {{0, 1}}},
        {QStringLiteral("optCfg42D"), 1, {1, 1}, {{0, 1}}},
        // frame 2: output characters
        {QStringLiteral("optCfg43A"), 2, {0, 0, 2, 1}},
        {QStringLiteral("optCfg43B"), 2, {0, 1, 1, 1, Qt::AlignTop}},
    };
    l.buttons = {
        {QStringLiteral("cmdDefault41"), QStringLiteral("Set Default"), 0, {4, 1, 1, 1, Qt::AlignRight},
         {QStringLiteral("optCfg41A"), QStringLiteral("optCfg41B"), QStringLiteral("optCfg41C"),
          QStringLiteral("optCfg41D"), QStringLiteral("optRTSCTS"), QStringLiteral("optACKNCK"),
          QStringLiteral("optXONXOFF")}},
        {QStringLiteral("cmdDefault42"), QStringLiteral("Set Default"), 1, {2, 1, 1, 1, Qt::AlignRight},
         {QStringLiteral("optCfg42A"), QStringLiteral("Optcfg42b"), QStringLiteral("optCfg42C"),
          QStringLiteral("optCfg42D")}},
        {QStringLiteral("cmdDefault43"), QStringLiteral("Set Default"), 2, {1, 1, 1, 1, Qt::AlignRight | Qt::AlignBottom},
         {QStringLiteral("optCfg43A"), QStringLiteral("optCfg43B")}},
    };
    return l;
}

CommunicationPage::CommunicationPage(ProgramHost &host, QWidget *parent) : SettingPage(host, layout(), parent) {}

} // namespace q5n
// clang-format on
