#pragma once

#include <QString>

#include <span>
#include <vector>

namespace q5n {

// Page numbers, as activePage holds them.
namespace Page {
enum : int {
    None = 0,
    DecoderInterface = 1, // cfg3
    DecoderComm = 2,      // cfg4
    DecoderBar = 3,       // cfg5
    DecoderMisc = 4,      // cfg6
    Transmit = 5,         // frmTransmit
    ReaderComm = 6,       // magcfg4
    ReaderMisc = 7,       // magcfg6
    ReaderInterface = 8,  // magcfg3
    ReadMemory = 9,       // frmReadMemory
};
}

// Which page family a page belongs to. Opening a page of a family switches
// readerMode to it; a tool (the link window, the memory window) switches nothing.
enum class PageFamily { BarDecoder, MagneticReader, Tool };

// A menu item that opens a page.
struct PageMenuItem
{
    QString menu;     // objectName of the menu it stands in ("mnuConfig", "mnuMag", "mnuTools")
    QString name;     // objectName of the item
    QString caption;  // with "&" for the access key
    QString shortcut; // portable key text ("Ctrl+F3"), or empty
};

// Everything the program knows about one page window but its content.
struct PageInfo
{
    int number = Page::None;
    QString objectName;
    QString title;
    PageFamily family = PageFamily::Tool;
    // The items that open the page; the page checks the first one while it is
    // open when `checksMenuItem` is set (the seven setting pages).
    std::vector<PageMenuItem> menuItems;
    bool checksMenuItem = false;
    QString disabledMenuItem;             // the "Set All Default" item disabled while open, or empty
    int counterpart = Page::None;         // the page the "mag" button puts in its place
    QString helpSection;                  // anchor of the page's section in the user guide
    QString toolbarKey;                   // the toolbar button that opens it (with its family's mode), or empty
    bool closedWithConfiguration = false; // New and Open close it
    // The tooltip of the toolbar button `toolbarKey`, on the first row with
    // that key (the buttons stand in the order of those rows).
    QString toolbarTip;
};

// A window outside the page numbering that a command shows modally (the
// keyboard and RS232 test): it never is the open page.
struct ModalWindowInfo
{
    QString objectName;
    PageMenuItem menuItem;
    QString toolbarKey;
    QString toolbarTip;
};

// Every page, in the order the menus list them and New and Open close them.
std::span<const PageInfo> pageTable();
// The modal windows, in the order their items follow the page items of a menu.
std::span<const ModalWindowInfo> modalWindowTable();
// The row of a page number, or nullptr.
const PageInfo *pageInfo(int number);
// The page a toolbar button opens in the given mode, or Page::None.
int toolbarPage(const QString &key, bool readerMode);

} // namespace q5n
