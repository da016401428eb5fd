#include "pages/reader/ReaderPages.h"

#include "pages/reader/ReaderCommunicationPage.h"
#include "pages/reader/ReaderInterfacePage.h"
#include "pages/reader/ReaderMiscellaneousPage.h"
#include "shell/MainWindow.h"

namespace q5n {

void registerReaderPages(MainWindow &main)
{
    main.registerPage(ReaderInterfacePage::kPage, [](MainWindow &m) { return new ReaderInterfacePage(m); });
    main.registerPage(ReaderCommunicationPage::kPage, [](MainWindow &m) { return new ReaderCommunicationPage(m); });
    main.registerPage(ReaderMiscellaneousPage::kPage, [](MainWindow &m) { return new ReaderMiscellaneousPage(m); });
}

} // namespace q5n
