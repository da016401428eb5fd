#include "app/PageRegistry.h"

#include "pages/SettingPages.h"
#include "shell/MainWindow.h"
#include "windows/CompareWindowCommands.h"
#include "windows/FindDecoderDialog.h"
#include "windows/KrTestWindow.h"
#include "windows/MemoryWindow.h"
#include "windows/TransmitWindow.h"

namespace q5n {

void registerStandardPages(MainWindow &main)
{
    // Each area registers its windows by page number (the test window
    // through MainWindow::setKrTestWindowFactory, the comparisons through
    // MainWindow::setCompareFactory).
    for (const SettingPageDeclaration &page : settingPages())
        main.registerPage(page.page, page.create);
    main.registerPage(TransmitWindow::kPage, &createTransmitWindow);
    main.registerPage(MemoryWindow::kPage, &createMemoryWindow);
    main.setKrTestWindowFactory(&createKrTestWindow);
    main.setCompareFactory(&createCompareCommands);
    main.setFindDecoderFactory(&createFindDecoderDialog);
}

} // namespace q5n
