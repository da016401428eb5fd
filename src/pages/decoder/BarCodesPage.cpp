#include "pages/decoder/BarCodesPage.h"

#include "pages/common/FieldBinding.h"

// The page is a declaration: its tables are laid out by hand, a row per line.
// clang-format off
namespace q5n {

PageLayout BarCodesPage::layout()
{
    PageLayout l;
    l.window = definitionOf(kPage);
    l.tabStrip = QStringLiteral("TabCFG2");
    l.frameGroup = QStringLiteral("fraCfg5");
    l.tabs = {
        {QStringLiteral("&Symboligies"), QStringLiteral("Symboligies Selection"), QStringLiteral("Symboligies Selection")},
        {QStringLiteral("&UPC/EAN/JAN"), QStringLiteral("UPC/EAN/JAN Parameters"),
         QStringLiteral("UPC/EAN/JAN Parameters")},
        {QStringLiteral("Code &39"), QStringLiteral("Code 39 Parameters"), QStringLiteral("Code 39 Parameters")},
        {QStringLiteral("Code 12&8"), QStringLiteral("Code 128 Parameters"), QStringLiteral("Code 128 Parameters")},
        {QStringLiteral("&Interleave 25"), QStringLiteral("Interleave 25 Parameters"),
         QStringLiteral("Interleave 25 Parameters")},
        {QStringLiteral("Coda&bar"), QStringLiteral("CodaBar Parameters"), QStringLiteral("Codabar Parameters")},
    };
    l.boxes = {
        {QStringLiteral("readingType"), QStringLiteral("Reading Type"), 1, {0, 0}},
        // The eight Codabar boxes are one group standing in two frames.
        {QStringLiteral("stop"), QStringLiteral("Transmission Type of Stop"), 5, {1, 0}},
        {QStringLiteral("start"), QStringLiteral("Transmission Type of Start"), 5, {1, 1}},
    };
    l.fields = {
        // frame 0: two columns, UPC-A / UPC-E, EAN-13 / EAN-8, Code 39 / Code 128, Interleave 25 / CodaBar
        {QStringLiteral("chk51"), 0, {0, 0}, {{7, 6}, {5, 4}, {3, 2}, {1, 0}}},
        // frame 1: UPC/EAN/JAN
        {QStringLiteral("chkUpcAEan13"), 1, {0, 0}, {}, QStringLiteral("readingType")},
        {QStringLiteral("chkIsbn"), 1, {1, 0}, {}, QStringLiteral("readingType")},
        {QStringLiteral("optCfg52B"), 1, {0, 1}, {{0, 1}}},
        {QStringLiteral("Optcheck"), 1, {1, 0}, {{0, 1}}},
        // frame 2: Code 39
        {QStringLiteral("Optcode39"), 2, {0, 0}, {{0, 1}}},
        {QStringLiteral("OptStart_stop"), 2, {0, 1}, {{0, 1}}},
        {QStringLiteral("opt53B"), 2, {1, 0, 1, 2}},
        // frame 3: Code 128
        {QStringLiteral("opt54A"), 3, {0, 0}},
        // frame 4: Interleave 25
        {QStringLiteral("opt55A"), 4, {0, 0}},
        {QStringLiteral("ChkBrazil"), 4, {1, 0}},
        // frame 5: Codabar
        {QStringLiteral("chk58A"), 5, {0, 0, 1, 2}},
        {QStringLiteral("ChkStart"), 5, {0, 0}, {{0, 1, 2, 3}}, QStringLiteral("stop")},
        {QStringLiteral("ChkStart"), 5, {0, 0}, {{4, 5, 6, 7}}, QStringLiteral("start")},
    };
    l.buttons = {
        {QStringLiteral("cmdSetAll"), QStringLiteral("Set Default"), 0, {4, 0, 1, 1, Qt::AlignLeft},
         {QStringLiteral("chk51")}},
        // Every box is cleared in index order through its own click handling.
        {QStringLiteral("Command1"), QStringLiteral("Clear All Barcodes"), 0, {4, 1, 1, 1, Qt::AlignLeft}, {},
         [](SettingPage &page) {
             if (auto *boxes = page.binding<BitSetBinding>(QStringLiteral("chk51")))
                 boxes->setBits(0);
         }},
        {QStringLiteral("cmdDefault52C"), QStringLiteral("Set Default"), 1, {2, 1, 1, 1, Qt::AlignRight},
         {QStringLiteral("chkUpcAEan13"), QStringLiteral("chkIsbn"), QStringLiteral("optCfg52B"),
          QStringLiteral("Optcheck")}},
        {QStringLiteral("cmdDefault53"), QStringLiteral("Set Default"), 2, {2, 1, 1, 1, Qt::AlignRight},
         {QStringLiteral("Optcode39"), QStringLiteral("OptStart_stop"), QStringLiteral("opt53B")}},
        {QStringLiteral("cmdDefault54"), QStringLiteral("Set Default"), 3, {1, 0, 1, 1, Qt::AlignRight},
         {QStringLiteral("opt54A")}},
        {QStringLiteral("cmdDefault55"), QStringLiteral("Set Default"), 4, {2, 0, 1, 1, Qt::AlignRight},
         {QStringLiteral("opt55A"), QStringLiteral("ChkBrazil")}},
        {QStringLiteral("cmdDefault58"), QStringLiteral("Set Default"), 5, {2, 1, 1, 1, Qt::AlignRight},
         {QStringLiteral("ChkStart"), QStringLiteral("chk58A")}},
    };
    return l;
}

BarCodesPage::BarCodesPage(ProgramHost &host, QWidget *parent) : SettingPage(host, layout(), parent) {}

} // namespace q5n
// clang-format on
