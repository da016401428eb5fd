#include "pages/decoder/DecoderPages.h"

#include "pages/decoder/BarCodesPage.h"
#include "pages/decoder/CommunicationPage.h"
#include "pages/decoder/InterfacePage.h"
#include "pages/decoder/MiscellaneousPage.h"
#include "shell/MainWindow.h"

namespace q5n {

void registerDecoderPages(MainWindow &main)
{
    main.registerPage(InterfacePage::kPage, [](MainWindow &m) { return new InterfacePage(m); });
    main.registerPage(CommunicationPage::kPage, [](MainWindow &m) { return new CommunicationPage(m); });
    main.registerPage(BarCodesPage::kPage, [](MainWindow &m) { return new BarCodesPage(m); });
    main.registerPage(MiscellaneousPage::kPage, [](MainWindow &m) { return new MiscellaneousPage(m); });
}

} // namespace q5n
